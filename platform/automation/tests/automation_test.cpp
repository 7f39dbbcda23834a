// The automation core: conversions, argument unpacking, connection points,
// property bags, the ambient site, and registration in the registry store.
#include <stdlib.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

#include "platform/automation/automation.h"

namespace qzauto {
namespace {

TEST(VariantTest, DoublesConvertAsDispatchDoes) {
  struct Row {
    double in;
    HRESULT hr;
    int32_t out;
  };
  const Row rows[] = {
      {2.5, S_OK, 2},
      {3.5, S_OK, 4},
      {-2.5, S_OK, -2},
      {-0.5, S_OK, 0},
      {1.4999, S_OK, 1},
      {2147483647.4, S_OK, 2147483647},
      {-2147483648.5, S_OK, INT32_MIN},
      {2147483647.5, DISP_E_OVERFLOW, 0},
      {1e300, DISP_E_OVERFLOW, 0},
      {std::numeric_limits<double>::infinity(), DISP_E_OVERFLOW, 0},
      {std::nan(""), DISP_E_TYPEMISMATCH, 0},
  };
  for (const Row& row : rows) {
    int32_t out = 0;
    EXPECT_EQ(DoubleToI4(row.in, &out), row.hr) << row.in;
    if (row.hr == S_OK) {
      EXPECT_EQ(out, row.out) << row.in;
    }
  }
}

TEST(VariantTest, IntegerConversions) {
  int32_t target = 1234;
  struct Row {
    VARIANT in;
    HRESULT hrI2;
    int16_t i2;
  };
  const Row rows[] = {
      {VARIANT(), S_OK, 0},
      {MakeBool(true), S_OK, -1},
      {MakeI4(-32768), S_OK, -32768},
      {MakeI4(40000), DISP_E_OVERFLOW, 0},
      {MakeI4Ref(&target), S_OK, 1234},
      {MakeR8(-7.5), S_OK, -8},
  };
  for (const Row& row : rows) {
    int16_t out = 0;
    EXPECT_EQ(VariantToI2(row.in, &out), row.hrI2) << row.in.vt;
    if (row.hrI2 == S_OK) {
      EXPECT_EQ(out, row.i2) << row.in.vt;
    }
  }
  VARIANT unsupported;
  unsupported.vt = 8;  // a string type this core does not carry
  int32_t out = 0;
  EXPECT_EQ(VariantToI4(unsupported, &out), DISP_E_TYPEMISMATCH);
}

TEST(GuidTest, TextRoundTripAndRejects) {
  const GUID g = {0x01234567, 0x89AB, 0xCDEF, {0xFE, 0xDC, 0xBA, 0x98, 0x76, 0x54, 0x32, 0x10}};
  const std::string text = GuidToString(g);
  EXPECT_EQ(text, "{01234567-89AB-CDEF-FEDC-BA9876543210}");
  GUID back{};
  ASSERT_TRUE(GuidFromString("{01234567-89ab-cdef-fedc-ba9876543210}", &back));
  EXPECT_EQ(back, g);
  for (const char* bad :
       {"", "01234567-89AB-CDEF-FEDC-BA9876543210", "{01234567-89AB-CDEF-FEDC-BA987654321G}",
        "{01234567+89AB-CDEF-FEDC-BA9876543210}"}) {
    EXPECT_FALSE(GuidFromString(bad, &back)) << bad;
  }
}

const FuncDesc kSetThree = {"SetThree",
                            7,
                            InvokeKind::Method,
                            {{"a", VT_I4}, {"b", VT_I2}, {"c", VT_BYREF | VT_I4}},
                            VT_I4};
const FuncDesc kPut = {"Value", 0, InvokeKind::PropertyPut, {{"v", VT_I4}}, VT_EMPTY};

TEST(DispatchTest, UnpackTakesArgumentsLastOneFirst) {
  int32_t out = 5;
  VARIANT argv[] = {MakeI4Ref(&out), MakeI2(-2), MakeI4(100000)};  // c, b, a
  DISPPARAMS params{argv, nullptr, 3, 0};
  DispatchArgs args;
  ASSERT_EQ(UnpackArgs(kSetThree, &params, &args, nullptr), S_OK);
  EXPECT_EQ(args.values[0], 100000);
  EXPECT_EQ(args.values[1], -2);
  EXPECT_EQ(args.values[2], 5);
  *args.refs[2] = 9;  // writes through to the caller
  EXPECT_EQ(out, 9);

  // A by-value argument for a by-reference parameter gets a private slot.
  argv[0] = MakeI4(6);
  ASSERT_EQ(UnpackArgs(kSetThree, &params, &args, nullptr), S_OK);
  EXPECT_EQ(*args.refs[2], 6);
  EXPECT_NE(args.refs[2], &out);
}

TEST(DispatchTest, UnpackRejectsBadCalls) {
  DispatchArgs args;
  VARIANT three[] = {MakeI4(1), MakeI4(70000), MakeI4(1)};
  DISPPARAMS tooBig{three, nullptr, 3, 0};
  uint32_t argErr = 99;
  EXPECT_EQ(UnpackArgs(kSetThree, &tooBig, &args, &argErr), DISP_E_OVERFLOW);
  EXPECT_EQ(argErr, 1u);  // b, the 16-bit parameter
  DISPPARAMS two{three, nullptr, 2, 0};
  EXPECT_EQ(UnpackArgs(kSetThree, &two, &args, nullptr), DISP_E_BADPARAMCOUNT);
  EXPECT_EQ(UnpackArgs(kSetThree, nullptr, &args, nullptr), DISP_E_BADPARAMCOUNT);
  DISPID named = 0;
  DISPPARAMS withNames{three, &named, 3, 1};
  EXPECT_EQ(UnpackArgs(kSetThree, &withNames, &args, nullptr), DISP_E_NONAMEDARGS);
  // A property put needs its value as the named DISPID_PROPERTYPUT argument.
  DISPPARAMS plain{three, nullptr, 1, 0};
  EXPECT_EQ(UnpackArgs(kPut, &plain, &args, nullptr), DISP_E_PARAMNOTFOUND);
  DISPID put = DISPID_PROPERTYPUT;
  DISPPARAMS proper{three, &put, 1, 1};
  EXPECT_EQ(UnpackArgs(kPut, &proper, &args, nullptr), S_OK);
}

TEST(DispatchTest, LookupByNameAndByKind) {
  const InterfaceDesc iface{"I",
                            IID_IDispatch,
                            0,
                            false,
                            {{"Value", 0, InvokeKind::PropertyGet, {}, VT_I4}, kPut, kSetThree}};
  EXPECT_EQ(iface.IdOfName("setthree"), 7);
  EXPECT_EQ(iface.IdOfName("SetThre"), DISPID_UNKNOWN);
  EXPECT_EQ(iface.Find(0, DISPATCH_PROPERTYGET)->kind, InvokeKind::PropertyGet);
  EXPECT_EQ(iface.Find(0, DISPATCH_PROPERTYPUT)->kind, InvokeKind::PropertyPut);
  EXPECT_EQ(iface.Find(7, DISPATCH_PROPERTYPUT), nullptr);
  VARIANT result;
  PackResult(iface.funcs[2], 0x12345, &result);
  EXPECT_EQ(result.vt, VT_I4);
}

// A container whose connection point calls back into handlers.
class Source final : public IUnknown {
 public:
  ConnectionPoint point{this, IID_IDispatch};
  HRESULT QueryInterface(const IID&, void** object) override {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG AddRef() override { return 2; }
  ULONG Release() override { return 1; }
};

class Sink final : public IDispatch {
 public:
  std::vector<std::pair<DISPID, int32_t>> calls;
  std::function<void()> during;
  HRESULT QueryInterface(const IID& iid, void** object) override {
    *object = (iid == IID_IDispatch || iid == IID_IUnknown) ? this : nullptr;
    if (*object)
      AddRef();
    return *object ? S_OK : E_NOINTERFACE;
  }
  ULONG AddRef() override { return ++refs; }
  ULONG Release() override { return --refs; }
  const InterfaceDesc* GetTypeInfo() override { return nullptr; }
  HRESULT GetIDsOfNames(const char* const*, uint32_t, DISPID*) override { return E_NOTIMPL; }
  HRESULT Invoke(DISPID id, uint16_t, DISPPARAMS* p, VARIANT*, EXCEPINFO*, uint32_t*) override {
    int32_t first = 0;
    VariantToI4(p->rgvarg[p->cArgs - 1], &first);
    calls.emplace_back(id, first);
    if (during)
      during();
    return S_OK;
  }
  ULONG refs = 1;
};

TEST(ConnectionPointTest, FiresToEverySinkAndToleratesUnadviseInAHandler) {
  Source source;
  Sink a;
  Sink b;
  uint32_t cookieA = 0;
  uint32_t cookieB = 0;
  ASSERT_EQ(source.point.Advise(&a, &cookieA), S_OK);
  ASSERT_EQ(source.point.Advise(&b, &cookieB), S_OK);
  a.during = [&] { source.point.Unadvise(cookieA), source.point.Unadvise(cookieB); };
  source.point.Fire(2, {11, 22});
  EXPECT_EQ(a.calls, (std::vector<std::pair<DISPID, int32_t>>{{2, 11}}));
  EXPECT_EQ(b.calls.size(), 1u);  // called from the snapshot
  source.point.Fire(2, {33, 44});
  EXPECT_EQ(a.calls.size(), 1u);
  EXPECT_EQ(a.refs, 1u);  // every reference taken was given back
  EXPECT_EQ(b.refs, 1u);
  EXPECT_EQ(source.point.Unadvise(cookieA), CONNECT_E_NOCONNECTION);

  Source other;  // an object that answers neither interface
  uint32_t cookie = 0;
  EXPECT_EQ(source.point.Advise(&other, &cookie), CONNECT_E_CANNOTCONNECT);
}

TEST(PropertyBagTest, ReadsConvertAndMissingValuesFail) {
  auto bag = MemoryPropertyBag::Create();
  VARIANT value;
  EXPECT_EQ(bag->Read("ErrorCode", &value), E_INVALIDARG);
  const VARIANT wide = MakeI4(70000);
  ASSERT_EQ(bag->Write("Wide", &wide), S_OK);
  value.vt = VT_I2;
  EXPECT_EQ(bag->Read("Wide", &value), DISP_E_OVERFLOW);
  value.vt = VT_EMPTY;
  ASSERT_EQ(bag->Read("Wide", &value), S_OK);
  EXPECT_EQ(value.vt, VT_I4);
  int32_t target = 0;
  const VARIANT ref = MakeI4Ref(&target);
  EXPECT_EQ(bag->Write("Ref", &ref), DISP_E_BADVARTYPE);
}

class RegistrationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = ::testing::TempDir() + "qzauto-" + std::to_string(getpid()) + ".reg";
    unlink(path_.c_str());
    setenv("QZLINK_REGISTRY", path_.c_str(), 1);
  }
  void TearDown() override { unlink(path_.c_str()); }
  std::string path_;
  const ServerInfo info_{"Test.Thing",
                         "Test.Thing.3",
                         "Test Thing",
                         {0x11111111, 0x2222, 0x3333, {4, 4, 5, 5, 5, 5, 5, 5}},
                         {0x66666666, 0x7777, 0x8888, {9, 9, 9, 9, 9, 9, 9, 9}},
                         "1.0",
                         0x20591,
                         30000,
                         "Apartment"};
};

TEST_F(RegistrationTest, RegisterLookUpCreateUnregister) {
  ASSERT_EQ(RegisterServer(info_, "/nonexistent/thing.so"), S_OK);
  for (const char* progId : {"Test.Thing", "Test.Thing.3", "test.thing"}) {
    CLSID clsid{};
    ASSERT_EQ(ClsidFromProgId(progId, &clsid), S_OK) << progId;
    EXPECT_EQ(clsid, info_.clsid);
  }
  std::string module;
  ASSERT_EQ(ModulePathOfClass(info_.clsid, &module), S_OK);
  EXPECT_EQ(module, "/nonexistent/thing.so");
  void* object = nullptr;
  EXPECT_EQ(CreateObject("Test.Thing", IID_IDispatch, &object), CO_E_DLLNOTFOUND);
  EXPECT_EQ(CreateObject("Test\\Thing", IID_IDispatch, &object), CO_E_CLASSSTRING);
  EXPECT_EQ(object, nullptr);

  ASSERT_EQ(UnregisterServer(info_), S_OK);
  CLSID clsid{};
  EXPECT_EQ(ClsidFromProgId("Test.Thing", &clsid), CO_E_CLASSSTRING);
  EXPECT_EQ(ModulePathOfClass(info_.clsid, &module), REGDB_E_CLASSNOTREG);
  EXPECT_EQ(UnregisterServer(info_), S_OK);  // twice is harmless
}

}  // namespace
}  // namespace qzauto
