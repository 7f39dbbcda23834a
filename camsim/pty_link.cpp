#include "camsim/pty_link.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>
#include <vector>

namespace camsim {

namespace {

std::string SystemError(const std::string& what) {
  return what + ": " + std::strerror(errno);
}

speed_t SpeedCode(int baud) {
  static constexpr std::pair<int, speed_t> kSpeeds[] = {
      {1200, B1200},   {2400, B2400},   {4800, B4800},     {9600, B9600},    {19200, B19200},
      {38400, B38400}, {57600, B57600}, {115200, B115200}, {230400, B230400}};
  for (auto [rate, code] : kSpeeds) {
    if (rate == baud) {
      return code;
    }
  }
  return B9600;  // only a label on a pseudo-terminal; the pacing is ours
}

std::string ReadLink(const std::string& path) {
  std::vector<char> buffer(4096);
  ssize_t n = readlink(path.c_str(), buffer.data(), buffer.size() - 1);
  return n < 0 ? std::string() : std::string(buffer.data(), static_cast<size_t>(n));
}

}  // namespace

bool PtyLink::Open(const std::string& linkPath, int baud, std::string* error) {
  struct stat info;
  if (lstat(linkPath.c_str(), &info) == 0 && !S_ISLNK(info.st_mode)) {
    *error = "refusing to replace " + linkPath + ": it exists and is not a symbolic link";
    return false;
  }
  master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (master_ < 0) {
    *error = SystemError("posix_openpt");
    return false;
  }
  char name[256];
  if (grantpt(master_) != 0 || unlockpt(master_) != 0 ||
      ptsname_r(master_, name, sizeof name) != 0) {
    *error = SystemError("pseudo-terminal set-up");
    Close();
    return false;
  }
  slavePath_ = name;
  slave_ = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  termios settings;
  if (slave_ < 0 || tcgetattr(slave_, &settings) != 0) {
    *error = SystemError("open " + slavePath_);
    Close();
    return false;
  }
  cfmakeraw(&settings);
  cfsetspeed(&settings, SpeedCode(baud));
  int flags = fcntl(master_, F_GETFL);
  if (tcsetattr(slave_, TCSANOW, &settings) != 0 || flags < 0 ||
      fcntl(master_, F_SETFL, flags | O_NONBLOCK) != 0) {
    *error = SystemError("configure " + slavePath_);
    Close();
    return false;
  }
  // Create the link under a temporary name and rename it into place, so the
  // path never points nowhere.
  std::string temporary = linkPath + ".camsim-" + std::to_string(getpid());
  unlink(temporary.c_str());
  if (symlink(slavePath_.c_str(), temporary.c_str()) != 0) {
    *error = SystemError("symlink " + temporary);
    Close();
    return false;
  }
  if (rename(temporary.c_str(), linkPath.c_str()) != 0) {
    *error = SystemError("rename to " + linkPath);
    unlink(temporary.c_str());
    Close();
    return false;
  }
  linkPath_ = linkPath;
  pluggedPath_ = linkPath;
  baud_ = baud;
  return true;
}

void PtyLink::Unplug() {
  const std::string path = pluggedPath_;
  Close();
  pluggedPath_ = path;
}

bool PtyLink::Replug(std::string* error) {
  if (Plugged()) {
    *error = "the line is plugged in";
    return false;
  }
  return Open(pluggedPath_, baud_, error);
}

void PtyLink::Close() {
  if (!linkPath_.empty() && ReadLink(linkPath_) == slavePath_) {
    unlink(linkPath_.c_str());
  }
  linkPath_.clear();
  if (slave_ >= 0) {
    close(slave_);
    slave_ = -1;
  }
  if (master_ >= 0) {
    close(master_);
    master_ = -1;
  }
}

}  // namespace camsim
