// The sink that connects an object's events to the script's functions named
// prefix + event name (WScript.CreateObject's second argument).
#pragma once

#include <QString>

#include "platform/automation/automation.h"

namespace qzscript {

class ScriptHost;

class EventSink final : public qzauto::IDispatch {
 public:
  static qzauto::ComPtr<EventSink> Create(ScriptHost* host, QString prefix,
                                          const qzauto::InterfaceDesc* events);

  qzauto::HRESULT QueryInterface(const qzauto::IID& iid, void** object) override;
  qzauto::ULONG AddRef() override { return refs_.Add(); }
  qzauto::ULONG Release() override;
  const qzauto::InterfaceDesc* GetTypeInfo() override { return events_; }
  qzauto::HRESULT GetIDsOfNames(const char* const*, uint32_t, qzauto::DISPID*) override {
    return qzauto::E_NOTIMPL;
  }
  qzauto::HRESULT Invoke(qzauto::DISPID dispid, uint16_t flags, qzauto::DISPPARAMS* params,
                         qzauto::VARIANT* result, qzauto::EXCEPINFO* excepInfo,
                         uint32_t* argErr) override;

 private:
  EventSink(ScriptHost* host, QString prefix, const qzauto::InterfaceDesc* events)
      : host_(host), prefix_(std::move(prefix)), events_(events) {}
  ~EventSink() = default;

  qzauto::RefCount refs_;
  ScriptHost* host_;
  QString prefix_;
  const qzauto::InterfaceDesc* events_;
};

}  // namespace qzscript
