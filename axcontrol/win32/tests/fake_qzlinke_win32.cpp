// A stand-in for the camera link library QZLINKE.DLL, for the control's tests
// under Wine: every export the control binds, in the library's calling
// convention, each call appended as "QzSetZooming(1,2) -> 1" to the file that
// QZ_FAKE_QZLINKE_LOG names. QzGetOperateStatus4 is missing.
//
// Results: a camera function returns its lUnit, so lUnit 0 is a failure,
// which QzGetLastError reports as ERR_SYSTEM (-1) with detail 87. QzOpen fails
// for port 99 (-1, detail 2) and while open (-3). With a session open,
// QzGetZoomPosition and QzSetBackLight are answered as the reader thread does:
// another thread sends 0x800A (answer FE 30 31 30 30 31 32 33 34 EF) or
// 0x800B wParam 1 (notification FA 30 31 00 A5 31 EF) to the window QzOpen
// was given and waits for it to be handled.
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#define FAKE_EXPORT extern "C" __declspec(dllexport)

namespace {

HWND window = nullptr;
bool open = false;
int32_t errorCode = 0;
int32_t errorDetail = 0;
int32_t nextSequence = 1;
std::map<int32_t, std::vector<uint8_t>> frames;  // by sequence number
std::vector<HANDLE> senders;
uint8_t message[256] = {};
// The last command's bytes, as the library keeps them.
const std::vector<uint8_t> lastCommand = {0xFF, 0x30, 0x31, 0x00, 0xA2, 0x32, 0xEF};

void Log(const std::string& line) {
  const char* path = std::getenv("QZ_FAKE_QZLINKE_LOG");
  if (path == nullptr) {
    return;
  }
  if (FILE* f = std::fopen(path, "ab")) {  // "\n" lines, as the test reads them
    std::fprintf(f, "%s\n", line.c_str());
    std::fclose(f);
  }
}

int32_t Record(const char* name, std::initializer_list<int32_t> args, int32_t result) {
  std::string text = std::string(name) + "(";
  bool first = true;
  for (int32_t a : args) {
    if (!first) {
      text += ',';
    }
    text += std::to_string(a);
    first = false;
  }
  Log(text + ") -> " + std::to_string(result));
  return result;
}

struct Send {
  HWND window;
  UINT msg;
  WPARAM wParam;
  LPARAM lParam;
};

DWORD WINAPI SendThread(void* data) {
  const Send* send = static_cast<Send*>(data);
  SendMessageA(send->window, send->msg, send->wParam, send->lParam);
  delete send;
  return 0;
}

// Files the frame and sends its message from a thread of its own.
void Deliver(UINT msg, WPARAM wParam, std::vector<uint8_t> frame) {
  const int32_t sequence = nextSequence++;
  frames[sequence] = std::move(frame);
  if (HANDLE t = CreateThread(nullptr, 0, SendThread, new Send{window, msg, wParam, sequence}, 0,
                              nullptr)) {
    senders.push_back(t);
  }
}

// Waits (at most 5 s each) for the senders, handling the messages they send
// to this thread's windows meanwhile.
void JoinSenders() {
  for (HANDLE t : senders) {
    const ULONGLONG end = GetTickCount64() + 5000;
    while (MsgWaitForMultipleObjects(1, &t, FALSE, 100, QS_SENDMESSAGE) != WAIT_OBJECT_0 &&
           GetTickCount64() < end) {
      MSG msg;
      PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    CloseHandle(t);
  }
  senders.clear();
}

int32_t Camera(const char* name, std::initializer_list<int32_t> args) {
  const int32_t unit = *args.begin();
  if (unit == 0) {
    errorCode = -1;
    errorDetail = 87;
  }
  if (open && unit != 0 && std::string(name) == "QzGetZoomPosition") {
    Deliver(0x800A, 1, {0xFE, 0x30, 0x31, 0x30, 0x30, 0x31, 0x32, 0x33, 0x34, 0xEF});
  }
  if (open && unit != 0 && std::string(name) == "QzSetBackLight") {
    Deliver(0x800B, 1, {0xFA, 0x30, 0x31, 0x00, 0xA5, 0x31, 0xEF});
  }
  return Record(name, args, unit);
}

}  // namespace

FAKE_EXPORT int32_t __stdcall QzOpen(HWND hwnd, int32_t port, int32_t baud, int32_t bytes,
                                     int32_t parity, int32_t stop) {
  int32_t r = 1;
  if (open) {
    errorCode = -3;
    errorDetail = 0;
    r = 0;
  } else if (port == 99) {
    errorCode = -1;
    errorDetail = 2;
    r = 0;
  } else {
    open = true;
    window = hwnd;
  }
  Record("QzOpen", {port, baud, bytes, parity, stop}, r);
  return r;
}

FAKE_EXPORT int32_t __stdcall QzClose() {
  const bool wasOpen = open;
  open = false;
  // The real library joins its reader here: a sender still waiting for its
  // reply would never end.
  JoinSenders();
  return Record("QzClose", {}, wasOpen ? 1 : 0);
}

FAKE_EXPORT int32_t __stdcall QzGetLastError(int32_t* detail) {
  *detail = errorDetail;
  return Record("QzGetLastError", {}, errorCode);
}

FAKE_EXPORT int32_t __stdcall QzGetStatus() {
  return Record("QzGetStatus", {}, 0x51);
}

FAKE_EXPORT int32_t __stdcall QzGetLastCmdstrVB() {
  return Record("QzGetLastCmdstrVB", {}, static_cast<int32_t>(lastCommand.size()));
}

FAKE_EXPORT uint8_t __stdcall QzPicLastCmdVB(int32_t i) {
  Record("QzPicLastCmdVB", {i}, 0);
  return i >= 0 && static_cast<size_t>(i) < lastCommand.size() ? lastCommand[i] : 0;
}

FAKE_EXPORT int32_t __stdcall QzGetMsgVB(int32_t sequence) {
  auto it = frames.find(sequence);
  if (it == frames.end()) {
    return Record("QzGetMsgVB", {sequence}, 0);
  }
  std::fill(std::begin(message), std::end(message), 0);
  std::copy(it->second.begin(), it->second.end(), message);
  return Record("QzGetMsgVB", {sequence}, static_cast<int32_t>(it->second.size()));
}

FAKE_EXPORT uint8_t __stdcall QzPicMsgVB(int32_t i) {
  return i >= 0 && i < 256 ? message[i] : 0;
}

#define QZ_CAMERA_METHOD_1(name, entry, a)         \
  FAKE_EXPORT int32_t __stdcall entry(int32_t a) { \
    return Camera(#entry, {a});                    \
  }
#define QZ_CAMERA_METHOD_2(name, entry, a, b)                 \
  FAKE_EXPORT int32_t __stdcall entry(int32_t a, int32_t b) { \
    return Camera(#entry, {a, b});                            \
  }
#define QZ_CAMERA_METHOD_3(name, entry, a, b, c)                         \
  FAKE_EXPORT int32_t __stdcall entry(int32_t a, int32_t b, int32_t c) { \
    return Camera(#entry, {a, b, c});                                    \
  }
#define QZ_CAMERA_METHOD_4(name, entry, a, b, c, d)                                 \
  FAKE_EXPORT int32_t __stdcall entry(int32_t a, int32_t b, int32_t c, int32_t d) { \
    return Camera(#entry, {a, b, c, d});                                            \
  }
// One camera function is exported under another name, for the
// entry-point-not-found failure (the macros above expand the name only where
// it is not turned into text).
#define QzGetOperateStatus4 QzGetOperateStatus4_NotExported
#include "axcontrol/camera_methods.inc"
