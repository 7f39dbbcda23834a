#include "camlink/custom_baud_rate.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cerrno>

namespace qzlink {

int SetCustomBaudRate(int fd, uint32_t baudRate) {
  struct termios2 settings {};
  if (ioctl(fd, TCGETS2, &settings) != 0) {
    return errno;
  }
  settings.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
  settings.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
  settings.c_ispeed = baudRate;
  settings.c_ospeed = baudRate;
  return ioctl(fd, TCSETS2, &settings) == 0 ? 0 : errno;
}

uint32_t ReadOutputBaudRate(int fd) {
  struct termios2 settings {};
  return ioctl(fd, TCGETS2, &settings) == 0 ? settings.c_ospeed : 0;
}

}  // namespace qzlink
