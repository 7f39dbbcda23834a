// Connection points: the sinks of one source interface and event delivery.
#include "platform/automation/automation.h"

namespace qzauto {

ConnectionPoint::~ConnectionPoint() {
  Clear();
}

HRESULT ConnectionPoint::QueryInterface(const IID& iid, void** object) {
  if (object == nullptr) {
    return E_POINTER;
  }
  if (iid == IID_IUnknown || iid == IID_IConnectionPoint) {
    *object = static_cast<IConnectionPoint*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

HRESULT ConnectionPoint::GetConnectionInterface(IID* iid) {
  if (iid == nullptr) {
    return E_POINTER;
  }
  *iid = iid_;
  return S_OK;
}

HRESULT ConnectionPoint::Advise(IUnknown* sink, uint32_t* cookie) {
  if (sink == nullptr || cookie == nullptr) {
    return E_POINTER;
  }
  void* dispatch = nullptr;
  if (Failed(sink->QueryInterface(iid_, &dispatch)) &&
      Failed(sink->QueryInterface(IID_IDispatch, &dispatch))) {
    return CONNECT_E_CANNOTCONNECT;
  }
  *cookie = nextCookie_++;
  sinks_.emplace_back(*cookie, static_cast<IDispatch*>(dispatch));
  return S_OK;
}

HRESULT ConnectionPoint::Unadvise(uint32_t cookie) {
  for (auto it = sinks_.begin(); it != sinks_.end(); ++it) {
    if (it->first == cookie) {
      IDispatch* sink = it->second;
      sinks_.erase(it);
      sink->Release();
      return S_OK;
    }
  }
  return CONNECT_E_NOCONNECTION;
}

void ConnectionPoint::Fire(DISPID dispid, std::initializer_list<int32_t> args) {
  if (sinks_.empty()) {
    return;
  }
  VARIANT argv[kMaxDispatchArgs];
  uint32_t count = 0;
  // DISPPARAMS holds the arguments last one first.
  for (auto it = std::rbegin(args); it != std::rend(args) && count < kMaxDispatchArgs; ++it) {
    argv[count++] = MakeI4(*it);
  }
  DISPPARAMS params{argv, nullptr, count, 0};
  // A sink may unadvise (or the host release everything) from its handler:
  // call a snapshot, each sink held for the duration of its call.
  std::vector<IDispatch*> snapshot;
  snapshot.reserve(sinks_.size());
  for (auto& entry : sinks_) {
    entry.second->AddRef();
    snapshot.push_back(entry.second);
  }
  for (IDispatch* sink : snapshot) {
    VARIANT ignored;
    EXCEPINFO excepInfo;
    sink->Invoke(dispid, DISPATCH_METHOD, &params, &ignored, &excepInfo, nullptr);
    sink->Release();
  }
}

void ConnectionPoint::Clear() {
  auto sinks = std::move(sinks_);
  sinks_.clear();
  for (auto& entry : sinks) {
    entry.second->Release();
  }
}

}  // namespace qzauto
