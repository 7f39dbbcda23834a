#include "core/traffic_text.h"

namespace qtr90x {

std::string TrafficText(const std::uint8_t* bytes, std::size_t size) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  if (bytes == nullptr || size == 0)
    return text;
  text.reserve(size * 3);
  for (std::size_t i = 0; i < size; ++i) {
    if (i > 0)
      text.push_back(' ');
    text.push_back(kDigits[bytes[i] >> 4]);
    text.push_back(kDigits[bytes[i] & 0x0F]);
  }
  return text;
}

std::string_view AnswerCode(std::string_view answer) {
  if (answer.size() < 14)
    return {};
  return answer.substr(9, 5);
}

}  // namespace qtr90x
