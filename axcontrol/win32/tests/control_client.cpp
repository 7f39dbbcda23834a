// A compiled host of QzlinkAXCtrlE.ocx, run under Wine: the control created
// by its ProgID, its type information against the shared member list, the
// ERRORCODE put at design and run time, the property bag, the dual vtable,
// and the events through a connection point with a sink of our own (Wine's
// script host cannot connect events).
// usage: control_client.exe [PORT]   PORT: open that COM port for the events
// Prints "ok: ..." or "FAILED: ..." per check; exit status 1 when one failed.
#include <ocidl.h>
#include <olectl.h>
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "QzlinkAXCtrlE_h.h"
#include "axcontrol/control_members.h"

namespace {

int failures = 0;

void Check(const std::string& name, bool ok) {
  std::printf("%s: %s\n", ok ? "ok" : "FAILED", name.c_str());
  std::fflush(stdout);
  failures += ok ? 0 : 1;
}

std::string Narrow(const wchar_t* text) {
  std::string s;
  for (; text != nullptr && *text != 0; ++text) {
    s += static_cast<char>(*text);
  }
  return s;
}

// A base for the small COM objects of this host: counted, one interface.
template <class Interface>
class Object : public Interface {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, __uuidof(Interface)) || Accepts(iid)) {
      *object = static_cast<Interface*>(this);
      this->AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++refs_; }
  STDMETHODIMP_(ULONG) Release() override { return --refs_; }  // owned by the test
  virtual bool Accepts(REFIID) { return false; }

 private:
  ULONG refs_ = 1;
};

// The event sink: remembers every event.
struct Event {
  DISPID dispid;
  LONG wParam;
  LONG bytes;
};
class Sink final : public Object<IDispatch> {
 public:
  std::vector<Event> events;
  bool Accepts(REFIID iid) override { return IsEqualIID(iid, DIID___QzlinkCtrl); }
  STDMETHODIMP GetTypeInfoCount(UINT* n) override {
    *n = 0;
    return S_OK;
  }
  STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  STDMETHODIMP Invoke(DISPID dispid, REFIID, LCID, WORD, DISPPARAMS* p, VARIANT*, EXCEPINFO*,
                      UINT*) override {
    if (p->cArgs == 2 && p->rgvarg[0].vt == VT_I4 && p->rgvarg[1].vt == VT_I4) {
      events.push_back({dispid, p->rgvarg[1].lVal, p->rgvarg[0].lVal});
    }
    return S_OK;
  }
};

// A client site whose ambient properties say design time (UserMode false).
class DesignSite final : public Object<IOleClientSite> {
 public:
  class Ambient final : public Object<IDispatch> {
   public:
    STDMETHODIMP GetTypeInfoCount(UINT* n) override {
      *n = 0;
      return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
      return E_NOTIMPL;
    }
    STDMETHODIMP Invoke(DISPID dispid, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*,
                        UINT*) override {
      if (dispid != DISPID_AMBIENT_USERMODE || result == nullptr) {
        return DISP_E_MEMBERNOTFOUND;
      }
      result->vt = VT_BOOL;
      result->boolVal = VARIANT_FALSE;
      return S_OK;
    }
  } ambient;
  STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
    if (IsEqualIID(iid, IID_IDispatch)) {
      return ambient.QueryInterface(iid, object);
    }
    return Object<IOleClientSite>::QueryInterface(iid, object);
  }
  STDMETHODIMP SaveObject() override { return E_NOTIMPL; }
  STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker**) override { return E_NOTIMPL; }
  STDMETHODIMP GetContainer(IOleContainer**) override { return E_NOINTERFACE; }
  STDMETHODIMP ShowObject() override { return S_OK; }
  STDMETHODIMP OnShowWindow(BOOL) override { return S_OK; }
  STDMETHODIMP RequestNewObjectLayout() override { return E_NOTIMPL; }
};

// A property bag of VT_I4/VT_I2 values.
class Bag final : public Object<IPropertyBag> {
 public:
  std::vector<std::pair<std::wstring, VARIANT>> values;
  STDMETHODIMP Read(LPCOLESTR name, VARIANT* value, IErrorLog*) override {
    for (auto& [n, v] : values) {
      if (n == name) {
        return VariantCopy(value, &v);
      }
    }
    return E_INVALIDARG;
  }
  STDMETHODIMP Write(LPCOLESTR name, VARIANT* value) override {
    VARIANT copy;
    VariantInit(&copy);
    VariantCopy(&copy, value);
    values.emplace_back(name, copy);
    return S_OK;
  }
};

LONG ErrorCodeOf(IDispatch* ctrl) {
  DISPPARAMS none = {nullptr, nullptr, 0, 0};
  VARIANT result;
  VariantInit(&result);
  ctrl->Invoke(qzaxctrl::kDispidErrorCode, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result,
               nullptr, nullptr);
  return result.vt == VT_I4 ? result.lVal : -9999;
}

// The scode of a failed ERRORCODE put, or 0.
HRESULT PutErrorCode(IDispatch* ctrl, LONG value) {
  VARIANT arg;
  arg.vt = VT_I4;
  arg.lVal = value;
  DISPID named = DISPID_PROPERTYPUT;
  DISPPARAMS params = {&arg, &named, 1, 1};
  EXCEPINFO info = {};
  const HRESULT hr = ctrl->Invoke(qzaxctrl::kDispidErrorCode, IID_NULL, 0, DISPATCH_PROPERTYPUT,
                                  &params, nullptr, &info, nullptr);
  SysFreeString(info.bstrSource);
  SysFreeString(info.bstrDescription);
  SysFreeString(info.bstrHelpFile);
  return hr == DISP_E_EXCEPTION ? info.scode : hr;
}

// Handles messages (the sent ones too) until done() or timeout.
template <class Done>
bool PumpUntil(Done done, DWORD timeoutMs) {
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  while (!done()) {
    if (GetTickCount64() >= end) {
      return false;
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      DispatchMessageA(&msg);
    }
  }
  return true;
}

void CheckTypeInformation(IDispatch* ctrl) {
  ITypeInfo* info = nullptr;
  Check("GetTypeInfo", SUCCEEDED(ctrl->GetTypeInfo(0, 0, &info)) && info != nullptr);
  if (info == nullptr) {
    return;
  }
  TYPEATTR* attr = nullptr;
  info->GetTypeAttr(&attr);
  Check("_QzlinkCtrl is a dual, hidden, non-extensible dispatch interface",
        attr->typekind == TKIND_DISPATCH && (attr->wTypeFlags & TYPEFLAG_FDUAL) &&
            (attr->wTypeFlags & TYPEFLAG_FHIDDEN) && (attr->wTypeFlags & TYPEFLAG_FNONEXTENSIBLE));
  // The members from the property on, in order, against the shared list.
  struct Member {
    std::string name;
    MEMBERID id;
    INVOKEKIND kind;
    int params;
  };
  std::vector<Member> members;
  for (UINT i = 0; i < attr->cFuncs; ++i) {
    FUNCDESC* f = nullptr;
    if (FAILED(info->GetFuncDesc(i, &f))) {
      continue;
    }
    if (static_cast<unsigned>(f->memid) >= 0x60030000u) {
      BSTR name = nullptr;
      UINT n = 0;
      info->GetNames(f->memid, &name, 1, &n);
      members.push_back({Narrow(name), f->memid, f->invkind, f->cParams});
      SysFreeString(name);
    }
    info->ReleaseFuncDesc(f);
  }
  info->ReleaseTypeAttr(attr);
  // ERRORCODE's get and put are two entries.
  Check("the property and 101 methods (" + std::to_string(members.size()) + " entries)",
        members.size() == 103);
  bool sameCamera = members.size() == 103;
  for (size_t i = 0; sameCamera && i < qzaxctrl::kCameraMethodCount; ++i) {
    const qzaxctrl::CameraMethod& m = qzaxctrl::kCameraMethods[i];
    const Member& got = members[qzaxctrl::kFirstCameraMember + i];
    sameCamera = got.name == m.name && got.params == m.arity &&
                 got.id == static_cast<MEMBERID>(qzaxctrl::kDispidFirstMethod + 5 + i);
    if (!sameCamera) {
      std::printf("  member %zu is %s (%d parameters, id 0x%lX), not %s\n", i, got.name.c_str(),
                  got.params, static_cast<unsigned long>(got.id), m.name);
    }
  }
  Check("the camera methods in list order with their DISPIDs", sameCamera);
  Check("ERRORCODE get and put, then Terminate",
        members.size() > 2 && members[0].name == "ERRORCODE" &&
            members[0].kind == INVOKE_PROPERTYGET && members[1].kind == INVOKE_PROPERTYPUT &&
            members[0].id == qzaxctrl::kDispidErrorCode && members[2].name == "Terminate" &&
            members[2].id == qzaxctrl::kDispidTerminate);
  Check("GetOperateStatus4 is the last, at 0x6003006D",
        !members.empty() && members.back().name == "GetOperateStatus4" &&
            members.back().id == 0x6003006D);
  info->Release();
}

void CheckClassInfo(IDispatch* ctrl) {
  IProvideClassInfo2* provide = nullptr;
  ctrl->QueryInterface(IID_IProvideClassInfo2, reinterpret_cast<void**>(&provide));
  Check("IProvideClassInfo2", provide != nullptr);
  if (provide == nullptr) {
    return;
  }
  GUID source = GUID_NULL;
  provide->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &source);
  Check("the default source is __QzlinkCtrl", IsEqualGUID(source, DIID___QzlinkCtrl));
  ITypeInfo* coclass = nullptr;
  provide->GetClassInfo(&coclass);
  TYPEATTR* attr = nullptr;
  if (coclass != nullptr) {
    coclass->GetTypeAttr(&attr);
  }
  Check("the class info is the coclass QzlinkCtrl, a control",
        attr != nullptr && attr->typekind == TKIND_COCLASS &&
            IsEqualGUID(attr->guid, CLSID_QzlinkCtrl) && (attr->wTypeFlags & TYPEFLAG_FCONTROL));
  if (attr != nullptr) {
    coclass->ReleaseTypeAttr(attr);
  }
  if (coclass != nullptr) {
    coclass->Release();
  }
  provide->Release();
}

void CheckContainerSide(IDispatch* ctrl) {
  Check("a new instance reads ERRORCODE 0", ErrorCodeOf(ctrl) == 0);
  Check("ERRORCODE put without a site (run time): 382",
        PutErrorCode(ctrl, 1) == static_cast<HRESULT>(0x800A017E));
  IOleObject* ole = nullptr;
  ctrl->QueryInterface(IID_IOleObject, reinterpret_cast<void**>(&ole));
  DWORD misc = 0;
  if (ole != nullptr) {
    ole->GetMiscStatus(DVASPECT_CONTENT, &misc);
  }
  Check("misc status 0x20591", misc == 0x20591);
  DesignSite site;
  if (ole != nullptr) {
    ole->SetClientSite(&site);
  }
  Check("ERRORCODE put at design time: 387",
        PutErrorCode(ctrl, 1) == static_cast<HRESULT>(0x800A0183));
  if (ole != nullptr) {
    ole->SetClientSite(nullptr);
    ole->Release();
  }
  Check("and ERRORCODE keeps its value", ErrorCodeOf(ctrl) == 0);

  IPersistPropertyBag* persist = nullptr;
  ctrl->QueryInterface(IID_IPersistPropertyBag, reinterpret_cast<void**>(&persist));
  Check("IPersistPropertyBag", persist != nullptr);
  if (persist == nullptr) {
    return;
  }
  Bag in;
  VARIANT five;
  five.vt = VT_I2;
  five.iVal = 5;
  in.values.emplace_back(L"ErrorCode", five);
  persist->Load(&in, nullptr);
  Check("loaded from a bag holding 5 (16 bits), ERRORCODE reads 5", ErrorCodeOf(ctrl) == 5);
  Bag out;
  persist->Save(&out, TRUE, FALSE);
  Check("saved as ErrorCode, 32 bits",
        out.values.size() == 1 && out.values[0].first == L"ErrorCode" &&
            out.values[0].second.vt == VT_I4 && out.values[0].second.lVal == 5);
  Bag empty;
  persist->Load(&empty, nullptr);
  Bag none;
  persist->Save(&none, TRUE, FALSE);
  Check("a bag without it loads 0, and 0 is left out",
        ErrorCodeOf(ctrl) == 0 && none.values.empty());

  // The same value through a stream: saved from one state, loaded back.
  IPersistStreamInit* streamed = nullptr;
  ctrl->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void**>(&streamed));
  IStream* stream = nullptr;
  CreateStreamOnHGlobal(nullptr, TRUE, &stream);
  Check("IPersistStreamInit", streamed != nullptr && stream != nullptr);
  if (streamed != nullptr && stream != nullptr) {
    persist->Load(&in, nullptr);
    const bool clean = streamed->IsDirty() == S_FALSE;
    streamed->Save(stream, TRUE);
    streamed->InitNew();
    LARGE_INTEGER start = {};
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
    const HRESULT loaded = streamed->Load(stream);
    Check("a stream saved with ERRORCODE 5 loads 5",
          clean && SUCCEEDED(loaded) && ErrorCodeOf(ctrl) == 5);
    Check("a short stream is refused", streamed->Load(stream) == STG_E_READFAULT);
    streamed->InitNew();
  }
  if (stream != nullptr) {
    stream->Release();
  }
  if (streamed != nullptr) {
    streamed->Release();
  }
  persist->Release();
}

bool HasEvent(const Sink& sink, DISPID dispid) {
  for (const Event& e : sink.events) {
    if (e.dispid == dispid) {
      return true;
    }
  }
  return false;
}

void CheckEvents(IDispatch* first, LONG port) {
  _QzlinkCtrl* ctrl = nullptr;
  first->QueryInterface(IID__QzlinkCtrl, reinterpret_cast<void**>(&ctrl));
  Check("the dual interface by its IID", ctrl != nullptr);
  if (ctrl == nullptr) {
    return;
  }
  IConnectionPointContainer* container = nullptr;
  IConnectionPoint* point = nullptr;
  ctrl->QueryInterface(IID_IConnectionPointContainer, reinterpret_cast<void**>(&container));
  if (container != nullptr) {
    container->FindConnectionPoint(DIID___QzlinkCtrl, &point);
  }
  Check("a connection point for __QzlinkCtrl", point != nullptr);
  if (point == nullptr) {
    return;
  }
  Sink sink;
  DWORD cookie = 0;
  Check("Advise", SUCCEEDED(point->Advise(&sink, &cookie)) && cookie != 0);

  LONG r = 0;
  ctrl->CommClose(&r);
  Check("CommClose without a session: -2 (vtable call)", r == -2);
  ctrl->CommOpen(port, 9600, 8, 0, 0, &r);
  Check("CommOpen(" + std::to_string(port) + ", 9600, 8, 0, 0) = 1", r == 1);
  ctrl->SetNotify(1, 1, &r);
  PumpUntil([&] { return HasEvent(sink, qzaxctrl::kDispidAckRxEvent); }, 3000);
  sink.events.clear();
  ctrl->GetZoomPosition(1, &r);
  Check("GetZoomPosition(1) = 1", r == 1);
  const bool acked = PumpUntil([&] { return HasEvent(sink, qzaxctrl::kDispidAckRxEvent); }, 3000);
  Check("its answer arrives as AckRxEvent", acked);
  if (acked) {
    const Event e = sink.events.back();
    SHORT head = 0, tail = 0, past = 0;
    ctrl->GetPicData(0, &head);
    ctrl->GetPicData(e.bytes - 1, &tail);
    ctrl->GetPicData(e.bytes, &past);
    Check("AckRxEvent(1, n): the answer FE .. EF in GetPicData, 0 past it",
          e.wParam == 1 && e.bytes >= 6 && head == 0xFE && tail == 0xEF && past == 0);
  }
  sink.events.clear();
  ctrl->SetBackLight(1, 1, &r);
  const bool notified =
      PumpUntil([&] { return HasEvent(sink, qzaxctrl::kDispidNotifyRxEvent); }, 3000);
  Check("SetBackLight(1, 1): the notification arrives as NotifyRxEvent", notified);
  if (notified) {
    SHORT head = 0, command = 0;
    ctrl->GetPicData(0, &head);
    ctrl->GetPicData(4, &command);
    Check("NotifyRxEvent(1, 7): FA 30 31 00 A5 ..", sink.events.back().wParam == 1 &&
                                                        sink.events.back().bytes == 7 &&
                                                        head == 0xFA && command == 0xA5);
  }

  // A second instance on the thread receives the events from now on.
  IDispatch* secondDispatch = nullptr;
  CoCreateInstance(CLSID_QzlinkCtrl, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                   reinterpret_cast<void**>(&secondDispatch));
  _QzlinkCtrl* second = nullptr;
  IConnectionPointContainer* secondContainer = nullptr;
  IConnectionPoint* secondPoint = nullptr;
  if (secondDispatch != nullptr) {
    secondDispatch->QueryInterface(IID__QzlinkCtrl, reinterpret_cast<void**>(&second));
    secondDispatch->QueryInterface(IID_IConnectionPointContainer,
                                   reinterpret_cast<void**>(&secondContainer));
  }
  if (secondContainer != nullptr) {
    secondContainer->FindConnectionPoint(DIID___QzlinkCtrl, &secondPoint);
  }
  Sink secondSink;
  DWORD secondCookie = 0;
  if (secondPoint != nullptr) {
    secondPoint->Advise(&secondSink, &secondCookie);
  }
  Check("a second instance", second != nullptr && secondCookie != 0);
  if (second != nullptr) {
    sink.events.clear();
    SHORT before = 0;
    ctrl->GetPicData(0, &before);
    second->GetZoomPosition(1, &r);
    const bool secondAcked =
        PumpUntil([&] { return HasEvent(secondSink, qzaxctrl::kDispidAckRxEvent); }, 3000);
    SHORT kept = 0;
    ctrl->GetPicData(0, &kept);
    Check("the instance created last receives the events, the first keeps its bytes",
          secondAcked && sink.events.empty() && kept == before);
    second->CommClose(&r);
    Check("CommClose on any instance closes the session: 1", r == 1);
    secondSink.events.clear();
    second->SetBackLight(1, 0, &r);
    PumpUntil([] { return false; }, 300);
    Check("after CommClose no events", secondSink.events.empty() && sink.events.empty());
    secondPoint->Unadvise(secondCookie);
    second->Terminate();
    second->Release();
  }
  if (secondPoint != nullptr) {
    secondPoint->Release();
  }
  if (secondContainer != nullptr) {
    secondContainer->Release();
  }
  if (secondDispatch != nullptr) {
    secondDispatch->Release();
  }
  Check("Unadvise", SUCCEEDED(point->Unadvise(cookie)));
  Check("Unadvise twice fails", point->Unadvise(cookie) == CONNECT_E_NOCONNECTION);
  point->Release();
  container->Release();
  ctrl->Release();
}

}  // namespace

int main(int argc, char** argv) {
  CoInitialize(nullptr);
  CLSID clsid = GUID_NULL;
  Check("the ProgID QzlinkAXCtrlE.QzlinkCtrl names the class",
        SUCCEEDED(CLSIDFromProgID(L"QzlinkAXCtrlE.QzlinkCtrl", &clsid)) &&
            IsEqualCLSID(clsid, CLSID_QzlinkCtrl));
  IDispatch* ctrl = nullptr;
  const HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch,
                                      reinterpret_cast<void**>(&ctrl));
  Check("created by CoCreateInstance", SUCCEEDED(hr) && ctrl != nullptr);
  if (ctrl != nullptr) {
    CheckTypeInformation(ctrl);
    CheckClassInfo(ctrl);
    CheckContainerSide(ctrl);
    if (argc > 1) {
      CheckEvents(ctrl, std::atoi(argv[1]));
    }
    _QzlinkCtrl* dual = nullptr;
    ctrl->QueryInterface(IID__QzlinkCtrl, reinterpret_cast<void**>(&dual));
    if (dual != nullptr) {
      dual->Terminate();
      dual->Release();
    }
    ctrl->Release();
  }
  CoUninitialize();
  std::printf("%d failed\n", failures);
  return failures == 0 ? 0 : 1;
}
