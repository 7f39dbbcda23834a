// The option negotiation of a widespread RFC 2217 server, written for the
// tests from its observable behaviour: RFC 854's rule "answer only a change
// of state" with one state per option side and no memory of what it sent
// itself. It asks at connect for ECHO, SUPPRESS-GO-AHEAD and COM-PORT on its
// side and BINARY on ours, agrees to BINARY, SUPPRESS-GO-AHEAD and COM-PORT
// on our side, and refuses every option it does not know. Against a client
// that also answers what it takes for a change of state, a burst of
// negotiation the server sends outside its own states (injected here) can
// start an exchange that never ends.
#pragma once

#include <cstdint>
#include <vector>

namespace qzlink::testing {

class ClassicTelnetPeer {
 public:
  using Bytes = std::vector<uint8_t>;
  static constexpr uint8_t kIac = 255, kWill = 251, kWont = 252, kDo = 253, kDont = 254;

  // What the server sends when a client connects.
  Bytes Start() {
    Bytes out;
    for (Entry& e : entries_) {
      if (e.state == State::kRequested) {
        Send(out, e.sendYes, e.option);
      }
    }
    return out;
  }

  // Takes one WILL/WONT/DO/DONT from the client and appends the answers.
  void Receive(uint8_t verb, uint8_t option, Bytes& out) {
    bool known = false;
    for (Entry& e : entries_) {
      if (e.option != option) {
        continue;
      }
      known = true;
      if (verb == e.ackYes) {
        if (e.state == State::kRequested) {
          e.state = State::kActive;
        } else if (e.state == State::kInactive) {
          e.state = State::kActive;
          Send(out, e.sendYes, option);
        }
      } else if (verb == e.ackNo) {
        if (e.state == State::kActive) {
          Send(out, e.sendNo, option);
        }
        e.state = State::kInactive;
      }
    }
    if (!known && (verb == kWill || verb == kDo)) {
      Send(out, verb == kWill ? kDont : kWont, option);
    }
  }

 private:
  enum class State : uint8_t { kRequested, kActive, kInactive };
  struct Entry {
    uint8_t option;
    uint8_t sendYes, sendNo, ackYes, ackNo;
    State state;
  };

  static void Send(Bytes& out, uint8_t verb, uint8_t option) {
    out.insert(out.end(), {kIac, verb, option});
  }

  // Its side (it sends WILL/WONT) and ours (it sends DO/DONT) of each option.
  Entry entries_[7] = {
      {1, kWill, kWont, kDo, kDont, State::kRequested},   // ECHO, its side
      {3, kWill, kWont, kDo, kDont, State::kRequested},   // SGA, its side
      {3, kDo, kDont, kWill, kWont, State::kInactive},    // SGA, ours
      {0, kWill, kWont, kDo, kDont, State::kInactive},    // BINARY, its side
      {0, kDo, kDont, kWill, kWont, State::kRequested},   // BINARY, ours
      {44, kWill, kWont, kDo, kDont, State::kRequested},  // COM-PORT, its side
      {44, kDo, kDont, kWill, kWont, State::kInactive},   // COM-PORT, ours
  };
};

// The burst that started an endless exchange: WILL, WONT, WILL, WONT for
// BINARY, ECHO, SUPPRESS-GO-AHEAD, TERMINAL-TYPE, NAWS and COM-PORT (72 bytes).
inline std::vector<uint8_t> NegotiationBurst() {
  std::vector<uint8_t> burst;
  for (uint8_t option : {0, 1, 3, 24, 31, 44}) {
    for (int i = 0; i < 2; ++i) {
      burst.insert(burst.end(), {ClassicTelnetPeer::kIac, ClassicTelnetPeer::kWill, option,
                                 ClassicTelnetPeer::kIac, ClassicTelnetPeer::kWont, option});
    }
  }
  return burst;
}

}  // namespace qzlink::testing
