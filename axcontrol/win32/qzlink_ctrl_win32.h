// QzlinkCtrl on Windows: the camera automation control as a COM object. Its
// dual interface _QzlinkCtrl hands each camera method to the library export
// of the same name (axcontrol/camera_methods.inc); IDispatch runs through the
// embedded type library onto that interface's vtable. The events of
// __QzlinkCtrl go out through one connection point.
#pragma once

#include <ocidl.h>
#include <olectl.h>
#include <windows.h>

#include <cstdint>
#include <vector>

#include "QzlinkAXCtrlE_h.h"
#include "axcontrol/control_members.h"
#include "axcontrol/win32/com_support.h"
#include "axcontrol/win32/library_binding_win32.h"

namespace qzaxctrl::win32 {

constexpr int kRxBufferSize = 129;
// Misc-status bits of the control class: recompose on resize, cannot link
// inside, inside-out, activate when visible, invisible at run time, set
// client site first.
constexpr DWORD kQzlinkCtrlMiscStatus = 0x20591;

class QzlinkCtrl;

// The connection point for __QzlinkCtrl: an object of its own whose
// lifetime is the control's.
class EventPoint final : public IConnectionPoint {
 public:
  explicit EventPoint(QzlinkCtrl* owner) : owner_(owner) {}
  ~EventPoint();

  STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;
  STDMETHODIMP GetConnectionInterface(IID* iid) override;
  STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** container) override;
  STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override;
  STDMETHODIMP Unadvise(DWORD cookie) override;
  STDMETHODIMP EnumConnections(IEnumConnections** connections) override;

  // Calls dispid on every sink with the two arguments, in advise order.
  void Fire(DISPID dispid, LONG first, LONG second);
  void Clear();

 private:
  struct Sink {
    DWORD cookie;
    IDispatch* dispatch;
  };
  QzlinkCtrl* owner_;
  std::vector<Sink> sinks_;
  DWORD nextCookie_ = 1;
};

class QzlinkCtrl final : public _QzlinkCtrl,
                         public IConnectionPointContainer,
                         public IProvideClassInfo2,
                         public IPersistPropertyBag,
                         public IPersistStreamInit,
                         public IOleObject,
                         public IOleControl,
                         public ISupportErrorInfo {
 public:
  // Creates an instance on the calling thread and runs the creation step:
  // hooks the thread's notification window and becomes the active instance.
  static HRESULT Create(LibraryBinding& binding, REFIID iid, void** object);

  // IUnknown
  STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  // IDispatch, through the type library onto the dual interface
  STDMETHODIMP GetTypeInfoCount(UINT* count) override;
  STDMETHODIMP GetTypeInfo(UINT index, LCID lcid, ITypeInfo** info) override;
  STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid,
                             DISPID* dispids) override;
  STDMETHODIMP Invoke(DISPID dispid, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                      VARIANT* result, EXCEPINFO* excepInfo, UINT* argErr) override;

  // _QzlinkCtrl: the members with logic of their own
  STDMETHODIMP get_ERRORCODE(LONG* result) override;
  STDMETHODIMP put_ERRORCODE(LONG value) override;
  STDMETHODIMP Terminate() override;
  STDMETHODIMP CommOpen(LONG prPort, LONG prSpeed, LONG prBytesize, LONG prParity, LONG prStopbit,
                        LONG* result) override;
  STDMETHODIMP CommClose(LONG* result) override;
  STDMETHODIMP GetLastError(LONG* lError, LONG* result) override;
  STDMETHODIMP GetPicData(LONG lindex, SHORT* result) override;
  STDMETHODIMP GetLastCmdStr(LONG* result) override;
  STDMETHODIMP GetPicLastCmd(LONG lindex, SHORT* result) override;
  STDMETHODIMP GetCommModemStatus(LONG* result) override;

  // _QzlinkCtrl: the camera methods
#define QZ_CAMERA_METHOD_1(name, entry, a)           \
  STDMETHODIMP name(LONG a, LONG* result) override { \
    const int32_t args[4] = {a};                     \
    return CallCamera(kCamera##name, args, result);  \
  }
#define QZ_CAMERA_METHOD_2(name, entry, a, b)                \
  STDMETHODIMP name(LONG a, LONG b, LONG* result) override { \
    const int32_t args[4] = {a, b};                          \
    return CallCamera(kCamera##name, args, result);          \
  }
#define QZ_CAMERA_METHOD_3(name, entry, a, b, c)                     \
  STDMETHODIMP name(LONG a, LONG b, LONG c, LONG* result) override { \
    const int32_t args[4] = {a, b, c};                               \
    return CallCamera(kCamera##name, args, result);                  \
  }
#define QZ_CAMERA_METHOD_4(name, entry, a, b, c, d)                          \
  STDMETHODIMP name(LONG a, LONG b, LONG c, LONG d, LONG* result) override { \
    const int32_t args[4] = {a, b, c, d};                                    \
    return CallCamera(kCamera##name, args, result);                          \
  }
#include "axcontrol/camera_methods.inc"
#undef QZ_CAMERA_METHOD_1
#undef QZ_CAMERA_METHOD_2
#undef QZ_CAMERA_METHOD_3
#undef QZ_CAMERA_METHOD_4

  // IConnectionPointContainer
  STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** points) override;
  STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** point) override;

  // IProvideClassInfo2
  STDMETHODIMP GetClassInfo(ITypeInfo** info) override;
  STDMETHODIMP GetGUID(DWORD kind, GUID* guid) override;

  // IPersistPropertyBag
  STDMETHODIMP GetClassID(CLSID* clsid) override;
  STDMETHODIMP InitNew() override;
  STDMETHODIMP Load(IPropertyBag* bag, IErrorLog* log) override;
  STDMETHODIMP Save(IPropertyBag* bag, BOOL clearDirty, BOOL saveAll) override;

  // IPersistStreamInit (and IPersistStream): the one persisted value as 4
  // bytes, for containers that keep their controls in streams.
  STDMETHODIMP IsDirty() override;
  STDMETHODIMP Load(LPSTREAM stream) override;
  STDMETHODIMP Save(LPSTREAM stream, BOOL clearDirty) override;
  STDMETHODIMP GetSizeMax(ULARGE_INTEGER* size) override;

  // IOleObject: an invisible control; what it has no use for says so.
  STDMETHODIMP SetClientSite(IOleClientSite* site) override;
  STDMETHODIMP GetClientSite(IOleClientSite** site) override;
  STDMETHODIMP SetHostNames(LPCOLESTR, LPCOLESTR) override {
    return S_OK;
  }
  STDMETHODIMP Close(DWORD) override {
    return S_OK;
  }
  STDMETHODIMP SetMoniker(DWORD, IMoniker*) override {
    return E_NOTIMPL;
  }
  STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker**) override {
    return E_NOTIMPL;
  }
  STDMETHODIMP InitFromData(IDataObject*, BOOL, DWORD) override {
    return E_NOTIMPL;
  }
  STDMETHODIMP GetClipboardData(DWORD, IDataObject**) override {
    return E_NOTIMPL;
  }
  STDMETHODIMP DoVerb(LONG verb, LPMSG, IOleClientSite*, LONG, HWND, LPCRECT) override;
  STDMETHODIMP EnumVerbs(IEnumOLEVERB** verbs) override;
  STDMETHODIMP Update() override {
    return S_OK;
  }
  STDMETHODIMP IsUpToDate() override {
    return S_OK;
  }
  STDMETHODIMP GetUserClassID(CLSID* clsid) override {
    return GetClassID(clsid);
  }
  STDMETHODIMP GetUserType(DWORD form, LPOLESTR* type) override;
  STDMETHODIMP SetExtent(DWORD aspect, SIZEL* size) override;
  STDMETHODIMP GetExtent(DWORD aspect, SIZEL* size) override;
  STDMETHODIMP Advise(IAdviseSink*, DWORD*) override {
    return OLE_E_ADVISENOTSUPPORTED;
  }
  STDMETHODIMP Unadvise(DWORD) override {
    return OLE_E_NOCONNECTION;
  }
  STDMETHODIMP EnumAdvise(IEnumSTATDATA**) override {
    return OLE_E_ADVISENOTSUPPORTED;
  }
  STDMETHODIMP GetMiscStatus(DWORD aspect, DWORD* status) override;
  STDMETHODIMP SetColorScheme(LOGPALETTE*) override {
    return E_NOTIMPL;
  }

  // IOleControl
  STDMETHODIMP GetControlInfo(CONTROLINFO*) override {
    return E_NOTIMPL;
  }
  STDMETHODIMP OnMnemonic(MSG*) override {
    return E_NOTIMPL;
  }
  STDMETHODIMP OnAmbientPropertyChange(DISPID) override {
    return S_OK;
  }
  STDMETHODIMP FreezeEvents(BOOL) override {
    return S_OK;
  }

  // ISupportErrorInfo
  STDMETHODIMP InterfaceSupportsErrorInfo(REFIID iid) override;

  // Copies the frame filed under sequence number lParam into the receive
  // buffer and raises AckRxEvent (kind 1) or NotifyRxEvent (kind 2). A
  // binding failure raises nothing and is returned.
  HRESULT RaiseRxEvent(int kind, WPARAM wParam, LPARAM lParam);

 private:
  explicit QzlinkCtrl(LibraryBinding& binding);
  ~QzlinkCtrl();

  HRESULT CallCamera(size_t method, const int32_t* args, LONG* result);
  HRESULT SetErrorState(int32_t r);
  bool AmbientUserMode();
  void TerminateObject();

  LONG refs_ = 1;
  LibraryBinding& binding_;
  EventPoint events_;
  Ref<ITypeInfo> dispatchInfo_;  // _QzlinkCtrl as a dispatch interface
  Ref<ITypeInfo> vtableInfo_;    // its vtable part, for DispInvoke
  Ref<IOleClientSite> site_;
  SIZEL extent_ = {0, 0};
  int32_t persistedErrorCode_ = 0;  // as last loaded or saved

  // Per-instance state.
  int32_t lErrorCode = 0;
  int32_t lErrorDetail = 0;
  int32_t lRxBytes = 0;
  uint8_t bRxData[kRxBufferSize] = {};
};

}  // namespace qzaxctrl::win32
