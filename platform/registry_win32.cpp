// The store's health on Windows: the registry itself keeps the values, so it
// is never damaged, never read in part and never refuses a change for a
// reason of the store's own (its own errors come back from each call).
#include "platform/registry.h"

extern "C" {

LONG QzRegistryGetDamageReport(DWORD* count, char*, DWORD* cchCopyPath, char*, DWORD* cchMessage) {
  if (count != nullptr)
    *count = 0;
  if (cchCopyPath != nullptr)
    *cchCopyPath = 0;
  if (cchMessage != nullptr)
    *cchMessage = 0;
  return ERROR_FILE_NOT_FOUND;
}

LONG QzRegistryGetStoreProblem(DWORD* count, char*, DWORD* cchReason) {
  if (count != nullptr)
    *count = 0;
  if (cchReason != nullptr)
    *cchReason = 0;
  return ERROR_FILE_NOT_FOUND;
}

LONG QzRegistryCheckValueRead(HKEY, const char*, const char*, char* why, DWORD cchWhy) {
  if (why != nullptr && cchWhy > 0)
    why[0] = '\0';
  return ERROR_SUCCESS;
}

}  // extern "C"
