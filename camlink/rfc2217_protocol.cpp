#include "camlink/rfc2217_protocol.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace qzlink {

using namespace telnet;

void Rfc2217Protocol::Reset() {
  state_ = State::kData;
  verb_ = 0;
  sbSize_ = 0;
  sbOverflow_ = false;
  std::fill(std::begin(options_), std::end(options_), Option{});
  std::fill(std::begin(replies_), std::end(replies_), ServerReply{});
  modemStateSeen_ = false;
  modemState_ = 0;
  skipped_ = 0;
  protocolBytes_ = 0;
  outputSize_ = 0;
  dataStart_ = 0;
  dataEnd_ = 0;
  midPair_ = false;

  Request(OptionSide::kUs, kOptionComPort, true);
  for (uint8_t option : {kOptionBinary, kOptionSuppressGoAhead}) {
    Request(OptionSide::kUs, option, true);
    Request(OptionSide::kServer, option, true);
  }
}

Rfc2217Protocol::SideState& Rfc2217Protocol::Side(OptionSide side, uint8_t option) {
  return side == OptionSide::kUs ? options_[option].us : options_[option].server;
}

bool Rfc2217Protocol::Enabled(OptionSide side, uint8_t option) const {
  const Option& o = options_[option];
  return (side == OptionSide::kUs ? o.us : o.server).q == Q::kYes;
}

void Rfc2217Protocol::Request(OptionSide side, uint8_t option, bool enable) {
  SideState& s = Side(side, option);
  const uint8_t yes = side == OptionSide::kUs ? kWill : kDo;
  const uint8_t no = side == OptionSide::kUs ? kWont : kDont;
  switch (s.q) {
    case Q::kNo:
      if (enable) {
        s.q = Q::kWantYes;
        s.closed = false;  // our own change of mind
        QueueVerb(yes, option);
      }
      break;
    case Q::kYes:
      if (!enable) {
        s.q = Q::kWantNo;
        QueueVerb(no, option);
      }
      break;
    case Q::kWantNo:
      s.queued = enable;  // wanted back on once the server agreed to off
      break;
    case Q::kWantYes:
      s.queued = !enable;  // wanted off once the server agreed to on
      break;
  }
}

size_t Rfc2217Protocol::Decode(const uint8_t* in, size_t count, uint8_t* data) {
  size_t out = 0;
  size_t escapes = 0;  // the first byte of each doubled 0xFF in the data
  for (size_t i = 0; i < count; ++i) {
    const uint8_t byte = in[i];
    switch (state_) {
      case State::kData:
        if (byte == kIac) {
          state_ = State::kIac;
        } else {
          data[out++] = byte;
        }
        break;
      case State::kIac:
        if (byte == kIac) {
          data[out++] = byte;
          ++escapes;
          state_ = State::kData;
        } else if (byte >= kWill && byte <= kDont) {
          verb_ = byte;
          state_ = State::kVerb;
        } else if (byte == kSb) {
          sbSize_ = 0;
          sbOverflow_ = false;
          state_ = State::kSb;
        } else {
          state_ = State::kData;  // NOP, GA, a stray SE and the like
        }
        break;
      case State::kVerb:
        HandleVerb(verb_, byte);
        state_ = State::kData;
        break;
      case State::kSb:
        if (byte == kIac) {
          state_ = State::kSbIac;
        } else if (sbSize_ < sizeof sb_) {
          sb_[sbSize_++] = byte;
        } else {
          sbOverflow_ = true;
        }
        break;
      case State::kSbIac:
        if (byte == kIac) {
          if (sbSize_ < sizeof sb_) {
            sb_[sbSize_++] = byte;
          } else {
            sbOverflow_ = true;
          }
          state_ = State::kSb;
        } else if (byte == kSe) {
          HandleSubnegotiation();
          state_ = State::kData;
        } else {
          // A subnegotiation cut short by another command: drop it and take
          // the byte as the command it starts.
          ++skipped_;
          state_ = State::kIac;
          --i;
        }
        break;
    }
  }
  protocolBytes_ += count - out - escapes;
  return out;
}

bool Rfc2217Protocol::Supported(OptionSide side, uint8_t option) {
  return option == kOptionBinary || option == kOptionSuppressGoAhead ||
         (side == OptionSide::kUs && option == kOptionComPort);
}

void Rfc2217Protocol::HandleVerb(uint8_t verb, uint8_t option) {
  const OptionSide side = verb == kDo || verb == kDont ? OptionSide::kUs : OptionSide::kServer;
  Received(side, option, verb == kDo || verb == kWill);
}

void Rfc2217Protocol::Received(OptionSide side, uint8_t option, bool enable) {
  SideState& s = Side(side, option);
  const uint8_t yes = side == OptionSide::kUs ? kWill : kDo;
  const uint8_t no = side == OptionSide::kUs ? kWont : kDont;
  const auto off = [&s] {
    s.q = Q::kNo;
    s.queued = false;
    s.closed = true;
  };
  if (enable) {
    switch (s.q) {
      case Q::kNo:
        // An offer or request of the server's. Once the side has gone off it
        // is not answered again: the server would only repeat what was
        // refused, or echo an answer of ours as a new request.
        if (s.closed) {
          break;
        }
        if (Supported(side, option)) {
          s.q = Q::kYes;
          QueueVerb(yes, option);
        } else {
          off();
          QueueVerb(no, option);
        }
        break;
      case Q::kYes:
        break;  // already on: an acknowledgement, never answered
      case Q::kWantNo:
        // Our request to go off answered with "on": the server breaks the
        // rules; settle without answering.
        if (s.queued) {
          s.q = Q::kYes;
          s.queued = false;
        } else {
          off();
        }
        break;
      case Q::kWantYes:
        if (s.queued) {
          s.q = Q::kWantNo;
          s.queued = false;
          QueueVerb(no, option);
        } else {
          s.q = Q::kYes;  // the server agreed to our request
        }
        break;
    }
    return;
  }
  switch (s.q) {
    case Q::kNo:
      break;  // already off
    case Q::kYes:
      off();
      QueueVerb(no, option);  // the server withdrew it: acknowledged once
      break;
    case Q::kWantNo:
      if (s.queued) {
        s.q = Q::kWantYes;
        s.queued = false;
        QueueVerb(yes, option);
      } else {
        off();  // the server agreed to our request
      }
      break;
    case Q::kWantYes:
      off();  // the server refused our request
      break;
  }
}

OptionState Rfc2217Protocol::ComPort() const {
  const SideState& s = options_[kOptionComPort].us;
  switch (s.q) {
    case Q::kYes:
    case Q::kWantNo:
      return OptionState::kOn;
    case Q::kWantYes:
      return OptionState::kRequested;
    case Q::kNo:
      break;
  }
  return s.closed ? OptionState::kRefused : OptionState::kOff;
}

void Rfc2217Protocol::HandleSubnegotiation() {
  if (sbSize_ == 0 || sb_[0] != kOptionComPort) {
    return;  // another option's subnegotiation: not ours to read
  }
  if (sbOverflow_ || sbSize_ < 2 || sb_[1] < kServerReplyOffset ||
      sb_[1] >= kServerReplyOffset + kComPortCommandCount) {
    ++skipped_;
    return;
  }
  const auto command = static_cast<ComPortCommand>(sb_[1] - kServerReplyOffset);
  const uint8_t* value = sb_ + 2;
  const size_t valueSize = sbSize_ - 2;
  if (command == ComPortCommand::kSignature) {
    return;  // free text
  }
  const size_t expected = command == ComPortCommand::kSetBaudRate ? 4 : 1;
  if (valueSize != expected) {
    ++skipped_;
    return;
  }
  uint32_t number = 0;
  for (size_t i = 0; i < valueSize; ++i) {
    number = (number << 8) | value[i];
  }
  if (command == ComPortCommand::kNotifyModemState) {
    modemState_ = static_cast<uint8_t>(number);
    modemStateSeen_ = true;
  }
  replies_[static_cast<size_t>(command)] = ServerReply{true, number};
}

bool Rfc2217Protocol::QueueRaw(const uint8_t* bytes, size_t count) {
  if (count > sizeof output_ - outputSize_) {
    return false;
  }
  std::memcpy(output_ + outputSize_, bytes, count);
  outputSize_ += count;
  return true;
}

void Rfc2217Protocol::QueueVerb(uint8_t verb, uint8_t option) {
  const uint8_t bytes[] = {kIac, verb, option};
  // Without room the answer is lost; the edge sends the queue long before
  // it fills.
  QueueRaw(bytes, sizeof bytes);
}

bool Rfc2217Protocol::QueueData(const uint8_t* bytes, size_t count) {
  const size_t escaped =
      count + static_cast<size_t>(std::count(bytes, bytes + count, static_cast<uint8_t>(kIac)));
  if (escaped > sizeof output_ - outputSize_) {
    return false;
  }
  dataStart_ = static_cast<long>(outputSize_);
  for (size_t i = 0; i < count; ++i) {
    output_[outputSize_++] = bytes[i];
    if (bytes[i] == kIac) {
      output_[outputSize_++] = kIac;
    }
  }
  dataEnd_ = static_cast<long>(outputSize_);
  midPair_ = false;
  return true;
}

bool Rfc2217Protocol::QueueRequest(ComPortCommand command, uint32_t value, size_t valueBytes) {
  uint8_t bytes[4 + 2 * 4 + 2];
  size_t n = 0;
  bytes[n++] = kIac;
  bytes[n++] = kSb;
  bytes[n++] = kOptionComPort;
  bytes[n++] = static_cast<uint8_t>(command);
  for (size_t i = std::min<size_t>(valueBytes, 4); i-- > 0;) {
    const auto byte = static_cast<uint8_t>(value >> (8 * i));
    bytes[n++] = byte;
    if (byte == kIac) {
      bytes[n++] = kIac;
    }
  }
  bytes[n++] = kIac;
  bytes[n++] = kSe;
  if (!QueueRaw(bytes, n)) {
    return false;
  }
  replies_[static_cast<size_t>(command)] = ServerReply{};
  return true;
}

void Rfc2217Protocol::Consume(size_t n) {
  n = std::min(n, outputSize_);
  if (dataEnd_ > 0) {
    // Follow the doubled 0xFFs of the data that goes out here.
    const long from = std::max(dataStart_, 0L);
    const long to = std::min(dataEnd_, static_cast<long>(n));
    for (long i = from; i < to; ++i) {
      midPair_ = !midPair_ && output_[i] == kIac;
    }
    dataStart_ -= static_cast<long>(n);
    dataEnd_ -= static_cast<long>(n);
    if (dataEnd_ <= 0) {
      dataStart_ = dataEnd_ = 0;
      midPair_ = false;
    }
  }
  std::memmove(output_, output_ + n, outputSize_ - n);
  outputSize_ -= n;
}

size_t Rfc2217Protocol::DiscardUnsentData() {
  if (dataEnd_ <= 0) {
    return 0;
  }
  const long keep = dataStart_ >= 0 ? dataStart_ : (midPair_ ? 1 : 0);
  const size_t dropped = static_cast<size_t>(dataEnd_ - keep);
  std::memmove(output_ + keep, output_ + dataEnd_, outputSize_ - static_cast<size_t>(dataEnd_));
  outputSize_ -= dropped;
  dataStart_ = dataEnd_ = 0;
  midPair_ = false;
  return dropped;
}

}  // namespace qzlink
