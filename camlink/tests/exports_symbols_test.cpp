// The library exports exactly the 112 designed functions and QzGetLinkState,
// and the Windows export list names them.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

#include "camlink/qzlink.h"

namespace {

// The exported names as designed, in the export list's order; three carry
// their Windows decoration.
#define QZ_EXPORT_NAME(name, windowsName) \
  std::string(sizeof("" windowsName) > 1 ? "" windowsName : #name),
#define QZ_SESSION_EXPORT(name, windowsName, shape, returnType, params) \
  QZ_EXPORT_NAME(name, windowsName)
#define QZ_COMMAND_EXPORT(name, windowsName, params, choice, ...) QZ_EXPORT_NAME(name, windowsName)
const std::vector<std::string> kDesignedOrder = {
#include "camlink/qzlink_exports.inc"
};
#undef QZ_SESSION_EXPORT
#undef QZ_COMMAND_EXPORT

// The header declares each export with the list's signature.
#define QZ_SESSION_EXPORT(name, windowsName, shape, returnType, params) \
  static_assert(std::is_same_v<decltype(&name), returnType(QZLINK_CALL*) params>);
#define QZ_COMMAND_EXPORT(name, windowsName, params, choice, ...) \
  static_assert(std::is_same_v<decltype(&name), int32_t(QZLINK_CALL*) params>);
#include "camlink/qzlink_exports.inc"
#undef QZ_SESSION_EXPORT
#undef QZ_COMMAND_EXPORT
#undef QZ_EXPORT_NAME

const std::set<std::string> kDesignedNames(kDesignedOrder.begin(), kDesignedOrder.end());

// "_QzGetStatus@0" is "QzGetStatus" in an ELF library.
std::string ElfName(const std::string& designed) {
  if (designed[0] != '_') {
    return designed;
  }
  return designed.substr(1, designed.find('@') - 1);
}

std::set<std::string> ElfNames() {
  std::set<std::string> names;
  for (const std::string& name : kDesignedNames) {
    names.insert(ElfName(name));
  }
  return names;
}

TEST(ExportedSymbols, EachNameBindsByDlsymUnderTheControlsFileName) {
  ASSERT_EQ(kDesignedOrder.size(), 113u);
  ASSERT_EQ(ElfNames().size(), 113u);
  void* library = dlopen(QZLINKE_PATH, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << dlerror();
  for (const std::string& name : ElfNames()) {
    EXPECT_NE(dlsym(library, name.c_str()), nullptr) << name;
  }
  EXPECT_EQ(dlsym(library, "QzSetIRLight"), nullptr) << "names are case-sensitive";
  dlclose(library);
}

// The names a shared library defines for dynamic linking.
std::set<std::string> DefinedDynamicSymbols(const std::string& path) {
  std::set<std::string> defined;
  FILE* pipe = popen(("nm -D --defined-only " + path).c_str(), "r");
  if (pipe == nullptr) {
    return defined;
  }
  char line[512];
  while (std::fgets(line, sizeof line, pipe) != nullptr) {
    char type = 0;
    char name[256];
    if (std::sscanf(line, "%*s %c %255s", &type, name) == 2) {
      defined.insert(name);
    }
  }
  EXPECT_EQ(pclose(pipe), 0);
  return defined;
}

TEST(ExportedSymbols, ThePlatformLibraryExportsItsCApiOnly) {
  const std::set<std::string> defined = DefinedDynamicSymbols(QZPLATFORM_PATH);
  EXPECT_TRUE(defined.count("SendMessageA") == 1 && defined.count("RegOpenKeyExA") == 1 &&
              defined.count("QzMsgWaitForFd") == 1);
  for (const std::string& name : defined) {
    EXPECT_NE(name.rfind("_Z", 0), 0u) << "a C++ symbol leaks: " << name;
  }
}

TEST(ExportedSymbols, TheLibraryDefinesNoOtherDynamicSymbol) {
  FILE* pipe = popen("nm -D --defined-only " QZLINK_PATH, "r");
  ASSERT_NE(pipe, nullptr);
  std::set<std::string> defined;
  char line[512];
  while (std::fgets(line, sizeof line, pipe) != nullptr) {
    char type = 0;
    char name[256];
    if (std::sscanf(line, "%*s %c %255s", &type, name) == 2) {
      defined.insert(name);
    }
  }
  ASSERT_EQ(pclose(pipe), 0);
  EXPECT_EQ(defined, ElfNames());
}

TEST(ExportedSymbols, TheWindowsExportListNamesTheDesignedNamesAndTwoAliases) {
  std::ifstream def(QZLINK_DEF_PATH);
  ASSERT_TRUE(def.good());
  std::string line;
  bool inExports = false;
  std::set<std::string> exported;
  std::vector<std::string> inOrder;
  while (std::getline(def, line)) {
    const size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line[start] == ';') {
      continue;
    }
    const std::string entry = line.substr(start, line.find_first_of(" \t=", start) - start);
    if (entry == "EXPORTS") {
      inExports = true;
    } else if (inExports) {
      EXPECT_TRUE(exported.insert(entry).second) << "listed twice: " << entry;
      inOrder.push_back(entry);
    }
  }
  inOrder.resize(std::min(inOrder.size(), kDesignedOrder.size()));
  EXPECT_EQ(inOrder, kDesignedOrder) << "the list's order first, then the aliases";
  std::set<std::string> expected = kDesignedNames;
  expected.insert({"QzGetLastError", "QzGetStatus"});
  EXPECT_EQ(exported, expected);
}

TEST(ExportedSymbols, TheHeaderDeclaresTheListsFunctionsInItsOrder) {
  std::ifstream header(QZLINK_HEADER_PATH);
  ASSERT_TRUE(header.good());
  std::stringstream text;
  text << header.rdbuf();
  const std::string all = text.str();
  const std::regex declaration(R"(QZLINK_API[^;(]*QZLINK_CALL\s+(\w+)\s*\()");
  std::vector<std::string> declared;
  for (auto it = std::sregex_iterator(all.begin(), all.end(), declaration);
       it != std::sregex_iterator(); ++it) {
    declared.push_back((*it)[1]);
  }
  std::vector<std::string> expected;
  for (const std::string& name : kDesignedOrder) {
    expected.push_back(ElfName(name));
  }
  EXPECT_EQ(declared, expected);
}

}  // namespace
