#include "axcontrol/qzscript/event_sink.h"

#include <QJSValueList>

#include "axcontrol/qzscript/script_host.h"

namespace qzscript {

using namespace qzauto;

ComPtr<EventSink> EventSink::Create(ScriptHost* host, QString prefix, const InterfaceDesc* events) {
  return ComPtr<EventSink>::Attach(new EventSink(host, std::move(prefix), events));
}

HRESULT EventSink::QueryInterface(const IID& iid, void** object) {
  if (object == nullptr) {
    return E_POINTER;
  }
  if (iid == IID_IUnknown || iid == IID_IDispatch || (events_ != nullptr && iid == events_->iid)) {
    *object = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

ULONG EventSink::Release() {
  const ULONG left = refs_.Drop();
  if (left == 0) {
    delete this;
  }
  return left;
}

HRESULT EventSink::Invoke(DISPID dispid, uint16_t, DISPPARAMS* params, VARIANT*, EXCEPINFO*,
                          uint32_t*) {
  if (events_ == nullptr) {
    return DISP_E_MEMBERNOTFOUND;
  }
  const std::string name = events_->NameOf(dispid);
  if (name.empty()) {
    return DISP_E_MEMBERNOTFOUND;
  }
  QJSValueList args;
  // DISPPARAMS holds the arguments last one first.
  for (uint32_t i = params != nullptr ? params->cArgs : 0; i > 0; --i) {
    int32_t value = 0;
    VariantToI4(params->rgvarg[i - 1], &value);
    args.append(QJSValue(value));
  }
  host_->DispatchEvent(prefix_ + QString::fromStdString(name), args);
  return S_OK;
}

}  // namespace qzscript
