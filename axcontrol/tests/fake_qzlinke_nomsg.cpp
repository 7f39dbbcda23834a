// A library that lacks the message functions, for binding failures inside
// the window procedure.
#include <cstdint>

#include "platform/msgwindow.h"

#define FAKE_EXPORT extern "C" __attribute__((visibility("default")))

FAKE_EXPORT int32_t QzOpen(HWND, int32_t, int32_t, int32_t, int32_t, int32_t) {
  return 1;
}
FAKE_EXPORT int32_t QzClose() {
  return 1;
}
FAKE_EXPORT int32_t QzGetLastError(int32_t* detail) {
  *detail = 0;
  return 0;
}
