#include "core/tools/debug_log.h"

#include "resources/string_ids.h"

namespace qtr90x {

int DebugLabelStringId(int type) {
  switch (type) {
    case 0:
      return str::kLabelSend;
    case 1:
      return str::kLabelAck;
    case 5:
      return str::kLabelFatalError;
    case 6:
      return str::kLabelNotify;
    case 7:
      return str::kLabelRemoteOn;
    case 8:
      return str::kLabelRemoteOff;
    case 9:
      return str::kLabelGlobalNotify;
    case 11:
      return str::kLabelDetect;
    default:
      return str::kLabelError;
  }
}

Rgb DebugTextColour(int type) {
  switch (type) {
    case 2:
    case 3:
    case 4:
    case 10:
      return {255, 0, 0};
    case 5:
      return {255, 128, 0};
    case 6:
    case 9:
      return {0, 0, 200};
    case 7:
    case 8:
      return {0, 128, 0};
    case 11:
      return {200, 200, 200};
    default:
      return {0, 0, 0};
  }
}

bool DebugLogTypes::Append(std::uint8_t type) {
  if (count_ < kDebugLogMaxRows) {
    types_[(first_ + count_) % kDebugLogMaxRows] = type;
    ++count_;
    return false;
  }
  types_[first_] = type;
  first_ = (first_ + 1) % kDebugLogMaxRows;
  return true;
}

void DebugLogTypes::Clear() {
  types_.fill(0);
  first_ = 0;
  count_ = 0;
}

}  // namespace qtr90x
