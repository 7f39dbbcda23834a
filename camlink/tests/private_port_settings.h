// Set-up shared by the port tests: a temporary folder removed with all it
// holds, and a settings store of a test's own with no QZLINK_COMn in force.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <system_error>

#include "camlink/port_mapping.h"

namespace qzlink::testing {

// A fresh folder under the system's temporary folder for as long as the
// object lives; Path() is empty when it could not be made.
class TempFolder {
 public:
  explicit TempFolder(const std::string& prefix) {
    std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
    if (mkdtemp(pattern.data()) != nullptr) {
      path_ = pattern;
    }
  }
  ~TempFolder() {
    if (!path_.empty()) {
      std::error_code ignored;
      std::filesystem::remove_all(path_, ignored);
    }
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  bool Valid() const { return !path_.empty(); }
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
};

// Points QZLINK_REGISTRY at a store in a temporary folder and clears every
// QZLINK_COMn, before and after; the earlier QZLINK_REGISTRY comes back at
// the end.
class PrivatePortSettings {
 public:
  explicit PrivatePortSettings(const std::string& prefix)
      : folder_(prefix), store_(folder_.Path() + "/registry.reg") {
    if (const char* previous = std::getenv("QZLINK_REGISTRY")) {
      previousStore_ = previous;
    }
    setenv("QZLINK_REGISTRY", store_.c_str(), 1);
    ClearPortVariables();
  }
  ~PrivatePortSettings() {
    ClearPortVariables();
    if (previousStore_) {
      setenv("QZLINK_REGISTRY", previousStore_->c_str(), 1);
    } else {
      unsetenv("QZLINK_REGISTRY");
    }
  }
  PrivatePortSettings(const PrivatePortSettings&) = delete;
  PrivatePortSettings& operator=(const PrivatePortSettings&) = delete;

  bool Valid() const { return folder_.Valid(); }
  const std::string& Folder() const { return folder_.Path(); }
  // The store file as it is on disk (empty while there is none).
  std::string StoreText() const {
    std::ostringstream text;
    text << std::ifstream(store_).rdbuf();
    return text.str();
  }

 private:
  static void ClearPortVariables() {
    for (int32_t n = kFirstComPort; n <= kLastComPort; ++n) {
      unsetenv(PortEnvironmentVariable(n).c_str());
    }
  }

  TempFolder folder_;
  std::string store_;
  std::optional<std::string> previousStore_;
};

}  // namespace qzlink::testing
