// The simulator's event loop: one thread waiting in poll() on the line, the
// control input and the stop signal, with a time-out to the next due frame.
#pragma once

#include <string>

#include "camsim/cascade.h"
#include "camsim/pty_link.h"

namespace camsim {

class SimServer {
 public:
  // Limits on what the loop buffers.
  static constexpr size_t kMaxControlLine = 512;
  static constexpr size_t kMaxLineBacklog = 64 * 1024;
  static constexpr int kMaxReadsPerWake = 16;

  // link: the pseudo-terminal and its link (unplugged and replugged on
  // command); controlFd: the control commands (stdin); stopFd: readable when
  // the server must stop (a signalfd).
  SimServer(Cascade& cascade, PtyLink& link, int controlFd, int stopFd)
      : cascade_(cascade), link_(link), controlFd_(controlFd), stopFd_(stopFd) {}

  // Serves until stopFd is readable (true) or the line fails (false, error).
  bool Run(std::string* error);

 private:
  bool ReadLine(std::string* error);
  bool WriteLine(std::string* error);
  void ReadControl();
  void HandleControlLine(std::string_view line);
  // unplug / replug: the line itself, not a camera.
  bool HandleLineCommand(const ControlCommand& command);

  Cascade& cascade_;
  PtyLink& link_;
  int controlFd_;
  int stopFd_;
  Bytes output_;  // due bytes the terminal has not taken yet
  std::string controlLine_;
  bool discardingControlLine_ = false;
  bool warnedBacklog_ = false;
};

}  // namespace camsim
