// The control module QzlinkAXCtrlE: the in-process server entry points, the
// class factory, the registration data and the version metadata.
#include <atomic>

#include "axcontrol/library_binding.h"
#include "axcontrol/qzlink_ctrl.h"
#include "axcontrol/type_library.h"
#include "platform/automation/automation.h"

#define QZ_MODULE_EXPORT extern "C" __attribute__((visibility("default")))

namespace qzaxctrl {
namespace {

using namespace qzauto;

std::atomic<int> serverLocks{0};

ServerInfo QzlinkCtrlServer() {
  return {"QzlinkAXCtrlE.QzlinkCtrl",
          "QzlinkAXCtrlE.QzlinkCtrl.1",
          "QzlinkCtrl Control",
          kClsidQzlinkCtrl,
          kLibId,
          "1.0",
          kQzlinkCtrlMiscStatus,
          30000,
          "Apartment"};
}

class ClassFactory final : public IClassFactory {
 public:
  HRESULT QueryInterface(const IID& iid, void** object) override {
    if (object == nullptr) {
      return E_POINTER;
    }
    if (iid == IID_IUnknown || iid == IID_IClassFactory) {
      *object = static_cast<IClassFactory*>(this);
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  // The factory is a static object of the module.
  ULONG AddRef() override { return 2; }
  ULONG Release() override { return 1; }
  HRESULT CreateInstance(IUnknown* outer, const IID& iid, void** object) override {
    if (object == nullptr) {
      return E_POINTER;
    }
    *object = nullptr;
    if (outer != nullptr) {
      return CLASS_E_NOAGGREGATION;
    }
    ComPtr<QzlinkCtrl> ctrl = QzlinkCtrl::Create(QzlinkeBinding());
    return ctrl->QueryInterface(iid, object);
  }
  HRESULT LockServer(bool lock) override {
    serverLocks += lock ? 1 : -1;
    return S_OK;
  }
};

ClassFactory factory;

}  // namespace
}  // namespace qzaxctrl

using namespace qzauto;

QZ_MODULE_EXPORT HRESULT DllGetClassObject(const CLSID& clsid, const IID& iid, void** object) {
  if (object == nullptr) {
    return E_POINTER;
  }
  *object = nullptr;
  if (!(clsid == qzaxctrl::kClsidQzlinkCtrl)) {
    return CLASS_E_CLASSNOTAVAILABLE;
  }
  return qzaxctrl::factory.QueryInterface(iid, object);
}

// Controls keep per-thread state and a reference to the active one, so the
// module stays loaded once it has been used.
QZ_MODULE_EXPORT HRESULT DllCanUnloadNow() {
  return S_FALSE;
}

QZ_MODULE_EXPORT HRESULT DllRegisterServer() {
  const std::string path = ModulePathOf(reinterpret_cast<const void*>(&DllRegisterServer));
  if (path.empty()) {
    return SELFREG_E_CLASS;
  }
  return RegisterServer(qzaxctrl::QzlinkCtrlServer(), path);
}

QZ_MODULE_EXPORT HRESULT DllUnregisterServer() {
  return UnregisterServer(qzaxctrl::QzlinkCtrlServer());
}

QZ_MODULE_EXPORT const ModuleMetadata* DllGetModuleMetadata() {
  static const ModuleMetadata metadata{"2.00",
                                       "2.00",
                                       {2, 0, 0, 0},
                                       "QZ-LINK Camera AXControl (English)",
                                       "QZ-LINK SDK Library (ENG)",
                                       "QzlinkAXCtrlE",
                                       "QzlinkAXCtrlE.ocx",
                                       "Orveda",
                                       "040904B0",
                                       true,
                                       qzaxctrl::kQzlinkCtrlMiscStatus,
                                       30000,
                                       MakeToolboxBitmap(16, 15)};
  return &metadata;
}

QZ_MODULE_EXPORT const LibraryDesc* DllGetTypeLibrary() {
  return &qzaxctrl::QzlinkAxCtrlLibrary();
}
