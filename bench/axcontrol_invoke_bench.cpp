// A control method called through IDispatch::Invoke against the same library
// function called directly through its bound address: the per-call cost of
// late-bound dispatch (argument unpacking, member lookup, result packing,
// error state).
//
//  - GetPicLastCmd(5) against QzPicLastCmdVB(5): a pure pass-through.
//  - SetZooming(1, 9) against QzSetZooming(1, 9): a camera method; selector
//    9 builds no frame, so the library returns 0 without I/O and the control
//    then reads the error state with QzGetLastError as it does after every
//    failed call.
//  - GetIDsOfNames("SetZooming"): what a host pays once per name.
#include <benchmark/benchmark.h>
#include <dlfcn.h>

#include "axcontrol/library_binding.h"
#include "axcontrol/qzlink_ctrl.h"

namespace {

using namespace qzauto;

struct Fixture {
  Fixture() {
    ctrl = qzaxctrl::QzlinkCtrl::Create(qzaxctrl::QzlinkeBinding());
    dispatch = ctrl.As<IDispatch>(IID_IDispatch);
    library = dlopen("libqzlinke.so", RTLD_NOW | RTLD_LOCAL);
    picLastCmd = reinterpret_cast<uint8_t (*)(int32_t)>(dlsym(library, "QzPicLastCmdVB"));
    setZooming = reinterpret_cast<int32_t (*)(int32_t, int32_t)>(dlsym(library, "QzSetZooming"));
  }
  DISPID Id(const char* name) const {
    DISPID id = DISPID_UNKNOWN;
    dispatch->GetIDsOfNames(&name, 1, &id);
    return id;
  }
  ComPtr<qzaxctrl::QzlinkCtrl> ctrl;
  ComPtr<IDispatch> dispatch;
  void* library = nullptr;
  uint8_t (*picLastCmd)(int32_t) = nullptr;
  int32_t (*setZooming)(int32_t, int32_t) = nullptr;
};

Fixture& Shared() {
  static Fixture fixture;
  return fixture;
}

void BM_DirectQzPicLastCmdVB(benchmark::State& state) {
  auto* fn = Shared().picLastCmd;
  for (auto _ : state) {
    benchmark::DoNotOptimize(fn(5));
  }
}
BENCHMARK(BM_DirectQzPicLastCmdVB);

void BM_InvokeGetPicLastCmd(benchmark::State& state) {
  IDispatch* d = Shared().dispatch.Get();
  const DISPID id = Shared().Id("GetPicLastCmd");
  VARIANT arg = MakeI4(5);
  DISPPARAMS params{&arg, nullptr, 1, 0};
  VARIANT result;
  EXCEPINFO error;
  for (auto _ : state) {
    benchmark::DoNotOptimize(d->Invoke(id, DISPATCH_METHOD, &params, &result, &error, nullptr));
  }
}
BENCHMARK(BM_InvokeGetPicLastCmd);

void BM_DirectQzSetZooming(benchmark::State& state) {
  auto* fn = Shared().setZooming;
  for (auto _ : state) {
    benchmark::DoNotOptimize(fn(1, 9));
  }
}
BENCHMARK(BM_DirectQzSetZooming);

void BM_InvokeSetZooming(benchmark::State& state) {
  IDispatch* d = Shared().dispatch.Get();
  const DISPID id = Shared().Id("SetZooming");
  VARIANT args[] = {MakeI4(9), MakeI4(1)};
  DISPPARAMS params{args, nullptr, 2, 0};
  VARIANT result;
  EXCEPINFO error;
  for (auto _ : state) {
    benchmark::DoNotOptimize(d->Invoke(id, DISPATCH_METHOD, &params, &result, &error, nullptr));
  }
}
BENCHMARK(BM_InvokeSetZooming);

void BM_GetIDsOfNames(benchmark::State& state) {
  IDispatch* d = Shared().dispatch.Get();
  const char* name = "SetZooming";
  DISPID id = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(d->GetIDsOfNames(&name, 1, &id));
  }
}
BENCHMARK(BM_GetIDsOfNames);

}  // namespace

BENCHMARK_MAIN();
