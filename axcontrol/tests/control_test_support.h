// Helpers for the control's tests: late-bound calls by name, a sink that
// records events, and a fresh thread per test (the control's shared state is
// per thread).
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <thread>
#include <vector>

#include "platform/automation/automation.h"

namespace qzaxctrl::testing {

using namespace qzauto;

struct CallResult {
  HRESULT hr = S_OK;
  int32_t value = 0;
  EXCEPINFO error;
};

// Calls a member by name as a script host does; args in declared order.
inline CallResult Call(IDispatch* object, const char* name, std::vector<VARIANT> args = {},
                       uint16_t flags = DISPATCH_METHOD | DISPATCH_PROPERTYGET) {
  CallResult out;
  DISPID dispid = DISPID_UNKNOWN;
  out.hr = object->GetIDsOfNames(&name, 1, &dispid);
  if (Failed(out.hr)) {
    return out;
  }
  std::vector<VARIANT> reversed(args.rbegin(), args.rend());
  DISPID put = DISPID_PROPERTYPUT;
  DISPPARAMS params{reversed.data(), nullptr, static_cast<uint32_t>(reversed.size()), 0};
  if (flags == DISPATCH_PROPERTYPUT) {
    params.rgdispidNamedArgs = &put;
    params.cNamedArgs = 1;
  }
  VARIANT result;
  out.hr = object->Invoke(dispid, flags, &params, &result, &out.error, nullptr);
  if (Succeeded(out.hr)) {
    VariantToI4(result, &out.value);
  }
  return out;
}

inline int32_t Value(IDispatch* object, const char* name, std::vector<VARIANT> args = {}) {
  const CallResult r = Call(object, name, std::move(args));
  EXPECT_EQ(r.hr, S_OK) << name << ": " << r.error.description;
  return r.value;
}

struct Event {
  DISPID dispid;
  int32_t wParam;
  int32_t lBytes;
  bool operator==(const Event&) const = default;
};

// Records the events it receives; onEvent runs inside the event.
class RecordingSink final : public IDispatch {
 public:
  static ComPtr<RecordingSink> Create() { return ComPtr<RecordingSink>::Attach(new RecordingSink); }
  std::vector<Event> events;
  std::function<void(const Event&)> onEvent;

  HRESULT QueryInterface(const IID& iid, void** object) override {
    if (iid == IID_IUnknown || iid == IID_IDispatch) {
      *object = static_cast<IDispatch*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return refs_.Add(); }
  ULONG Release() override {
    const ULONG left = refs_.Drop();
    if (left == 0)
      delete this;
    return left;
  }
  const InterfaceDesc* GetTypeInfo() override { return nullptr; }
  HRESULT GetIDsOfNames(const char* const*, uint32_t, DISPID*) override { return E_NOTIMPL; }
  HRESULT Invoke(DISPID dispid, uint16_t, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                 uint32_t*) override {
    Event e{dispid, 0, 0};
    if (params != nullptr && params->cArgs == 2) {
      VariantToI4(params->rgvarg[1], &e.wParam);
      VariantToI4(params->rgvarg[0], &e.lBytes);
    }
    events.push_back(e);
    if (onEvent)
      onEvent(e);
    return S_OK;
  }

 private:
  RecordingSink() = default;
  ~RecordingSink() = default;
  RefCount refs_;
};

// Connects a sink to an object's events.
inline ComPtr<RecordingSink> Listen(IUnknown* object, const IID& events) {
  auto sink = RecordingSink::Create();
  ComPtr<IConnectionPointContainer> container;
  object->QueryInterface(IID_IConnectionPointContainer, container.OutVoid());
  ComPtr<IConnectionPoint> point;
  uint32_t cookie = 0;
  EXPECT_EQ(container->FindConnectionPoint(events, point.Out()), S_OK);
  EXPECT_EQ(point->Advise(sink.Get(), &cookie), S_OK);
  return sink;
}

// Runs body on a new thread, so that it starts with fresh per-thread state,
// and joins it.
inline void OnFreshThread(const std::function<void()>& body) {
  std::thread(body).join();
}

}  // namespace qzaxctrl::testing
