// Under Wine (or Windows): how long the last byte of an answer takes to reach
// the client's window procedure through QZLINK.dll, against a bare reader in
// the same run (WaitCommEvent, ClearCommError, ReadFile up to the terminator
// and a cross-thread SendMessageA) on the same port. Both measure from the
// command's call to the window procedure's call for its answer, so the write,
// the simulator's reply and the reader's hand-over are in both. Prints p50 and p99 of each and
// their ratio. Google Benchmark has no MinGW build in Debian, hence a plain table. usage:
// win32_answer_bench.exe [PORT] [ROUNDS]
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

#include "camlink/qzlink.h"

namespace {

using Clock = std::chrono::steady_clock;
const uint8_t kZoomStop[] = {0xFF, 0x30, 0x31, 0x00, 0xA2, 0x30, 0xEF};
constexpr UINT kBareAnswer = WM_APP + 20;

std::atomic<int> answers{0};
Clock::time_point answeredAt;

LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == AckRxMessage || msg == kBareAnswer) {
    answeredAt = Clock::now();
    answers.fetch_add(1);
    return 0;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

// Runs sent messages until one more answer has arrived (at most 2 s).
bool WaitAnswer(int before) {
  const auto deadline = Clock::now() + std::chrono::seconds(2);
  while (answers.load() == before && Clock::now() < deadline) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
      DispatchMessageA(&m);
    }
  }
  return answers.load() > before;
}

double Percentile(std::vector<double> v, double p) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[std::min(v.size() - 1, static_cast<size_t>(p * v.size()))];
}

std::vector<double> RunLibrary(HWND window, int port, int rounds) {
  std::vector<double> us;
  if (QzOpen(window, port, 38400, 8, 0, 0) != 1) {
    std::fprintf(stderr, "QzOpen failed\n");
    return us;
  }
  for (int i = 0; i < rounds; ++i) {
    const int before = answers.load();
    if (QzSetManualCommand(kZoomStop, sizeof kZoomStop) != 1)
      break;
    const auto sent = Clock::now();
    if (!WaitAnswer(before))
      break;
    us.push_back(std::chrono::duration<double, std::micro>(answeredAt - sent).count());
  }
  QzClose();
  return us;
}

std::vector<double> RunBare(HWND window, int port, int rounds) {
  std::vector<double> us;
  char name[32];
  std::snprintf(name, sizeof name, "\\\\.\\COM%d", port);
  HANDLE h = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                         FILE_FLAG_OVERLAPPED, nullptr);
  if (h == INVALID_HANDLE_VALUE)
    return us;
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  GetCommState(h, &dcb);
  dcb.BaudRate = 38400;
  dcb.ByteSize = 8;
  dcb.Parity = 0;
  dcb.StopBits = 0;
  SetCommState(h, &dcb);
  COMMTIMEOUTS t{MAXDWORD, 0, 1000, 0, 0};
  SetCommTimeouts(h, &t);
  SetCommMask(h, EV_RXCHAR);
  std::atomic<bool> stop{false};
  std::thread reader([&] {
    OVERLAPPED wait{}, read{};
    wait.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    read.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    uint8_t buffer[4096];
    while (!stop.load()) {
      DWORD mask = 0, got = 0, errors = 0;
      COMSTAT status{};
      ResetEvent(wait.hEvent);
      if (!WaitCommEvent(h, &mask, &wait) && GetLastError() == ERROR_IO_PENDING) {
        GetOverlappedResult(h, &wait, &got, TRUE);
      }
      ClearCommError(h, &errors, &status);
      if (status.cbInQue == 0)
        continue;
      ResetEvent(read.hEvent);
      if (!ReadFile(h, buffer, std::min<DWORD>(status.cbInQue, sizeof buffer), &got, &read)) {
        GetOverlappedResult(h, &read, &got, TRUE);
      }
      if (got > 0 && buffer[got - 1] == 0xEF)
        SendMessageA(window, kBareAnswer, 1, 0);
    }
    CloseHandle(wait.hEvent);
    CloseHandle(read.hEvent);
  });
  OVERLAPPED write{};
  write.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  for (int i = 0; i < rounds; ++i) {
    const int before = answers.load();
    DWORD done = 0;
    const auto sent = Clock::now();
    ResetEvent(write.hEvent);
    if (!WriteFile(h, kZoomStop, sizeof kZoomStop, &done, &write)) {
      GetOverlappedResult(h, &write, &done, TRUE);
    }
    if (!WaitAnswer(before))
      break;
    us.push_back(std::chrono::duration<double, std::micro>(answeredAt - sent).count());
  }
  stop.store(true);
  SetCommMask(h, 0);
  CloseHandle(h);
  reader.join();
  CloseHandle(write.hEvent);
  return us;
}

}  // namespace

int main(int argc, char** argv) {
  const int port = argc > 1 ? std::atoi(argv[1]) : 1;
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 300;
  HWND window = QzCreateMessageWindow(&Proc);
  if (window == nullptr)
    return 1;
  const std::vector<double> library = RunLibrary(window, port, rounds);
  const std::vector<double> bare = RunBare(window, port, rounds);
  std::printf("%-34s %8s %10s %10s\n", "answer to window procedure", "rounds", "p50 us", "p99 us");
  std::printf("%-34s %8zu %10.1f %10.1f\n", "QZLINK.dll", library.size(), Percentile(library, 0.5),
              Percentile(library, 0.99));
  std::printf("%-34s %8zu %10.1f %10.1f\n", "bare ReadFile + SendMessageA", bare.size(),
              Percentile(bare, 0.5), Percentile(bare, 0.99));
  if (!bare.empty() && !library.empty()) {
    std::printf("ratio p50 %.2f, p99 %.2f\n", Percentile(library, 0.5) / Percentile(bare, 0.5),
                Percentile(library, 0.99) / Percentile(bare, 0.99));
  }
  DestroyWindow(window);
  return library.size() == static_cast<size_t>(rounds) && bare.size() == library.size() ? 0 : 1;
}
