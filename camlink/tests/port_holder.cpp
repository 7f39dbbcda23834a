// A second process for the port ownership tests.
//
//   qzlink_port_holder hold PORT       opens COM<PORT> through the library and
//                                      holds it until standard input closes
//                                      (or a signal ends the process)
//   qzlink_port_holder try PORT [UID]  opens COM<PORT> (as user UID when
//                                      given), closes it again and ends
//
// Prints "open" once the session is open, or "error CODE SYSTEMCODE".
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "camlink/qzlink.h"

namespace {

LRESULT Proc(HWND, UINT, WPARAM, LPARAM) {
  return 0;
}

int Usage() {
  std::fprintf(stderr, "usage: qzlink_port_holder hold|try PORT [UID]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    return Usage();
  }
  const bool hold = std::strcmp(argv[1], "hold") == 0;
  if (!hold && std::strcmp(argv[1], "try") != 0) {
    return Usage();
  }
  if (argc > 3 && setuid(static_cast<uid_t>(std::atoi(argv[3]))) != 0) {
    std::perror("setuid");
    return 2;
  }
  const HWND window = QzCreateMessageWindow(Proc);
  if (QzOpen(window, std::atoi(argv[2]), 9600, 8, 0, 0) != 1) {
    int32_t systemCode = 0;
    const int32_t code = QzGetLastError(&systemCode);
    std::printf("error %d %d\n", static_cast<int>(code), static_cast<int>(systemCode));
    return 1;
  }
  std::printf("open\n");
  std::fflush(stdout);
  if (hold) {
    char byte = 0;
    while (read(STDIN_FILENO, &byte, 1) > 0) {
    }
  }
  QzClose();
  DestroyWindow(window);
  return 0;
}
