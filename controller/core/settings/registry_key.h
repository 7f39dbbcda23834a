// One open key below HKEY_CURRENT_USER of the platform registry store.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/registry.h"

namespace qtr90x {

class RegistryKey {
 public:
  RegistryKey() = default;
  virtual ~RegistryKey();
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;

  virtual bool Open(const char* subKey, bool readOnly);
  virtual bool Open(const char* subKey);
  virtual bool Close();
  virtual bool QueryDword(const char* name, std::uint32_t* value);
  // The text is always terminated inside the buffer.
  virtual bool QueryString(const char* name, char* buffer, std::size_t size);
  virtual bool SetDword(const char* name, std::uint32_t value);
  virtual bool SetString(const char* name, const char* text);
  // Creates every key along the path; refuses paths of 260 characters or more.
  virtual bool CreateKeyPath(const char* path);

 private:
  HKEY root_ = HKEY_CURRENT_USER;
  HKEY key_ = nullptr;
};

}  // namespace qtr90x
