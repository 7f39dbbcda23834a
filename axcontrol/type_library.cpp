// The control's type library as data.
#include "axcontrol/type_library.h"

#include <string>

namespace qzaxctrl {

using namespace qzauto;

const GUID kLibId = {0x44AD5DFE, 0x71E3, 0x49CC, {0x82, 0x49, 0x91, 0xC7, 0xAB, 0xAA, 0x61, 0x51}};
const CLSID kClsidQzlinkCtrl = {
    0x825644D5, 0xCB9F, 0x413F, {0xAC, 0x85, 0x28, 0x89, 0x43, 0x29, 0x7C, 0xC9}};
const IID kIidQzlinkCtrl = {
    0x4A047980, 0x830D, 0x4FDD, {0x80, 0xF4, 0x74, 0xD3, 0xEA, 0x3A, 0x14, 0xC2}};
const IID kIidQzlinkCtrlEvents = {
    0x05ACEA16, 0x1207, 0x4955, {0x97, 0x0F, 0xFE, 0x7F, 0xEA, 0xA5, 0x1E, 0x59}};

namespace {

std::vector<ParamDesc> Params(const char* list) {
  std::vector<ParamDesc> params;
  std::string name;
  for (const char* p = list;; ++p) {
    if (*p == ',' || *p == '\0') {
      if (!name.empty())
        params.push_back({name, VT_I4});
      name.clear();
      if (*p == '\0')
        break;
    } else {
      name += *p;
    }
  }
  return params;
}

InterfaceDesc BuildInterface() {
  InterfaceDesc iface{"_QzlinkCtrl",
                      kIidQzlinkCtrl,
                      TYPEFLAG_FHIDDEN | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FDUAL |
                          TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE,
                      false,
                      {}};
  auto& f = iface.funcs;
  f.push_back({"ERRORCODE", kDispidErrorCode, InvokeKind::PropertyGet, {}, VT_I4});
  f.push_back({"ERRORCODE",
               kDispidErrorCode,
               InvokeKind::PropertyPut,
               {{"New_ErrorCode", VT_I4}},
               VT_EMPTY});
  f.push_back({"Terminate", kDispidTerminate, InvokeKind::Method, {}, VT_EMPTY});
  f.push_back({"CommOpen", kDispidTerminate + 1, InvokeKind::Method,
               Params("prPort,prSpeed,prBytesize,prParity,prStopbit"), VT_I4});
  f.push_back({"CommClose", kDispidTerminate + 2, InvokeKind::Method, {}, VT_I4});
  DISPID next = kDispidFirstMethod;
  f.push_back({"GetLastError", next++, InvokeKind::Method, {{"lError", VT_BYREF | VT_I4}}, VT_I4});
  f.push_back({"GetPicData", next++, InvokeKind::Method, Params("lindex"), VT_I2});
  f.push_back({"GetLastCmdStr", next++, InvokeKind::Method, {}, VT_I4});
  f.push_back({"GetPicLastCmd", next++, InvokeKind::Method, Params("lindex"), VT_I2});
  f.push_back({"GetCommModemStatus", next++, InvokeKind::Method, {}, VT_I4});
  for (size_t i = 0; i < kCameraMethodCount; ++i) {
    f.push_back({kCameraMethods[i].name, next++, InvokeKind::Method,
                 Params(kCameraMethods[i].params), VT_I4});
  }
  return iface;
}

InterfaceDesc BuildEventInterface() {
  return {
      "__QzlinkCtrl",
      kIidQzlinkCtrlEvents,
      TYPEFLAG_FHIDDEN | TYPEFLAG_FNONEXTENSIBLE | TYPEFLAG_FDISPATCHABLE,
      true,
      {{"NotifyRxEvent", kDispidNotifyRxEvent, InvokeKind::Method, Params("wParam,lBytes"),
        VT_EMPTY},
       {"AckRxEvent", kDispidAckRxEvent, InvokeKind::Method, Params("wParam,lBytes"), VT_EMPTY}}};
}

}  // namespace

const InterfaceDesc& QzlinkCtrlInterface() {
  static const InterfaceDesc iface = BuildInterface();
  return iface;
}

const InterfaceDesc& QzlinkCtrlEventInterface() {
  static const InterfaceDesc iface = BuildEventInterface();
  return iface;
}

const LibraryDesc& QzlinkAxCtrlLibrary() {
  static const LibraryDesc library{"QzlinkAXCtrlE",
                                   kLibId,
                                   1,
                                   0,
                                   0x409,
                                   {&QzlinkCtrlInterface(), &QzlinkCtrlEventInterface()},
                                   {{"QzlinkCtrl", kClsidQzlinkCtrl, TYPEFLAG_FCONTROL,
                                     &QzlinkCtrlInterface(), &QzlinkCtrlEventInterface()}}};
  return library;
}

}  // namespace qzaxctrl
