// QzlinkCtrl: the camera automation control. An invisible control whose
// methods hand each call to the camera link library function of the same
// name, whose ERRORCODE property holds the last failure, and whose events
// AckRxEvent and NotifyRxEvent carry the library's answers and notifications.
#pragma once

#include <cstdint>

#include "axcontrol/library_binding.h"
#include "platform/automation/automation.h"
#include "platform/msgwindow.h"

namespace qzaxctrl {

constexpr int kRxBufferSize = 129;

class QzlinkCtrl final : public qzauto::IDispatch,
                         public qzauto::IConnectionPointContainer,
                         public qzauto::IPersistPropertyBag,
                         public qzauto::IOleObject,
                         public qzauto::IProvideClassInfo {
 public:
  // Creates an instance on the calling thread and runs the creation step:
  // hooks the thread's notification window and becomes the active instance.
  static qzauto::ComPtr<QzlinkCtrl> Create(LibraryBinding& binding);

  // IUnknown
  qzauto::HRESULT QueryInterface(const qzauto::IID& iid, void** object) override;
  qzauto::ULONG AddRef() override { return refs_.Add(); }
  qzauto::ULONG Release() override;

  // IDispatch
  const qzauto::InterfaceDesc* GetTypeInfo() override;
  qzauto::HRESULT GetIDsOfNames(const char* const* names, uint32_t count,
                                qzauto::DISPID* dispids) override;
  qzauto::HRESULT Invoke(qzauto::DISPID dispid, uint16_t flags, qzauto::DISPPARAMS* params,
                         qzauto::VARIANT* result, qzauto::EXCEPINFO* excepInfo,
                         uint32_t* argErr) override;

  // IConnectionPointContainer
  qzauto::HRESULT FindConnectionPoint(const qzauto::IID& iid,
                                      qzauto::IConnectionPoint** point) override;

  // IPersistPropertyBag
  qzauto::HRESULT InitNew() override;
  qzauto::HRESULT Load(qzauto::IPropertyBag* bag) override;
  qzauto::HRESULT Save(qzauto::IPropertyBag* bag, bool clearDirty, bool saveAll) override;

  // IProvideClassInfo
  const qzauto::CoclassDesc* GetClassInfo() override;

  // IOleObject
  qzauto::HRESULT SetClientSite(qzauto::IUnknown* site) override;
  qzauto::HRESULT GetMiscStatus(uint32_t aspect, uint32_t* status) override;

  // Copies the frame filed under sequence number lParam into the receive
  // buffer and raises AckRxEvent (kind 1) or NotifyRxEvent (kind 2). A
  // binding failure raises nothing and is returned.
  qzauto::HRESULT RaiseRxEvent(int kind, WPARAM wParam, LPARAM lParam);

 private:
  explicit QzlinkCtrl(LibraryBinding& binding);
  ~QzlinkCtrl();

  qzauto::HRESULT Call(int member, const qzauto::DispatchArgs& args, int32_t* result,
                       qzauto::EXCEPINFO* excepInfo);
  qzauto::HRESULT CallCamera(size_t method, const int32_t* args, int32_t* result,
                             qzauto::EXCEPINFO* excepInfo);
  qzauto::HRESULT CommOpen(const int32_t* args, int32_t* result, qzauto::EXCEPINFO* excepInfo);
  qzauto::HRESULT CommClose(int32_t* result, qzauto::EXCEPINFO* excepInfo);
  qzauto::HRESULT SetErrorState(int32_t r, qzauto::EXCEPINFO* excepInfo);
  void Terminate();
  void TerminateObject();

  qzauto::RefCount refs_;
  LibraryBinding& binding_;
  qzauto::ConnectionPoint events_;
  qzauto::ComPtr<qzauto::IUnknown> site_;

  // Per-instance state.
  int32_t lErrorCode = 0;
  int32_t lErrorDetail = 0;
  int32_t lRxBytes = 0;
  uint8_t bRxData[kRxBufferSize] = {};
};

// Misc-status bits of the control class.
constexpr uint32_t kQzlinkCtrlMiscStatus =
    qzauto::OLEMISC_RECOMPOSEONRESIZE | qzauto::OLEMISC_CANTLINKINSIDE | qzauto::OLEMISC_INSIDEOUT |
    qzauto::OLEMISC_ACTIVATEWHENVISIBLE | qzauto::OLEMISC_INVISIBLEATRUNTIME |
    qzauto::OLEMISC_SETCLIENTSITEFIRST;
static_assert(kQzlinkCtrlMiscStatus == 0x20591);

}  // namespace qzaxctrl
