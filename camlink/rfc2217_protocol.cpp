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
  comPort_ = OptionState::kRequested;
  std::fill(std::begin(replies_), std::end(replies_), ServerReply{});
  modemStateSeen_ = false;
  modemState_ = 0;
  skipped_ = 0;
  outputSize_ = 0;
  dataStart_ = 0;
  dataEnd_ = 0;
  midPair_ = false;

  QueueVerb(kWill, kOptionComPort);
  options_[kOptionComPort].us = OptionState::kRequested;
  for (uint8_t option : {kOptionBinary, kOptionSuppressGoAhead}) {
    QueueVerb(kWill, option);
    QueueVerb(kDo, option);
    options_[option] = Option{OptionState::kRequested, OptionState::kRequested};
  }
}

size_t Rfc2217Protocol::Decode(const uint8_t* in, size_t count, uint8_t* data) {
  size_t out = 0;
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
  return out;
}

bool Rfc2217Protocol::Supported(uint8_t option, bool byUs) {
  return option == kOptionBinary || option == kOptionSuppressGoAhead ||
         (byUs && option == kOptionComPort);
}

void Rfc2217Protocol::HandleVerb(uint8_t verb, uint8_t option) {
  // Answers only change of state, so that two ends never answer each other
  // forever (RFC 854).
  const bool aboutUs = verb == kDo || verb == kDont;
  const bool enable = verb == kDo || verb == kWill;
  OptionState& state = aboutUs ? options_[option].us : options_[option].them;
  const uint8_t agree = aboutUs ? kWill : kDo;
  const uint8_t refuse = aboutUs ? kWont : kDont;
  if (enable) {
    if (!Supported(option, aboutUs)) {
      QueueVerb(refuse, option);
    } else if (state != OptionState::kOn) {
      if (state != OptionState::kRequested) {
        QueueVerb(agree, option);
      }
      state = OptionState::kOn;
    }
  } else if (state == OptionState::kOn) {
    QueueVerb(refuse, option);
    state = OptionState::kOff;
  } else if (state == OptionState::kRequested) {
    state = OptionState::kRefused;
  }
  if (aboutUs && option == kOptionComPort) {
    comPort_ = state == OptionState::kOn ? OptionState::kOn : OptionState::kRefused;
  }
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
