// The module as a host meets it: self-registration in the registry store,
// creation by ProgID through its class factory, and its metadata.
#include <dlfcn.h>
#include <stdlib.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>

#include "platform/automation/automation.h"

namespace {

using namespace qzauto;

class ModuleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    registry_ = ::testing::TempDir() + "axmodule-" + std::to_string(getpid()) + ".reg";
    unlink(registry_.c_str());
    setenv("QZLINK_REGISTRY", registry_.c_str(), 1);
    module_ = dlopen(QZ_AXMODULE_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(module_, nullptr) << dlerror();
  }
  void TearDown() override { unlink(registry_.c_str()); }

  template <class Fn>
  Fn Entry(const char* name) {
    return reinterpret_cast<Fn>(dlsym(module_, name));
  }

  std::string registry_;
  void* module_ = nullptr;
};

TEST_F(ModuleTest, RegistersCreatesAndUnregisters) {
  ComPtr<IDispatch> object;
  EXPECT_EQ(CreateObject("QzlinkAXCtrlE.QzlinkCtrl", IID_IDispatch, object.OutVoid()),
            CO_E_CLASSSTRING);

  ASSERT_EQ(Entry<DllRegisterServerFn>("DllRegisterServer")(), S_OK);
  CLSID plain;
  CLSID versioned;
  ASSERT_EQ(ClsidFromProgId("QzlinkAXCtrlE.QzlinkCtrl", &plain), S_OK);
  ASSERT_EQ(ClsidFromProgId("QzlinkAXCtrlE.QzlinkCtrl.1", &versioned), S_OK);
  EXPECT_EQ(plain, versioned);
  std::string path;
  ASSERT_EQ(ModulePathOfClass(plain, &path), S_OK);
  char resolved[4096];
  ASSERT_NE(realpath(QZ_AXMODULE_PATH, resolved), nullptr);
  EXPECT_EQ(path, resolved);

  for (const char* progId : {"QzlinkAXCtrlE.QzlinkCtrl", "QzlinkAXCtrlE.QzlinkCtrl.1"}) {
    ASSERT_EQ(CreateObject(progId, IID_IDispatch, object.OutVoid()), S_OK) << progId;
    auto ole = object.As<IOleObject>(IID_IOleObject);
    uint32_t misc = 0;
    ASSERT_TRUE(ole);
    EXPECT_EQ(ole->GetMiscStatus(1, &misc), S_OK);
    EXPECT_EQ(misc, 0x20591u);
    auto classInfo = object.As<IProvideClassInfo>(IID_IProvideClassInfo);
    ASSERT_TRUE(classInfo);
    EXPECT_EQ(classInfo->GetClassInfo()->clsid, plain);
    const char* name = "Terminate";
    DISPID dispid = 0;
    ASSERT_EQ(object->GetIDsOfNames(&name, 1, &dispid), S_OK);
    EXPECT_EQ(object->Invoke(dispid, DISPATCH_METHOD, nullptr, nullptr, nullptr, nullptr), S_OK);
  }

  ASSERT_EQ(Entry<DllRegisterServerFn>("DllUnregisterServer")(), S_OK);
  EXPECT_EQ(CreateObject("QzlinkAXCtrlE.QzlinkCtrl", IID_IDispatch, object.OutVoid()),
            CO_E_CLASSSTRING);
}

TEST_F(ModuleTest, CarriesItsVersionMetadata) {
  const ModuleMetadata* m = Entry<DllGetModuleMetadataFn>("DllGetModuleMetadata")();
  ASSERT_NE(m, nullptr);
  EXPECT_EQ(m->fileVersion, "2.00");
  EXPECT_EQ(m->translation, "040904B0");
  EXPECT_TRUE(m->oleSelfRegister);
  EXPECT_EQ(m->toolboxBitmapId, 30000);
  // A 16 x 15, 24-bit bitmap: width, height and bit count in its header.
  ASSERT_GT(m->toolboxBitmap.size(), 54u);
  EXPECT_EQ(m->toolboxBitmap[18], 16);
  EXPECT_EQ(m->toolboxBitmap[22], 15);
  EXPECT_EQ(m->toolboxBitmap[28], 24);
  // Only the server entry points are exported.
  EXPECT_EQ(dlsym(module_, "_ZN8qzaxctrl14QzlinkeBindingEv"), nullptr);
  EXPECT_NE(dlsym(module_, "DllCanUnloadNow"), nullptr);
}

}  // namespace
