// The simulator's end of the serial line: a pseudo-terminal whose slave side is
// reached through a symbolic link that clients open as their serial device.
#pragma once

#include <string>

namespace camsim {

class PtyLink {
 public:
  PtyLink() = default;
  PtyLink(const PtyLink&) = delete;
  PtyLink& operator=(const PtyLink&) = delete;
  ~PtyLink() { Close(); }

  // Opens a raw pseudo-terminal and points linkPath at its slave. An existing
  // symbolic link is replaced; any other existing file is refused.
  bool Open(const std::string& linkPath, int baud, std::string* error);
  // Removes the link (if it still points at our terminal) and closes.
  void Close();
  // A pulled adapter: the terminal goes away (its clients see it hang up) and
  // so does the link. Replug makes a new terminal behind the same link path.
  void Unplug();
  bool Replug(std::string* error);
  bool Plugged() const { return master_ >= 0; }

  int MasterFd() const { return master_; }
  const std::string& SlavePath() const { return slavePath_; }

 private:
  int master_ = -1;
  // Our own descriptor of the slave side: while it is open, a client closing
  // its descriptor does not hang up the master (no EIO, no POLLHUP).
  int slave_ = -1;
  std::string slavePath_;
  std::string linkPath_;
  std::string pluggedPath_;  // the link path, kept while unplugged
  int baud_ = 9600;
};

}  // namespace camsim
