#include "axcontrol/win32/qzlink_ctrl_win32.h"

#include <algorithm>
#include <new>

#include "axcontrol/win32/notify_window_win32.h"

namespace qzaxctrl::win32 {

namespace {

// Signatures of the library functions the control calls.
using OpenFn = int32_t(QZ_LIBCALL*)(HWND, int32_t, int32_t, int32_t, int32_t, int32_t);
using NoArgFn = int32_t(QZ_LIBCALL*)();
using LastErrorFn = int32_t(QZ_LIBCALL*)(int32_t*);
using PickByteFn = uint8_t(QZ_LIBCALL*)(int32_t);
using Arg1Fn = int32_t(QZ_LIBCALL*)(int32_t);

constexpr int32_t kErrPortBusy = -3;
constexpr int32_t kCommCloseWithoutSession = -2;

}  // namespace

// ---- the connection point ----

EventPoint::~EventPoint() {
  Clear();
}

STDMETHODIMP EventPoint::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) {
    return E_POINTER;
  }
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IConnectionPoint)) {
    *object = static_cast<IConnectionPoint*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

// The point lives as long as its container: it counts on the control.
STDMETHODIMP_(ULONG) EventPoint::AddRef() {
  return static_cast<_QzlinkCtrl*>(owner_)->AddRef();
}
STDMETHODIMP_(ULONG) EventPoint::Release() {
  return static_cast<_QzlinkCtrl*>(owner_)->Release();
}

STDMETHODIMP EventPoint::GetConnectionInterface(IID* iid) {
  if (iid == nullptr) {
    return E_POINTER;
  }
  *iid = DIID___QzlinkCtrl;
  return S_OK;
}

STDMETHODIMP EventPoint::GetConnectionPointContainer(IConnectionPointContainer** container) {
  if (container == nullptr) {
    return E_POINTER;
  }
  *container = static_cast<IConnectionPointContainer*>(owner_);
  (*container)->AddRef();
  return S_OK;
}

STDMETHODIMP EventPoint::Advise(IUnknown* sink, DWORD* cookie) {
  if (sink == nullptr || cookie == nullptr) {
    return E_POINTER;
  }
  *cookie = 0;
  IDispatch* dispatch = nullptr;
  if (FAILED(sink->QueryInterface(DIID___QzlinkCtrl, reinterpret_cast<void**>(&dispatch))) &&
      FAILED(sink->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)))) {
    return CONNECT_E_CANNOTCONNECT;
  }
  sinks_.push_back({nextCookie_, dispatch});
  *cookie = nextCookie_++;
  return S_OK;
}

STDMETHODIMP EventPoint::Unadvise(DWORD cookie) {
  auto it = std::find_if(sinks_.begin(), sinks_.end(),
                         [cookie](const Sink& s) { return s.cookie == cookie; });
  if (it == sinks_.end()) {
    return CONNECT_E_NOCONNECTION;
  }
  IDispatch* dispatch = it->dispatch;
  sinks_.erase(it);
  dispatch->Release();
  return S_OK;
}

STDMETHODIMP EventPoint::EnumConnections(IEnumConnections** connections) {
  if (connections != nullptr) {
    *connections = nullptr;
  }
  return E_NOTIMPL;
}

void EventPoint::Fire(DISPID dispid, LONG first, LONG second) {
  // A handler may advise or unadvise: call the sinks as they were.
  std::vector<Ref<IDispatch>> sinks;
  for (const Sink& s : sinks_) {
    sinks.emplace_back(s.dispatch);
  }
  for (const Ref<IDispatch>& sink : sinks) {
    VARIANTARG args[2];
    args[0].vt = VT_I4;  // arguments in reverse order
    args[0].lVal = second;
    args[1].vt = VT_I4;
    args[1].lVal = first;
    DISPPARAMS params = {args, nullptr, 2, 0};
    sink->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr,
                 nullptr);
  }
}

void EventPoint::Clear() {
  std::vector<Sink> sinks;
  sinks.swap(sinks_);
  for (const Sink& s : sinks) {
    s.dispatch->Release();
  }
}

// ---- the control ----

HRESULT QzlinkCtrl::Create(LibraryBinding& binding, REFIID iid, void** object) {
  *object = nullptr;
  auto* ctrl = new (std::nothrow) QzlinkCtrl(binding);
  if (ctrl == nullptr) {
    return E_OUTOFMEMORY;
  }
  HRESULT hr = OwnTypeInfo(IID__QzlinkCtrl, ctrl->dispatchInfo_.Out());
  if (SUCCEEDED(hr)) {
    // The dual interface's vtable part is what DispInvoke calls through.
    HREFTYPE ref = 0;
    hr = ctrl->dispatchInfo_->GetRefTypeOfImplType(static_cast<UINT>(-1), &ref);
    if (SUCCEEDED(hr)) {
      hr = ctrl->dispatchInfo_->GetRefTypeInfo(ref, ctrl->vtableInfo_.Out());
    }
  }
  if (SUCCEEDED(hr)) {
    HookNotifyWindow();
    if (Shared().bHooked) {
      SetActiveCtrl(ctrl);
    }
    hr = ctrl->QueryInterface(iid, object);
  }
  static_cast<_QzlinkCtrl*>(ctrl)->Release();
  return hr;
}

QzlinkCtrl::QzlinkCtrl(LibraryBinding& binding) : binding_(binding), events_(this) {}

QzlinkCtrl::~QzlinkCtrl() = default;

STDMETHODIMP_(ULONG) QzlinkCtrl::AddRef() {
  return static_cast<ULONG>(InterlockedIncrement(&refs_));
}

STDMETHODIMP_(ULONG) QzlinkCtrl::Release() {
  const LONG left = InterlockedDecrement(&refs_);
  if (left == 0) {
    // Keep the object alive while its termination releases what it holds.
    refs_ = 1;
    TerminateObject();
    delete this;
  }
  return static_cast<ULONG>(left);
}

STDMETHODIMP QzlinkCtrl::QueryInterface(REFIID iid, void** object) {
  if (object == nullptr) {
    return E_POINTER;
  }
  if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) ||
      IsEqualIID(iid, IID__QzlinkCtrl)) {
    *object = static_cast<_QzlinkCtrl*>(this);
  } else if (IsEqualIID(iid, IID_IConnectionPointContainer)) {
    *object = static_cast<IConnectionPointContainer*>(this);
  } else if (IsEqualIID(iid, IID_IProvideClassInfo) || IsEqualIID(iid, IID_IProvideClassInfo2)) {
    *object = static_cast<IProvideClassInfo2*>(this);
  } else if (IsEqualIID(iid, IID_IPersist) || IsEqualIID(iid, IID_IPersistPropertyBag)) {
    *object = static_cast<IPersistPropertyBag*>(this);
  } else if (IsEqualIID(iid, IID_IPersistStreamInit) || IsEqualIID(iid, IID_IPersistStream)) {
    // IPersistStreamInit's vtable begins as IPersistStream's.
    *object = static_cast<IPersistStreamInit*>(this);
  } else if (IsEqualIID(iid, IID_IOleObject)) {
    *object = static_cast<IOleObject*>(this);
  } else if (IsEqualIID(iid, IID_IOleControl)) {
    *object = static_cast<IOleControl*>(this);
  } else if (IsEqualIID(iid, IID_ISupportErrorInfo)) {
    *object = static_cast<ISupportErrorInfo*>(this);
  } else {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  static_cast<_QzlinkCtrl*>(this)->AddRef();
  return S_OK;
}

// ---- IDispatch ----

STDMETHODIMP QzlinkCtrl::GetTypeInfoCount(UINT* count) {
  if (count == nullptr) {
    return E_POINTER;
  }
  *count = 1;
  return S_OK;
}

STDMETHODIMP QzlinkCtrl::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
  if (info == nullptr) {
    return E_POINTER;
  }
  *info = nullptr;
  if (index != 0) {
    return DISP_E_BADINDEX;
  }
  *info = dispatchInfo_.Get();
  (*info)->AddRef();
  return S_OK;
}

STDMETHODIMP QzlinkCtrl::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID,
                                       DISPID* dispids) {
  if (!IsEqualIID(iid, IID_NULL)) {
    return DISP_E_UNKNOWNINTERFACE;
  }
  return DispGetIDsOfNames(vtableInfo_.Get(), names, count, dispids);
}

STDMETHODIMP QzlinkCtrl::Invoke(DISPID dispid, REFIID iid, LCID, WORD flags, DISPPARAMS* params,
                                VARIANT* result, EXCEPINFO* excepInfo, UINT* argErr) {
  if (!IsEqualIID(iid, IID_NULL)) {
    return DISP_E_UNKNOWNINTERFACE;
  }
  // Hold the object through the call: Terminate may release the last
  // reference a host had left to the active instance.
  Ref<_QzlinkCtrl> self(this);
  SetErrorInfo(0, nullptr);
  // Script engines pass a variable by reference as a reference to a VARIANT,
  // which the type library's long* does not take: GetLastError writes its
  // detail value into such a variable itself.
  constexpr DISPID kDispidGetLastError = kDispidFirstMethod;
  if (dispid == kDispidGetLastError && (flags & DISPATCH_METHOD) != 0 && params != nullptr &&
      params->cArgs == 1 && params->cNamedArgs == 0 &&
      params->rgvarg[0].vt == (VT_BYREF | VT_VARIANT) && params->rgvarg[0].pvarVal != nullptr) {
    VARIANT* variable = params->rgvarg[0].pvarVal;
    VariantClear(variable);
    variable->vt = VT_I4;
    variable->lVal = lErrorDetail;
    if (result != nullptr) {
      VariantInit(result);
      result->vt = VT_I4;
      result->lVal = lErrorCode;
    }
    return S_OK;
  }
  return DispInvoke(static_cast<_QzlinkCtrl*>(this), vtableInfo_.Get(), dispid, flags, params,
                    result, excepInfo, argErr);
}

// ---- members with logic of their own ----

STDMETHODIMP QzlinkCtrl::get_ERRORCODE(LONG* result) {
  if (result == nullptr) {
    return E_POINTER;
  }
  *result = lErrorCode;
  return S_OK;
}

STDMETHODIMP QzlinkCtrl::put_ERRORCODE(LONG) {
  // The property is read-only; the stored value never changes.
  if (AmbientUserMode()) {
    return RaiseError(kErrSetNotSupportedAtRuntime, "Set not supported at runtime.");
  }
  return RaiseError(kErrSetNotPermitted, "Set not permitted.");
}

STDMETHODIMP QzlinkCtrl::Terminate() {
  UnhookNotifyWindow();
  SetActiveCtrl(nullptr);
  return S_OK;
}

STDMETHODIMP QzlinkCtrl::CommOpen(LONG prPort, LONG prSpeed, LONG prBytesize, LONG prParity,
                                  LONG prStopbit, LONG* result) {
  if (result == nullptr) {
    return E_POINTER;
  }
  SharedState& s = Shared();
  *result = 0;
  if (!s.bHooked) {
    return S_OK;
  }
  OpenFn open = nullptr;
  HRESULT hr = binding_.Resolve(kQzOpen, &open);
  if (FAILED(hr)) {
    return hr;
  }
  const int32_t r = open(s.hNotifyWnd, prPort, prSpeed, prBytesize, prParity, prStopbit);
  if (r != 0) {
    lErrorCode = 0;
    s.bCommOpen = true;
  } else {
    LastErrorFn lastError = nullptr;
    hr = binding_.Resolve(kQzGetLastError, &lastError);
    if (FAILED(hr)) {
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

STDMETHODIMP QzlinkCtrl::CommClose(LONG* result) {
  if (result == nullptr) {
    return E_POINTER;
  }
  SharedState& s = Shared();
  int32_t r = kCommCloseWithoutSession;
  if (s.bCommOpen) {
    NoArgFn close = nullptr;
    HRESULT hr = binding_.Resolve(kQzClose, &close);
    if (FAILED(hr)) {
      return hr;
    }
    // Events end with the close: frames the reader delivers while the
    // library waits for it raise nothing.
    s.bCommOpen = false;
    // Called from an event handler, the library's reader waits for the
    // message being handled: answer it first (its result is ignored), so
    // that the reader can end while the library waits for it.
    if (s.readerEventDepth > 0 && InSendMessage()) {
      ReplyMessage(0);
    }
    r = close();
  }
  const HRESULT hr = SetErrorState(r);
  s.bCommOpen = false;
  *result = r;
  return hr;
}

STDMETHODIMP QzlinkCtrl::GetLastError(LONG* lError, LONG* result) {
  if (lError == nullptr || result == nullptr) {
    return E_POINTER;
  }
  *lError = lErrorDetail;
  *result = lErrorCode;
  return S_OK;
}

STDMETHODIMP QzlinkCtrl::GetPicData(LONG lindex, SHORT* result) {
  if (result == nullptr) {
    return E_POINTER;
  }
  *result = (lindex >= 0 && lindex < lRxBytes && lindex < kRxBufferSize) ? bRxData[lindex] : 0;
  return S_OK;
}

STDMETHODIMP QzlinkCtrl::GetLastCmdStr(LONG* result) {
  if (result == nullptr) {
    return E_POINTER;
  }
  NoArgFn fn = nullptr;
  const HRESULT hr = binding_.Resolve(kQzGetLastCmdstrVB, &fn);
  if (SUCCEEDED(hr)) {
    *result = fn();
  }
  return hr;
}

STDMETHODIMP QzlinkCtrl::GetPicLastCmd(LONG lindex, SHORT* result) {
  if (result == nullptr) {
    return E_POINTER;
  }
  *result = 0;
  if (lindex < 0 || lindex > 127) {
    return S_OK;
  }
  PickByteFn fn = nullptr;
  const HRESULT hr = binding_.Resolve(kQzPicLastCmdVB, &fn);
  if (SUCCEEDED(hr)) {
    *result = fn(lindex);
  }
  return hr;
}

STDMETHODIMP QzlinkCtrl::GetCommModemStatus(LONG* result) {
  if (result == nullptr) {
    return E_POINTER;
  }
  NoArgFn fn = nullptr;
  const HRESULT hr = binding_.Resolve(kQzGetStatus, &fn);
  if (SUCCEEDED(hr)) {
    *result = fn();
  }
  return hr;
}

HRESULT QzlinkCtrl::CallCamera(size_t method, const int32_t* args, LONG* result) {
  if (result == nullptr) {
    return E_POINTER;
  }
  void* fn = nullptr;
  HRESULT hr = binding_.Resolve(kFirstCameraEntry + method, &fn);
  if (FAILED(hr)) {
    return hr;
  }
  const int32_t r = CallCameraExport(fn, kCameraMethods[method].arity, args);
  hr = SetErrorState(r);
  if (SUCCEEDED(hr)) {
    *result = r;
  }
  return hr;
}

HRESULT QzlinkCtrl::SetErrorState(int32_t r) {
  if (r != 0) {
    lErrorCode = 0;
    lErrorDetail = 0;
    return S_OK;
  }
  LastErrorFn lastError = nullptr;
  const HRESULT hr = binding_.Resolve(kQzGetLastError, &lastError);
  if (FAILED(hr)) {
    return hr;
  }
  lErrorCode = lastError(&lErrorDetail);
  return S_OK;
}

bool QzlinkCtrl::AmbientUserMode() {
  // Without a site, or a site that does not say, the control is at run time.
  if (!site_) {
    return true;
  }
  Ref<IDispatch> ambient;
  if (FAILED(site_->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(ambient.Out())))) {
    return true;
  }
  DISPPARAMS none = {nullptr, nullptr, 0, 0};
  VARIANT value;
  VariantInit(&value);
  const HRESULT hr = ambient->Invoke(DISPID_AMBIENT_USERMODE, IID_NULL, LOCALE_USER_DEFAULT,
                                     DISPATCH_PROPERTYGET, &none, &value, nullptr, nullptr);
  bool userMode = true;
  if (SUCCEEDED(hr) && SUCCEEDED(VariantChangeType(&value, &value, 0, VT_BOOL))) {
    userMode = value.boolVal != VARIANT_FALSE;
  }
  VariantClear(&value);
  return userMode;
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
  Arg1Fn getMsg = nullptr;
  PickByteFn pickByte = nullptr;
  HRESULT hr = binding_.Resolve(kQzGetMsgVB, &getMsg);
  if (SUCCEEDED(hr)) {
    hr = binding_.Resolve(kQzPicMsgVB, &pickByte);
  }
  if (FAILED(hr)) {
    SetErrorInfo(0, nullptr);
    return hr;
  }
  int32_t n = getMsg(static_cast<int32_t>(lParam));
  // The buffer holds 129 bytes; a longer frame is cut there.
  n = std::clamp<int32_t>(n, 0, kRxBufferSize);
  lRxBytes = n;
  for (int32_t i = 0; i < n; ++i) {
    bRxData[i] = pickByte(i);
  }
  events_.Fire(kind == 1 ? kDispidAckRxEvent : kDispidNotifyRxEvent, static_cast<LONG>(wParam), n);
  return S_OK;
}

// ---- IConnectionPointContainer ----

STDMETHODIMP QzlinkCtrl::EnumConnectionPoints(IEnumConnectionPoints** points) {
  if (points != nullptr) {
    *points = nullptr;
  }
  return E_NOTIMPL;
}

STDMETHODIMP QzlinkCtrl::FindConnectionPoint(REFIID iid, IConnectionPoint** point) {
  if (point == nullptr) {
    return E_POINTER;
  }
  if (IsEqualIID(iid, DIID___QzlinkCtrl)) {
    *point = &events_;
    events_.AddRef();
    return S_OK;
  }
  *point = nullptr;
  return CONNECT_E_NOCONNECTION;
}

// ---- IProvideClassInfo2 ----

STDMETHODIMP QzlinkCtrl::GetClassInfo(ITypeInfo** info) {
  if (info == nullptr) {
    return E_POINTER;
  }
  return OwnTypeInfo(CLSID_QzlinkCtrl, info);
}

STDMETHODIMP QzlinkCtrl::GetGUID(DWORD kind, GUID* guid) {
  if (guid == nullptr) {
    return E_POINTER;
  }
  if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) {
    *guid = GUID_NULL;
    return E_INVALIDARG;
  }
  *guid = DIID___QzlinkCtrl;
  return S_OK;
}

// ---- IPersistPropertyBag ----

STDMETHODIMP QzlinkCtrl::GetClassID(CLSID* clsid) {
  if (clsid == nullptr) {
    return E_POINTER;
  }
  *clsid = CLSID_QzlinkCtrl;
  return S_OK;
}

STDMETHODIMP QzlinkCtrl::InitNew() {
  lErrorCode = 0;
  persistedErrorCode_ = 0;
  return S_OK;
}

STDMETHODIMP QzlinkCtrl::Load(IPropertyBag* bag, IErrorLog* log) {
  if (bag == nullptr) {
    return E_POINTER;
  }
  // "ErrorCode", a 16-bit 0 when the bag lacks it, as 32 bits.
  VARIANT value;
  VariantInit(&value);
  value.vt = VT_I4;
  if (SUCCEEDED(bag->Read(L"ErrorCode", &value, log)) &&
      SUCCEEDED(VariantChangeType(&value, &value, 0, VT_I4))) {
    lErrorCode = value.lVal;
  } else {
    lErrorCode = 0;
  }
  VariantClear(&value);
  persistedErrorCode_ = lErrorCode;
  return S_OK;
}

STDMETHODIMP QzlinkCtrl::Save(IPropertyBag* bag, BOOL, BOOL) {
  if (bag == nullptr) {
    return E_POINTER;
  }
  // The default (0) is left out of the bag; loading gives it back.
  persistedErrorCode_ = lErrorCode;
  if (lErrorCode == 0) {
    return S_OK;
  }
  VARIANT value;
  value.vt = VT_I4;
  value.lVal = lErrorCode;
  return bag->Write(L"ErrorCode", &value);
}

// ---- IPersistStreamInit ----

STDMETHODIMP QzlinkCtrl::IsDirty() {
  return lErrorCode != persistedErrorCode_ ? S_OK : S_FALSE;
}

STDMETHODIMP QzlinkCtrl::Load(LPSTREAM stream) {
  if (stream == nullptr) {
    return E_POINTER;
  }
  int32_t value = 0;
  ULONG read = 0;
  const HRESULT hr = stream->Read(&value, sizeof value, &read);
  if (FAILED(hr)) {
    return hr;
  }
  if (read != sizeof value) {
    return STG_E_READFAULT;
  }
  lErrorCode = value;
  persistedErrorCode_ = value;
  return S_OK;
}

STDMETHODIMP QzlinkCtrl::Save(LPSTREAM stream, BOOL clearDirty) {
  if (stream == nullptr) {
    return E_POINTER;
  }
  const int32_t value = lErrorCode;
  ULONG written = 0;
  const HRESULT hr = stream->Write(&value, sizeof value, &written);
  if (FAILED(hr)) {
    return hr;
  }
  if (written != sizeof value) {
    return STG_E_WRITEFAULT;
  }
  if (clearDirty) {
    persistedErrorCode_ = value;
  }
  return S_OK;
}

STDMETHODIMP QzlinkCtrl::GetSizeMax(ULARGE_INTEGER* size) {
  if (size == nullptr) {
    return E_POINTER;
  }
  size->QuadPart = sizeof(int32_t);
  return S_OK;
}

// ---- IOleObject ----

STDMETHODIMP QzlinkCtrl::SetClientSite(IOleClientSite* site) {
  site_ = Ref<IOleClientSite>(site);
  return S_OK;
}

STDMETHODIMP QzlinkCtrl::GetClientSite(IOleClientSite** site) {
  if (site == nullptr) {
    return E_POINTER;
  }
  *site = site_.Get();
  if (*site != nullptr) {
    (*site)->AddRef();
  }
  return S_OK;
}

STDMETHODIMP QzlinkCtrl::DoVerb(LONG verb, LPMSG, IOleClientSite*, LONG, HWND, LPCRECT) {
  // Nothing to show: the standard verbs succeed, others are unknown.
  return verb <= 0 && verb >= OLEIVERB_DISCARDUNDOSTATE ? S_OK : OLEOBJ_S_INVALIDVERB;
}

STDMETHODIMP QzlinkCtrl::EnumVerbs(IEnumOLEVERB** verbs) {
  return OleRegEnumVerbs(CLSID_QzlinkCtrl, verbs);
}

STDMETHODIMP QzlinkCtrl::GetUserType(DWORD form, LPOLESTR* type) {
  return OleRegGetUserType(CLSID_QzlinkCtrl, form, type);
}

STDMETHODIMP QzlinkCtrl::SetExtent(DWORD aspect, SIZEL* size) {
  if (size == nullptr) {
    return E_POINTER;
  }
  if (aspect != DVASPECT_CONTENT) {
    return DV_E_DVASPECT;
  }
  extent_ = *size;
  return S_OK;
}

STDMETHODIMP QzlinkCtrl::GetExtent(DWORD aspect, SIZEL* size) {
  if (size == nullptr) {
    return E_POINTER;
  }
  if (aspect != DVASPECT_CONTENT) {
    return DV_E_DVASPECT;
  }
  *size = extent_;
  return S_OK;
}

STDMETHODIMP QzlinkCtrl::GetMiscStatus(DWORD, DWORD* status) {
  if (status == nullptr) {
    return E_POINTER;
  }
  *status = kQzlinkCtrlMiscStatus;
  return S_OK;
}

// ---- ISupportErrorInfo ----

STDMETHODIMP QzlinkCtrl::InterfaceSupportsErrorInfo(REFIID iid) {
  return IsEqualIID(iid, IID__QzlinkCtrl) ? S_OK : S_FALSE;
}

}  // namespace qzaxctrl::win32
