// The simulated camera behind a real device server: qtr90x-camsim on a
// pseudo-terminal and the system's ser2net in front of it, with its own
// configuration, on a loopback port, speaking telnet with RFC 2217. For the
// end-to-end tests and the network latency benchmark.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace qzlink::testing {

// The ser2net program, or "" when it is not installed.
inline std::string FindSer2net() {
  for (const char* path : {"/usr/sbin/ser2net", "/usr/bin/ser2net", "/usr/local/sbin/ser2net"}) {
    if (access(path, X_OK) == 0) {
      return path;
    }
  }
  return "";
}

// A free TCP port on 127.0.0.1 (free when asked; the caller binds it soon).
inline int FreeLoopbackPort() {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  int port = -1;
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
      getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
    port = ntohs(address.sin_port);
  }
  close(fd);
  return port;
}

// A child process, ended with SIGTERM when the object goes.
class ChildProcess {
 public:
  ChildProcess() = default;
  explicit ChildProcess(std::vector<std::string> argv) { Start(std::move(argv)); }
  ~ChildProcess() { Stop(); }
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Starts it with standard output on a pipe (read with ReadLine).
  bool Start(std::vector<std::string> argv) {
    Stop();
    int out[2];
    if (pipe2(out, O_CLOEXEC) != 0) {
      return false;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    std::vector<char*> args;
    for (std::string& a : argv) {
      args.push_back(a.data());
    }
    args.push_back(nullptr);
    if (posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), environ) != 0) {
      pid_ = -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    output_ = out[0];
    return pid_ > 0;
  }

  void Stop() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      int status = 0;
      waitpid(pid_, &status, 0);
      pid_ = -1;
    }
    if (output_ >= 0) {
      close(output_);
      output_ = -1;
    }
  }

  std::string ReadLine(int timeoutMs) const {
    std::string line;
    char c = 0;
    pollfd p{output_, POLLIN, 0};
    while (poll(&p, 1, timeoutMs) > 0 && read(output_, &c, 1) == 1 && c != '\n') {
      line += c;
    }
    return line;
  }

 private:
  pid_t pid_ = -1;
  int output_ = -1;
};

// qtr90x-camsim --fast on a pseudo-terminal reached through a link.
class SimulatorProcess {
 public:
  SimulatorProcess(const std::string& camsim, const std::string& link,
                   std::vector<std::string> options = {})
      : link_(link) {
    options.insert(options.begin(), {camsim, "--fast", "--link", link});
    ready_ = process_.Start(options) && process_.ReadLine(10000).rfind("ready ", 0) == 0;
  }
  bool Ready() const { return ready_; }
  const std::string& Link() const { return link_; }

 private:
  std::string link_;
  ChildProcess process_;
  bool ready_ = false;
};

// ser2net serving one device on 127.0.0.1:port with telnet(rfc2217).
class Ser2netServer {
 public:
  // extraOptions: more lines for the connection's options section, each
  // indented by four blanks and ending in a newline.
  Ser2netServer(std::string program, const std::string& device, const std::string& workDir,
                const std::string& extraOptions = "")
      : program_(std::move(program)),
        config_(workDir + "/ser2net.yaml"),
        pidFile_(workDir + "/ser2net.pid"),
        port_(FreeLoopbackPort()) {
    std::ofstream(config_) << "connection: &camera\n"
                           << "  accepter: telnet(rfc2217),tcp,127.0.0.1," << port_ << "\n"
                           << "  connector: serialdev," << device << ",9600n81,local\n"
                           << "  options:\n"
                           << "    kickolduser: true\n"
                           << extraOptions;
  }

  int Port() const { return port_; }
  std::string Address(const char* options = "?modem=none") const {
    return "rfc2217://127.0.0.1:" + std::to_string(port_) + options;
  }

  // Starts the server and waits until it takes connections.
  bool Start() {
    if (!process_.Start({program_, "-n", "-u", "-c", config_, "-P", pidFile_})) {
      return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < deadline) {
      const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
      sockaddr_in address{};
      address.sin_family = AF_INET;
      address.sin_port = htons(static_cast<uint16_t>(port_));
      address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      const bool up = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
      close(fd);
      if (up) {
        // Let the server finish with the probe before a client comes.
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        return true;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
  }
  void Stop() { process_.Stop(); }

 private:
  std::string program_;
  std::string config_;
  std::string pidFile_;
  int port_;
  ChildProcess process_;
};

}  // namespace qzlink::testing
