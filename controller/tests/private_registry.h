// A registry file of the test program's own. CTest runs every test case as a
// process of its own, in parallel; a file per process keeps one case's
// deletions out of another's values. Including this header sets it up for
// the whole program, once however many files include it.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace qtr90x::test {

class PrivateRegistry : public ::testing::Environment {
 public:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("qtr90x-registry-test-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
    setenv("QZLINK_REGISTRY", (dir_ / "registry.reg").c_str(), 1);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

 private:
  std::filesystem::path dir_;
};

inline ::testing::Environment* const kPrivateRegistry =
    ::testing::AddGlobalTestEnvironment(new PrivateRegistry);

}  // namespace qtr90x::test
