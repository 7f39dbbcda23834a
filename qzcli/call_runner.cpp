#include "qzcli/call_runner.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <poll.h>
#endif

#include <chrono>
#include <cstring>
#include <string>
#include <vector>

#include "camlink/qzlink.h"
#include "platform/msgwindow.h"

namespace qzcli {
namespace {

using Clock = std::chrono::steady_clock;

// Longest frame the library hands out: 40 bytes received, 50 bytes sent.
constexpr size_t kFrameBufferSize = 64;

std::string HexText(const uint8_t* bytes, int32_t length) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  for (int32_t i = 0; i < length; ++i) {
    if (i > 0) {
      text += ' ';
    }
    text += kDigits[bytes[i] >> 4];
    text += kDigits[bytes[i] & 0x0F];
  }
  return text;
}

const char* NotificationLabel(WPARAM kind) {
  static constexpr const char* kLabels[] = {"notify", "remote on", "remote off", "global notify",
                                            "detect"};
  return kind >= 1 && kind <= 5 ? kLabels[kind - 1] : "notification";
}

const char* ErrorName(int32_t code) {
  switch (code) {
    case ERR_NONE:
      return "ERR_NONE";
    case ERR_SYSTEM:
      return "ERR_SYSTEM";
    case ERR_BAUD_RATE:
      return "ERR_BAUD_RATE";
    case ERR_PORT_BUSY:
      return "ERR_PORT_BUSY";
    default:
      return "unknown";
  }
}

// State shared with the window procedure, which runs on this thread.
struct Listener {
  FILE* out = nullptr;
  int answers = 0;
};
Listener gListener;

LRESULT CALLBACK ClientWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg != AckRxMessage && msg != NotifyRxMessage) {
    return DefWindowProcA(hwnd, msg, wParam, lParam);
  }
  uint8_t frame[kFrameBufferSize] = {};
  const int32_t length = QzGetMsg(static_cast<int32_t>(lParam), frame);
  const char* label = msg == AckRxMessage ? "ack" : NotificationLabel(wParam);
  std::fprintf(gListener.out, "recv %s #%ld %s\n", label, static_cast<long>(lParam),
               HexText(frame, length).c_str());
  std::fflush(gListener.out);
  if (msg == AckRxMessage) {
    ++gListener.answers;
  }
  return 0;
}

// Runs messages until stop() is true or the deadline passes.
template <typename Stop>
void PumpUntil(Clock::time_point deadline, Stop stop) {
#ifndef _WIN32
  const int wakeFd = QzMessageWakeFd();
#endif
  while (!stop()) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) {
      return;
    }
#ifdef _WIN32
    if (QzWaitForMessages(static_cast<int>(left)) > 0) {
      QzDispatchMessages();
    }
#else
    pollfd fd{wakeFd, POLLIN, 0};
    if (poll(&fd, 1, static_cast<int>(left)) > 0) {
      QzDispatchMessages();
    }
#endif
  }
}

// The system's own words for a system error code.
std::string SystemErrorText(int32_t code) {
#ifdef _WIN32
  char text[256] = {};
  const DWORD length =
      FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                     static_cast<DWORD>(code), 0, text, sizeof text, nullptr);
  std::string result(text, length);
  while (!result.empty() && (result.back() == '\n' || result.back() == '\r' ||
                             result.back() == ' ' || result.back() == '.')) {
    result.pop_back();
  }
  return result.empty() ? "unknown error" : result;
#else
  return std::strerror(code);
#endif
}

std::string ErrorText() {
  int32_t systemCode = 0;
  const int32_t code = QzGetLastError(&systemCode);
  std::string text = "error " + std::to_string(code) + " " + ErrorName(code);
  if (code == ERR_SYSTEM) {
    text += ", system code " + std::to_string(systemCode) + ": " + SystemErrorText(systemCode);
  }
  return text;
}

std::string CallText(const Call& call) {
  std::string text = std::string(call.entry->name) + "(";
  if (call.entry->kind == ExportKind::kBytes) {
    std::vector<uint8_t> bytes(call.args.begin(), call.args.end());
    return text + HexText(bytes.data(), static_cast<int32_t>(bytes.size())) + ")";
  }
  for (size_t i = 0; i < call.args.size(); ++i) {
    text += (i > 0 ? ", " : "") + std::to_string(call.args[i]);
  }
  return text + ")";
}

void PrintLastCommand(FILE* out) {
  uint8_t frame[kFrameBufferSize] = {};
  const int32_t length = QzGetLastCmdstr(frame);
  std::fprintf(out, "send %s\n", HexText(frame, length).c_str());
}

// Makes one call and prints its result. Returns true when it wrote a frame.
bool MakeCall(const Call& call, HWND window, FILE* out) {
  const ExportEntry& entry = *call.entry;
  const int32_t* args = call.args.data();
  int32_t result = 0;
  bool sent = false;
  switch (entry.kind) {
    case ExportKind::kCommand:
      result = entry.invoke(args);
      sent = result == 1;
      break;
    case ExportKind::kQuery:
      result = entry.invoke(args);
      break;
    case ExportKind::kOpen:
      result = QzOpen(window, args[0], args[1], args[2], args[3], args[4]);
      break;
    case ExportKind::kBytes: {
      uint8_t bytes[256];
      const size_t count = std::min(call.args.size(), sizeof bytes);
      for (size_t i = 0; i < count; ++i) {
        bytes[i] = static_cast<uint8_t>(args[i]);
      }
      result = QzSetManualCommand(bytes, static_cast<int32_t>(count));
      sent = result == 1;
      break;
    }
    case ExportKind::kFrameOut: {
      uint8_t frame[kFrameBufferSize] = {};
      int32_t length = 0;
      if (entry.name == "QzGetCmdstr") {
        const uint8_t* built = QzGetCmdstr(args[0], args[1], &length);
        if (built != nullptr) {
          std::memcpy(frame, built, std::min<size_t>(length, sizeof frame));
        }
      } else if (entry.name == "QzGetMsg") {
        length = QzGetMsg(args[0], frame);
      } else {
        length = QzGetLastCmdstr(frame);
      }
      std::fprintf(out, "call %s -> %d: %s\n", CallText(call).c_str(), length,
                   HexText(frame, length).c_str());
      return false;
    }
    case ExportKind::kLastError:
      std::fprintf(out, "call %s -> %s\n", CallText(call).c_str(), ErrorText().c_str());
      return false;
  }
  std::fprintf(out, "call %s -> %d", CallText(call).c_str(), result);
  if (result == 0 && entry.kind != ExportKind::kQuery) {
    std::fprintf(out, " (%s)", ErrorText().c_str());
  }
  std::fputc('\n', out);
  if (sent) {
    PrintLastCommand(out);
  }
  std::fflush(out);
  return sent;
}

}  // namespace

int RunCalls(const Options& options, FILE* out) {
  gListener.out = out;
  HWND window = QzCreateMessageWindow(&ClientWindowProc);
  if (window == nullptr) {
    std::fprintf(stderr, "qzcli: cannot create a message window\n");
    return 1;
  }
  int status = 0;
  bool open = false;
  if (options.port) {
    if (QzOpen(window, *options.port, options.baud, 8, 0, 0) == 1) {
      open = true;
      std::fprintf(out, "open COM%d at %d baud\n", *options.port, options.baud);
    } else {
      std::fprintf(stderr, "qzcli: cannot open COM%d: %s\n", *options.port, ErrorText().c_str());
      status = 1;
    }
  }
  if (status == 0) {
    for (const Call& call : options.calls) {
      const int answersBefore = gListener.answers;
      if (MakeCall(call, window, out)) {
        PumpUntil(Clock::now() + std::chrono::milliseconds(options.answerWaitMs),
                  [&] { return gListener.answers > answersBefore; });
      } else {
        QzDispatchMessages();
      }
    }
    PumpUntil(Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                 std::chrono::duration<double>(options.seconds)),
              [] { return false; });
  }
  if (open) {
    QzClose();
  }
  DestroyWindow(window);
  std::fflush(out);
  return status;
}

}  // namespace qzcli
