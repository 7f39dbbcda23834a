// The built QZLINK.dll as a Windows client binds it: every export by its
// exact name through GetProcAddress, called through a pointer in the Win32
// standard calling convention with the stack checked afterwards.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "camlink/qzlink.h"

namespace {

template <typename R, typename... A>
constexpr int ArityOf(R(QZLINK_CALL*)(A...)) {
  return sizeof...(A);
}

struct Export {
  const char* name;  // the name in the export table
  int arity;
};

#define QZ_EXPORT_ENTRY(name, windowsName) \
  Export{sizeof(windowsName "") > 1 ? windowsName "" : #name, ArityOf(&name)},
#define QZ_SESSION_EXPORT(name, windowsName, shape, returnType, params) \
  QZ_EXPORT_ENTRY(name, windowsName)
#define QZ_COMMAND_EXPORT(name, windowsName, params, choice, ...) QZ_EXPORT_ENTRY(name, windowsName)
const Export kExports[] = {
#include "camlink/qzlink_exports.inc"
};
#undef QZ_SESSION_EXPORT
#undef QZ_COMMAND_EXPORT
#undef QZ_EXPORT_ENTRY

using Word = intptr_t;

// A bound export as a pointer of the given type (through the generic
// function pointer type, which the compiler accepts for any target type).
template <typename F>
F As(FARPROC fn) {
  return reinterpret_cast<F>(reinterpret_cast<void (*)()>(fn));
}

inline uintptr_t StackPointer() {
  uintptr_t sp = 0;
#if defined(__x86_64__)
  __asm__ volatile("mov %%rsp, %0" : "=r"(sp));
#else
  __asm__ volatile("mov %%esp, %0" : "=r"(sp));
#endif
  return sp;
}

// Calls fn with arity arguments, each a; returns the stack pointer's change.
intptr_t CallAndMeasure(FARPROC fn, int arity, Word a) {
  const uintptr_t before = StackPointer();
  switch (arity) {
    case 0:
      As<Word(WINAPI*)()>(fn)();
      break;
    case 1:
      As<Word(WINAPI*)(Word)>(fn)(a);
      break;
    case 2:
      As<Word(WINAPI*)(Word, Word)>(fn)(a, a);
      break;
    case 3:
      As<Word(WINAPI*)(Word, Word, Word)>(fn)(a, a, a);
      break;
    case 4:
      As<Word(WINAPI*)(Word, Word, Word, Word)>(fn)(a, a, a, a);
      break;
    case 5:
      As<Word(WINAPI*)(Word, Word, Word, Word, Word)>(fn)(a, a, a, a, a);
      break;
    case 6:
      As<Word(WINAPI*)(Word, Word, Word, Word, Word, Word)>(fn)(a, a, a, a, a, a);
      break;
    default:
      ADD_FAILURE() << "no call shape for " << arity << " arguments";
  }
  return static_cast<intptr_t>(StackPointer() - before);
}

class Win32Exports : public ::testing::Test {
 protected:
  void SetUp() override {
    // Upper case on purpose: the control loads QZLINKE.DLL by that name.
    module_ = LoadLibraryA("QZLINKE.DLL");
    ASSERT_NE(module_, nullptr) << "LoadLibraryA failed with " << GetLastError();
  }
  void TearDown() override {
    if (module_ != nullptr) {
      FreeLibrary(module_);
    }
  }
  HMODULE module_ = nullptr;
};

TEST_F(Win32Exports, ListHasTheDesignedNames) {
  ASSERT_EQ(std::size(kExports), 113u);
  EXPECT_STREQ(kExports[11].name, "_QzGetLastError@4");
  EXPECT_STREQ(kExports[12].name, "_QzGetStatus@0");
  EXPECT_STREQ(kExports[13].name, "_QzGet2ByteStatus@4");
}

TEST_F(Win32Exports, NamesBindExactlyAndCaseSensitively) {
  for (const Export& e : kExports) {
    EXPECT_NE(GetProcAddress(module_, e.name), nullptr) << e.name;
    std::string lower = e.name;
    for (char& c : lower) {
      c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    EXPECT_EQ(GetProcAddress(module_, lower.c_str()), nullptr) << lower;
  }
  // The decorated three exist only under their decorated names.
  for (const char* plain : {"QzGetStatus", "QzGetLastError", "QzGet2ByteStatus", "QzGetStatus@0"}) {
    EXPECT_EQ(GetProcAddress(module_, plain), nullptr) << plain;
  }
}

TEST_F(Win32Exports, EveryExportKeepsTheStackBalanced) {
  // Every argument is the address of a zeroed scratch block: a valid
  // pointer for the pointer parameters, and for the integers a value out of
  // every range (no baud rate, selector or count takes it), so nothing is
  // opened or sent.
  static uint8_t scratch[4096];
  const Word address = reinterpret_cast<Word>(scratch);
  for (const Export& e : kExports) {
    std::memset(scratch, 0, sizeof scratch);
    const FARPROC fn = GetProcAddress(module_, e.name);
    ASSERT_NE(fn, nullptr) << e.name;
    EXPECT_EQ(CallAndMeasure(fn, e.arity, address), 0) << e.name << " with " << e.arity;
  }
  // With no session open a command fails with the invalid-handle code.
  const auto getLastError =
      As<int32_t(WINAPI*)(int32_t*)>(GetProcAddress(module_, "_QzGetLastError@4"));
  const auto zoom = As<int32_t(WINAPI*)(int32_t, int32_t)>(GetProcAddress(module_, "QzSetZooming"));
  int32_t systemCode = 0;
  EXPECT_EQ(zoom(1, 2), 0);
  EXPECT_EQ(getLastError(&systemCode), ERR_SYSTEM);
  EXPECT_EQ(systemCode, ERROR_INVALID_HANDLE);
}

}  // namespace
