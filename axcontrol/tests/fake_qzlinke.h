// A stand-in for the camera link library that records every call, for the
// control's unit tests. Built as libqzlinke.so so that the control's binding
// finds it under the real library's name.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/msgwindow.h"

struct FakeQzlinkeState {
  std::vector<std::string> calls;          // "QzSetZooming(1,2)"
  std::map<std::string, int32_t> results;  // result per function name; default 1
  int32_t errorCode = -1;                  // what QzGetLastError reports after a 0
  int32_t errorDetail = 9;
  bool open = false;
  int closesWhileASenderWaits = 0;                 // QzClose calls with an unanswered send
  std::map<int32_t, std::vector<uint8_t>> frames;  // by sequence number
  int32_t lengthOverride = -1;                     // QzGetMsgVB result when >= 0
  uint8_t message[256] = {};
  // When postMessage is set, every camera call posts it to the window that
  // QzOpen was given, as the reader does when an answer arrives.
  HWND window = nullptr;
  UINT postMessage = 0;
  WPARAM postWParam = 0;
  LPARAM postLParam = 0;

  void Reset() { *this = FakeQzlinkeState(); }
  int CountOf(const std::string& prefix) const {
    int n = 0;
    for (const std::string& call : calls) {
      n += call.rfind(prefix + "(", 0) == 0 ? 1 : 0;
    }
    return n;
  }
};

extern "C" FakeQzlinkeState* FakeQzlinke();
