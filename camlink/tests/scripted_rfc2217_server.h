// A device server on the loopback interface that plays RFC 2217 by a script:
// it acknowledges everything, reports CTS, or misbehaves on purpose (floods
// the connection with negotiation, bursts of it). It reads the telnet stream
// with its own small parser, so that one bug cannot hide in both ends of a
// test.
#pragma once

#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "camlink/tests/classic_telnet_peer.h"

namespace qzlink::testing {

struct ServerScript {
  bool answerNegotiation = true;    // false: never says a word
  bool classicNegotiation = false;  // negotiates as ClassicTelnetPeer
  bool refuseComPort = false;
  bool acknowledgeSettings = true;
  bool acknowledgeControl = true;  // DTR/RTS
  bool reportModemState = true;
  uint8_t modemState = 0x10;  // CTS
  uint32_t baudReply = 0;     // nonzero: confirm this rate instead
};

class ScriptedRfc2217Server {
 public:
  using Bytes = std::vector<uint8_t>;
  using Request = std::pair<uint8_t, uint32_t>;     // command, value
  using Negotiation = std::pair<uint8_t, uint8_t>;  // verb, option

  explicit ScriptedRfc2217Server(ServerScript script) : script_(script) {
    listen_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    // A small receive window, so that a client fills it quickly while the
    // server does not read.
    const int receiveBuffer = 4096;
    ::setsockopt(listen_, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (::bind(listen_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::listen(listen_, 4) == 0 &&
        ::getsockname(listen_, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
      port_ = ntohs(address.sin_port);
    }
    thread_ = std::thread([this] { Run(); });
  }
  ~ScriptedRfc2217Server() {
    const uint64_t one = 1;
    stop_ = true;
    [[maybe_unused]] ssize_t n = ::write(wake_, &one, sizeof one);
    thread_.join();
    for (int fd : {client_, listen_, wake_}) {
      if (fd >= 0) {
        ::close(fd);
      }
    }
  }
  ScriptedRfc2217Server(const ScriptedRfc2217Server&) = delete;
  ScriptedRfc2217Server& operator=(const ScriptedRfc2217Server&) = delete;

  uint16_t Port() const { return port_; }
  std::string Address(const char* options = "") const {
    return "rfc2217://127.0.0.1:" + std::to_string(port_) + options;
  }

  // What the client sent, so far.
  Bytes Data() const {
    std::lock_guard lock(mutex_);
    return data_;
  }
  std::vector<Request> Requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
  }
  // The client's WILL/WONT/DO/DONT so far.
  std::vector<Negotiation> Negotiations() const {
    std::lock_guard lock(mutex_);
    return negotiations_;
  }
  int Connections() const {
    std::lock_guard lock(mutex_);
    return connections_;
  }
  bool ClientConnected() const {
    std::lock_guard lock(mutex_);
    return client_ >= 0;
  }

  // Sends data bytes (escaped here) or a modem state change to the client.
  void SendData(const Bytes& bytes) {
    Bytes wire;
    for (uint8_t b : bytes) {
      wire.push_back(b);
      if (b == 0xFF) {
        wire.push_back(0xFF);
      }
    }
    Queue(wire);
  }
  void SendModemState(uint8_t state) { Queue({255, 250, 44, 107, state, 255, 240}); }
  // Sends telnet bytes as they are.
  void SendRaw(const Bytes& wire) { Queue(wire); }
  // Sends prefix, then pattern over and over, as fast as the client takes it,
  // for at most maxMs, until StopFlood or until the client leaves. Meanwhile
  // the server answers nothing (an answer would land inside the pattern).
  void Flood(const Bytes& prefix, const Bytes& pattern, int maxMs) {
    std::lock_guard lock(mutex_);
    out_.insert(out_.end(), prefix.begin(), prefix.end());
    // The pattern repeated into one large block, so that the server sends
    // faster than the client can decode.
    floodPattern_.clear();
    while (floodPattern_.size() < 256 * 1024) {
      floodPattern_.insert(floodPattern_.end(), pattern.begin(), pattern.end());
    }
    floodPeriod_ = pattern.size();
    floodOffset_ = 0;
    floodUntil_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(maxMs);
    Wake();
  }
  void StopFlood() {
    std::lock_guard lock(mutex_);
    floodPattern_.clear();
    Wake();
  }
  size_t FloodBytes() const {
    std::lock_guard lock(mutex_);
    return floodBytes_;
  }
  // Stops or resumes reading from the client, as a server whose own line is
  // blocked does.
  void PauseReading(bool paused) {
    std::lock_guard lock(mutex_);
    paused_ = paused;
    Wake();
  }
  // Closes the client's connection, as a server restart does.
  void Drop() {
    std::lock_guard lock(mutex_);
    drop_ = true;
    Wake();
  }

 private:
  void Queue(const Bytes& wire) {
    std::lock_guard lock(mutex_);
    out_.insert(out_.end(), wire.begin(), wire.end());
    Wake();
  }
  void Wake() {
    const uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(wake_, &one, sizeof one);
  }
  void SendNow(const Bytes& wire) {
    if (client_ >= 0 && !wire.empty()) {
      [[maybe_unused]] ssize_t n = ::send(client_, wire.data(), wire.size(), MSG_NOSIGNAL);
    }
  }
  void Answer(const Bytes& wire) {
    if (floodPattern_.empty()) {
      SendNow(wire);
    }
  }
  // Sends as much of the flood as the socket takes now.
  void SendFlood() {
    if (std::chrono::steady_clock::now() >= floodUntil_) {
      floodPattern_.clear();
      return;
    }
    // The block repeats with the pattern's period, so any offset within one
    // period continues the pattern.
    const ssize_t n = ::send(client_, floodPattern_.data() + floodOffset_,
                             floodPattern_.size() - floodOffset_, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n > 0) {
      floodOffset_ = (floodOffset_ + static_cast<size_t>(n)) % floodPeriod_;
      floodBytes_ += static_cast<size_t>(n);
    }
  }
  void Reply(uint8_t command, const Bytes& value) {
    Bytes wire = {255, 250, 44, static_cast<uint8_t>(command + 100)};
    for (uint8_t b : value) {
      wire.push_back(b);
      if (b == 0xFF) {
        wire.push_back(0xFF);
      }
    }
    wire.insert(wire.end(), {255, 240});
    Answer(wire);
  }

  void Run() {
    while (!stop_) {
      pollfd fds[4] = {{wake_, POLLIN, 0}, {listen_, POLLIN, 0}, {-1, POLLIN, 0}, {-1, POLLOUT, 0}};
      {
        std::lock_guard lock(mutex_);
        fds[2].fd = paused_ ? -1 : client_;
        fds[3].fd = floodPattern_.empty() ? -1 : client_;
      }
      if (::poll(fds, 4, fds[3].fd >= 0 ? 10 : 1000) < 0) {
        continue;
      }
      std::lock_guard lock(mutex_);
      if (fds[0].revents != 0) {
        uint64_t count = 0;
        [[maybe_unused]] ssize_t n = ::read(wake_, &count, sizeof count);
        SendNow(out_);
        out_.clear();
        if (drop_ && client_ >= 0) {
          ::close(client_);
          client_ = -1;
        }
        drop_ = false;
      }
      if (client_ >= 0 && !floodPattern_.empty()) {
        SendFlood();
      }
      if (fds[1].revents != 0) {
        const int fd = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd >= 0 && client_ >= 0) {
          ::close(fd);  // one client at a time
        } else if (fd >= 0) {
          client_ = fd;
          ++connections_;
          state_ = 0;
          if (script_.classicNegotiation) {
            classic_ = ClassicTelnetPeer();
            SendNow(classic_.Start());
          }
        }
      }
      if (client_ >= 0 && fds[2].fd == client_ && fds[2].revents != 0) {
        uint8_t buffer[512];
        const ssize_t n = ::recv(client_, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n <= 0) {
          ::close(client_);
          client_ = -1;
          floodPattern_.clear();  // a flood belongs to its connection
          continue;
        }
        for (ssize_t i = 0; i < n; ++i) {
          Parse(buffer[i]);
        }
      }
    }
  }

  // States: 0 data, 1 after IAC, 2 after a verb, 3 in SB, 4 IAC in SB.
  void Parse(uint8_t b) {
    switch (state_) {
      case 0:
        if (b == 255) {
          state_ = 1;
        } else {
          data_.push_back(b);
        }
        return;
      case 1:
        if (b == 255) {
          data_.push_back(b);
          state_ = 0;
        } else if (b >= 251 && b <= 254) {
          verb_ = b;
          state_ = 2;
        } else if (b == 250) {
          sb_.clear();
          state_ = 3;
        } else {
          state_ = 0;
        }
        return;
      case 2:
        Negotiate(verb_, b);
        state_ = 0;
        return;
      case 3:
        if (b == 255) {
          state_ = 4;
        } else {
          sb_.push_back(b);
        }
        return;
      default:
        if (b == 255) {
          sb_.push_back(b);
          state_ = 3;
        } else {
          if (b == 240) {
            Subnegotiation();
          }
          state_ = 0;
        }
        return;
    }
  }

  void Negotiate(uint8_t verb, uint8_t option) {
    negotiations_.emplace_back(verb, option);
    if (!script_.answerNegotiation) {
      return;
    }
    if (script_.classicNegotiation) {
      Bytes answer;
      classic_.Receive(verb, option, answer);
      Answer(answer);
      return;
    }
    const bool agree = option != 44 || !script_.refuseComPort;
    if (verb == 251) {  // WILL: DO or DONT
      Answer({255, static_cast<uint8_t>(agree ? 253 : 254), option});
    } else if (verb == 253) {  // DO: WILL
      Answer({255, 251, option});
    }
  }

  void Subnegotiation() {
    if (sb_.size() < 2 || sb_[0] != 44) {
      return;
    }
    const uint8_t command = sb_[1];
    uint32_t value = 0;
    for (size_t i = 2; i < sb_.size(); ++i) {
      value = (value << 8) | sb_[i];
    }
    requests_.emplace_back(command, value);
    const Bytes raw(sb_.begin() + 2, sb_.end());
    switch (command) {
      case 1:  // baud rate
        if (script_.acknowledgeSettings) {
          const uint32_t baud = script_.baudReply != 0 ? script_.baudReply : value;
          Reply(command, {static_cast<uint8_t>(baud >> 24), static_cast<uint8_t>(baud >> 16),
                          static_cast<uint8_t>(baud >> 8), static_cast<uint8_t>(baud)});
        }
        return;
      case 2:
      case 3:
      case 4:
      case 12:
        if (script_.acknowledgeSettings) {
          Reply(command, raw);
        }
        return;
      case 5: {
        const bool lineControl = value >= 8 && value <= 12;
        if (lineControl ? script_.acknowledgeControl : script_.acknowledgeSettings) {
          Reply(command, raw);
        }
        return;
      }
      case 7:  // the modem state, asked for
        if (script_.reportModemState) {
          Reply(7, {script_.modemState});
        }
        return;
      case 11:  // the modem state mask
        Reply(11, raw);
        return;
      default:
        return;
    }
  }

  const ServerScript script_;
  int listen_ = -1;
  int wake_ = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  uint16_t port_ = 0;
  std::thread thread_;
  std::atomic<bool> stop_{false};
  mutable std::mutex mutex_;
  int client_ = -1;
  int connections_ = 0;
  bool drop_ = false;
  bool paused_ = false;
  Bytes out_;
  Bytes data_;
  std::vector<Request> requests_;
  std::vector<Negotiation> negotiations_;
  ClassicTelnetPeer classic_;
  Bytes floodPattern_;  // empty: no flood
  size_t floodPeriod_ = 1;
  size_t floodOffset_ = 0;
  size_t floodBytes_ = 0;
  std::chrono::steady_clock::time_point floodUntil_;
  int state_ = 0;
  uint8_t verb_ = 0;
  Bytes sb_;
};

}  // namespace qzlink::testing
