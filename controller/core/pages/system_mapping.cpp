#include "core/pages/system_mapping.h"

namespace qtr90x {

namespace {
constexpr int kLedCodes[] = {0, 1, 3, 4, 2};
}

int LedCodeForItem(int item) {
  return item >= 0 && item < 5 ? kLedCodes[item] : 0;
}

std::optional<int> LedItemForState(int ledState) {
  switch (ledState) {
    case 1:
      return 0;
    case 2:
      return 4;
    case 3:
      return 2;
    case 4:
      return 3;
    default:
      return std::nullopt;
  }
}

}  // namespace qtr90x
