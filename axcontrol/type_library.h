// The control's type library: the class, its dual interface _QzlinkCtrl, its
// event interface __QzlinkCtrl, their fixed ids and DISPIDs, and the library
// functions the members call.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/automation/automation.h"

namespace qzaxctrl {

extern const qzauto::GUID kLibId;
extern const qzauto::CLSID kClsidQzlinkCtrl;
extern const qzauto::IID kIidQzlinkCtrl;        // _QzlinkCtrl
extern const qzauto::IID kIidQzlinkCtrlEvents;  // __QzlinkCtrl

constexpr qzauto::DISPID kDispidNotifyRxEvent = 1;
constexpr qzauto::DISPID kDispidAckRxEvent = 2;

// Members of _QzlinkCtrl with logic of their own, by their position in the
// interface; the camera methods follow from kFirstCameraMember on.
enum Member : int {
  kErrorCodeGet,
  kErrorCodePut,
  kTerminate,
  kCommOpen,
  kCommClose,
  kGetLastError,
  kGetPicData,
  kGetLastCmdStr,
  kGetPicLastCmd,
  kGetCommModemStatus,
  kFirstCameraMember,
};

// One camera method: its name, parameter names, and the library export it
// calls ("Qz" + name unless the library spells the function otherwise).
struct CameraMethod {
  const char* name;
  const char* params;      // comma-separated
  const char* exportName;  // null: "Qz" + name
};
extern const CameraMethod kCameraMethods[];
extern const size_t kCameraMethodCount;  // 93

// The library functions the control binds, by index into a binding.
enum Entry : size_t {
  kQzOpen,
  kQzClose,
  kQzGetLastError,
  kQzGetLastCmdstrVB,
  kQzPicLastCmdVB,
  kQzGetStatus,
  kQzGetMsgVB,
  kQzPicMsgVB,
  kFirstCameraEntry,  // then one per camera method, in table order
};

// The export name of each entry and the total count.
const char* EntryName(size_t entry);
size_t EntryCount();

const qzauto::InterfaceDesc& QzlinkCtrlInterface();
const qzauto::InterfaceDesc& QzlinkCtrlEventInterface();
const qzauto::LibraryDesc& QzlinkAxCtrlLibrary();

}  // namespace qzaxctrl
