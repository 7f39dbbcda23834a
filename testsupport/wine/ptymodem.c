/* Preloaded into Wine for the Windows tests: gives pseudo-terminals the
 * modem lines of a UART. Linux ptys refuse the modem-control ioctls, which
 * Wine turns into failed GetCommModemStatus and EscapeCommFunction calls and
 * a WaitCommEvent that aborts about every millisecond. When TIOCMGET,
 * TIOCMBIS, TIOCMBIC or TIOCMSET fails with ENOTTY or EINVAL, the call is
 * answered as a UART would answer it: CTS, DSR and DCD asserted (CTS low
 * with QZ_PTYMODEM_CTS=0 in the environment, read at the first call), DTR
 * and RTS as last set. Every other request passes through unchanged.
 *
 * Freestanding (raw system calls, no C library headers), so that the stock
 * gcc builds the 32-bit copy with -m32 -nostdlib. Debian's i386 Wine calls
 * __ioctl_time64, which the 32-bit copy exports as well. */
#define TIOCMGET 0x5415
#define TIOCMBIS 0x5416
#define TIOCMBIC 0x5417
#define TIOCMSET 0x5418
#define TIOCM_DTR 0x002
#define TIOCM_RTS 0x004
#define TIOCM_CTS 0x020
#define TIOCM_CAR 0x040
#define TIOCM_DSR 0x100

extern int* __errno_location(void);
extern char** environ;

static int lines = -1;

static long sys_ioctl(long fd, unsigned long req, void* arg) {
  long r;
#if defined(__x86_64__)
  __asm__ volatile("syscall"
                   : "=a"(r)
                   : "a"(16L), "D"(fd), "S"(req), "d"(arg)
                   : "rcx", "r11", "memory");
#else
  __asm__ volatile("push %%ebx\n\tmov %2, %%ebx\n\tint $0x80\n\tpop %%ebx"
                   : "=a"(r)
                   : "a"(54L), "r"(fd), "c"(req), "d"(arg)
                   : "memory");
#endif
  return r;
}

static int initial_lines(void) {
  static const char key[] = "QZ_PTYMODEM_CTS=0";
  for (char** e = environ; e != 0 && *e != 0; ++e) {
    int i = 0;
    while (key[i] != 0 && (*e)[i] == key[i])
      ++i;
    if (key[i] == 0 && (*e)[i] == 0)
      return TIOCM_DSR | TIOCM_CAR;
  }
  return TIOCM_CTS | TIOCM_DSR | TIOCM_CAR;
}

int ioctl(int fd, unsigned long req, void* arg) {
  long r = sys_ioctl(fd, req, arg);
  if ((r == -25 /* ENOTTY */ || r == -22 /* EINVAL */) && req >= TIOCMGET && req <= TIOCMSET &&
      arg != 0) {
    if (lines < 0)
      lines = initial_lines();
    int v = *(int*)arg & (TIOCM_DTR | TIOCM_RTS);
    if (req == TIOCMGET)
      *(int*)arg = lines;
    else if (req == TIOCMBIS)
      lines |= v;
    else if (req == TIOCMBIC)
      lines &= ~v;
    else
      lines = (lines & ~(TIOCM_DTR | TIOCM_RTS)) | v;
    return 0;
  }
  if (r < 0 && r > -4096) {
    *__errno_location() = (int)-r;
    return -1;
  }
  return (int)r;
}

#if !defined(__x86_64__)
int __ioctl_time64(int fd, unsigned long req, void* arg) {
  return ioctl(fd, req, arg);
}
#endif
