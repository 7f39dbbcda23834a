#include "axcontrol/qzlink_ctrl.h"

#include <utility>

#include "axcontrol/notify_window.h"
#include "axcontrol/type_library.h"

namespace qzaxctrl {

using namespace qzauto;

namespace {

// Signatures of the library functions the control calls.
using OpenFn = int32_t (*)(HWND, int32_t, int32_t, int32_t, int32_t, int32_t);
using NoArgFn = int32_t (*)();
using LastErrorFn = int32_t (*)(int32_t*);
using PickByteFn = uint8_t (*)(int32_t);
using Arg1Fn = int32_t (*)(int32_t);

constexpr int32_t kErrPortBusy = -3;
constexpr int32_t kCommCloseWithoutSession = -2;

}  // namespace

ComPtr<QzlinkCtrl> QzlinkCtrl::Create(LibraryBinding& binding) {
  auto ctrl = ComPtr<QzlinkCtrl>::Attach(new QzlinkCtrl(binding));
  HookNotifyWindow();
  if (Shared().bHooked) {
    SetActiveCtrl(ctrl.Get());
  }
  return ctrl;
}

QzlinkCtrl::QzlinkCtrl(LibraryBinding& binding)
    : binding_(binding), events_(static_cast<IDispatch*>(this), kIidQzlinkCtrlEvents) {}

QzlinkCtrl::~QzlinkCtrl() = default;

ULONG QzlinkCtrl::Release() {
  const ULONG left = refs_.Drop();
  if (left == 0) {
    // Keep the object alive while its termination releases what it holds.
    refs_.Add();
    TerminateObject();
    delete this;
  }
  return left;
}

HRESULT QzlinkCtrl::QueryInterface(const IID& iid, void** object) {
  if (object == nullptr) {
    return E_POINTER;
  }
  if (iid == IID_IUnknown || iid == IID_IDispatch || iid == kIidQzlinkCtrl) {
    *object = static_cast<IDispatch*>(this);
  } else if (iid == IID_IConnectionPointContainer) {
    *object = static_cast<IConnectionPointContainer*>(this);
  } else if (iid == IID_IPersistPropertyBag) {
    *object = static_cast<IPersistPropertyBag*>(this);
  } else if (iid == IID_IOleObject) {
    *object = static_cast<IOleObject*>(this);
  } else if (iid == IID_IProvideClassInfo) {
    *object = static_cast<IProvideClassInfo*>(this);
  } else {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

const InterfaceDesc* QzlinkCtrl::GetTypeInfo() {
  return &QzlinkCtrlInterface();
}

HRESULT QzlinkCtrl::GetIDsOfNames(const char* const* names, uint32_t count, DISPID* dispids) {
  if (names == nullptr || dispids == nullptr || count == 0 || names[0] == nullptr) {
    return E_POINTER;
  }
  const InterfaceDesc& iface = QzlinkCtrlInterface();
  dispids[0] = iface.IdOfName(names[0]);
  HRESULT hr = dispids[0] == DISPID_UNKNOWN ? DISP_E_UNKNOWNNAME : S_OK;
  // Further names are parameter names of that member, by position.
  const FuncDesc* func = iface.Find(dispids[0], DISPATCH_METHOD | DISPATCH_PROPERTYPUT);
  for (uint32_t i = 1; i < count; ++i) {
    dispids[i] = DISPID_UNKNOWN;
    for (size_t p = 0; func != nullptr && p < func->params.size(); ++p) {
      if (names[i] != nullptr && func->params[p].name == names[i]) {
        dispids[i] = static_cast<DISPID>(p);
      }
    }
    if (dispids[i] == DISPID_UNKNOWN) {
      hr = DISP_E_UNKNOWNNAME;
    }
  }
  return hr;
}

HRESULT QzlinkCtrl::Invoke(DISPID dispid, uint16_t flags, DISPPARAMS* params, VARIANT* result,
                           EXCEPINFO* excepInfo, uint32_t* argErr) {
  const InterfaceDesc& iface = QzlinkCtrlInterface();
  const FuncDesc* func = iface.Find(dispid, flags);
  if (func == nullptr) {
    return DISP_E_MEMBERNOTFOUND;
  }
  DispatchArgs args;
  HRESULT hr = UnpackArgs(*func, params, &args, argErr);
  if (Failed(hr)) {
    return hr;
  }
  // Hold the object through the call: Terminate may release the last
  // reference a host had left to the active instance.
  auto self = ComPtr<QzlinkCtrl>::Share(this);
  int32_t value = 0;
  hr = Call(static_cast<int>(func - iface.funcs.data()), args, &value, excepInfo);
  if (Succeeded(hr)) {
    PackResult(*func, value, result);
  }
  return hr;
}

HRESULT QzlinkCtrl::Call(int member, const DispatchArgs& args, int32_t* result,
                         EXCEPINFO* excepInfo) {
  switch (member) {
    case kErrorCodeGet:
      *result = lErrorCode;
      return S_OK;
    case kErrorCodePut:
      // The property is read-only; the stored value never changes.
      if (AmbientUserMode(site_.Get())) {
        return RaiseError(excepInfo, CTL_E_SETNOTSUPPORTEDATRUNTIME,
                          "Set not supported at runtime.");
      }
      return RaiseError(excepInfo, CTL_E_SETNOTPERMITTED, "Set not permitted.");
    case kTerminate:
      Terminate();
      return S_OK;
    case kCommOpen:
      return CommOpen(args.values, result, excepInfo);
    case kCommClose:
      return CommClose(result, excepInfo);
    case kGetLastError:
      *args.refs[0] = lErrorDetail;
      *result = lErrorCode;
      return S_OK;
    case kGetPicData: {
      const int32_t index = args.values[0];
      *result = (index >= 0 && index < lRxBytes && index < kRxBufferSize) ? bRxData[index] : 0;
      return S_OK;
    }
    case kGetLastCmdStr: {
      NoArgFn fn = nullptr;
      HRESULT hr = binding_.Resolve(kQzGetLastCmdstrVB, &fn, excepInfo);
      if (Succeeded(hr))
        *result = fn();
      return hr;
    }
    case kGetPicLastCmd: {
      const int32_t index = args.values[0];
      *result = 0;
      if (index < 0 || index > 127) {
        return S_OK;
      }
      PickByteFn fn = nullptr;
      HRESULT hr = binding_.Resolve(kQzPicLastCmdVB, &fn, excepInfo);
      if (Succeeded(hr))
        *result = fn(index);
      return hr;
    }
    case kGetCommModemStatus: {
      NoArgFn fn = nullptr;
      HRESULT hr = binding_.Resolve(kQzGetStatus, &fn, excepInfo);
      if (Succeeded(hr))
        *result = fn();
      return hr;
    }
    default:
      return CallCamera(static_cast<size_t>(member - kFirstCameraMember), args.values, result,
                        excepInfo);
  }
}

HRESULT QzlinkCtrl::CallCamera(size_t method, const int32_t* a, int32_t* result,
                               EXCEPINFO* excepInfo) {
  void* fn = nullptr;
  HRESULT hr = binding_.Resolve(kFirstCameraEntry + method, &fn, excepInfo);
  if (Failed(hr)) {
    return hr;
  }
  const int32_t r = CallCameraExport(fn, kCameraMethods[method].arity, a);
  hr = SetErrorState(r, excepInfo);
  *result = r;
  return hr;
}

HRESULT QzlinkCtrl::SetErrorState(int32_t r, EXCEPINFO* excepInfo) {
  if (r != 0) {
    lErrorCode = 0;
    lErrorDetail = 0;
    return S_OK;
  }
  LastErrorFn lastError = nullptr;
  HRESULT hr = binding_.Resolve(kQzGetLastError, &lastError, excepInfo);
  if (Failed(hr)) {
    return hr;
  }
  lErrorCode = lastError(&lErrorDetail);
  return S_OK;
}

HRESULT QzlinkCtrl::CommOpen(const int32_t* a, int32_t* result, EXCEPINFO* excepInfo) {
  SharedState& s = Shared();
  *result = 0;
  if (!s.bHooked) {
    return S_OK;
  }
  OpenFn open = nullptr;
  HRESULT hr = binding_.Resolve(kQzOpen, &open, excepInfo);
  if (Failed(hr)) {
    return hr;
  }
  const int32_t r = open(s.hNotifyWnd, a[0], a[1], a[2], a[3], a[4]);
  if (r != 0) {
    lErrorCode = 0;
    s.bCommOpen = true;
  } else {
    LastErrorFn lastError = nullptr;
    hr = binding_.Resolve(kQzGetLastError, &lastError, excepInfo);
    if (Failed(hr)) {
      return hr;
    }
    lErrorCode = lastError(&lErrorDetail);
    // The library refuses a second open while our session is open; that
    // session stays open, so events keep flowing and CommClose can close it.
    if (!(lErrorCode == kErrPortBusy && s.bCommOpen)) {
      s.bCommOpen = false;
    }
  }
  *result = r;
  return S_OK;
}

HRESULT QzlinkCtrl::CommClose(int32_t* result, EXCEPINFO* excepInfo) {
  SharedState& s = Shared();
  int32_t r = kCommCloseWithoutSession;
  if (s.bCommOpen) {
    NoArgFn close = nullptr;
    HRESULT hr = binding_.Resolve(kQzClose, &close, excepInfo);
    if (Failed(hr)) {
      return hr;
    }
    // Events end with the close: frames the reader delivers while the
    // library waits for it raise nothing.
    s.bCommOpen = false;
    // Called from an event handler, the library's reader waits for the
    // message being handled: answer it first (its result is ignored), so that
    // the reader can end while the library waits for it.
    if (s.readerEventDepth > 0 && InSendMessage()) {
      ReplyMessage(0);
    }
    r = close();
  }
  HRESULT hr = SetErrorState(r, excepInfo);
  s.bCommOpen = false;
  *result = r;
  return hr;
}

void QzlinkCtrl::Terminate() {
  UnhookNotifyWindow();
  SetActiveCtrl(nullptr);
}

void QzlinkCtrl::TerminateObject() {
  // Only the active instance owns the hook and the events; an older
  // instance that ends leaves the newer one's alone.
  if (Shared().oActiveCtrl == this) {
    Terminate();
  }
  events_.Clear();
  site_.Reset();
}

HRESULT QzlinkCtrl::RaiseRxEvent(int kind, WPARAM wParam, LPARAM lParam) {
  EXCEPINFO excepInfo;
  Arg1Fn getMsg = nullptr;
  PickByteFn pickByte = nullptr;
  HRESULT hr = binding_.Resolve(kQzGetMsgVB, &getMsg, &excepInfo);
  if (Succeeded(hr)) {
    hr = binding_.Resolve(kQzPicMsgVB, &pickByte, &excepInfo);
  }
  if (Failed(hr)) {
    return excepInfo.scode != 0 ? excepInfo.scode : hr;
  }
  int32_t n = getMsg(static_cast<int32_t>(lParam));
  // The buffer holds 129 bytes; a longer frame is cut there.
  if (n < 0)
    n = 0;
  if (n > kRxBufferSize)
    n = kRxBufferSize;
  lRxBytes = n;
  for (int32_t i = 0; i < n; ++i) {
    bRxData[i] = pickByte(i);
  }
  events_.Fire(kind == 1 ? kDispidAckRxEvent : kDispidNotifyRxEvent,
               {static_cast<int32_t>(wParam), n});
  return S_OK;
}

HRESULT QzlinkCtrl::FindConnectionPoint(const IID& iid, IConnectionPoint** point) {
  if (point == nullptr) {
    return E_POINTER;
  }
  if (iid == kIidQzlinkCtrlEvents) {
    *point = &events_;
    events_.AddRef();
    return S_OK;
  }
  *point = nullptr;
  return CONNECT_E_NOCONNECTION;
}

const CoclassDesc* QzlinkCtrl::GetClassInfo() {
  return &QzlinkAxCtrlLibrary().coclasses[0];
}

HRESULT QzlinkCtrl::InitNew() {
  lErrorCode = 0;
  return S_OK;
}

HRESULT QzlinkCtrl::Load(IPropertyBag* bag) {
  if (bag == nullptr) {
    return E_POINTER;
  }
  VARIANT value;
  value.vt = VT_I4;
  lErrorCode = Succeeded(bag->Read("ErrorCode", &value)) ? value.lVal : 0;
  return S_OK;
}

HRESULT QzlinkCtrl::Save(IPropertyBag* bag, bool, bool) {
  if (bag == nullptr) {
    return E_POINTER;
  }
  // The default (0) is left out of the bag; loading gives it back.
  if (lErrorCode == 0) {
    return S_OK;
  }
  const VARIANT value = MakeI4(lErrorCode);
  return bag->Write("ErrorCode", &value);
}

HRESULT QzlinkCtrl::SetClientSite(IUnknown* site) {
  site_ = ComPtr<IUnknown>::Share(site);
  return S_OK;
}

HRESULT QzlinkCtrl::GetMiscStatus(uint32_t, uint32_t* status) {
  if (status == nullptr) {
    return E_POINTER;
  }
  *status = kQzlinkCtrlMiscStatus;
  return S_OK;
}

}  // namespace qzaxctrl
