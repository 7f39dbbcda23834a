#include "camlink/rfc2217_address.h"

#include <cstdlib>
#include <cstring>
#include <string_view>

namespace qzlink {

namespace {

// A whole decimal number in [low, high].
bool ParseNumber(std::string_view text, long low, long high, long& value) {
  if (text.empty() || text.size() > 9) {
    return false;
  }
  value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') {
      return false;
    }
    value = value * 10 + (c - '0');
  }
  return value >= low && value <= high;
}

bool CopyTo(std::string_view text, char* out, size_t size) {
  if (text.empty() || text.size() >= size) {
    return false;
  }
  std::memcpy(out, text.data(), text.size());
  out[text.size()] = '\0';
  return true;
}

}  // namespace

bool IsRfc2217Address(const char* text) {
  return text != nullptr && std::strncmp(text, kRfc2217Scheme, sizeof kRfc2217Scheme - 1) == 0;
}

bool ParseRfc2217Address(const char* text, Rfc2217Address& out) {
  if (!IsRfc2217Address(text)) {
    return false;
  }
  out = Rfc2217Address{};
  std::string_view rest(text + sizeof kRfc2217Scheme - 1);
  std::string_view options;
  if (const size_t query = rest.find('?'); query != std::string_view::npos) {
    options = rest.substr(query + 1);
    rest = rest.substr(0, query);
  }
  if (!rest.empty() && rest.back() == '/') {
    rest.remove_suffix(1);
  }
  std::string_view host;
  std::string_view port;
  if (!rest.empty() && rest.front() == '[') {
    const size_t close = rest.find(']');
    if (close == std::string_view::npos || rest.substr(close + 1, 1) != ":") {
      return false;
    }
    host = rest.substr(1, close - 1);
    port = rest.substr(close + 2);
  } else {
    const size_t colon = rest.rfind(':');
    if (colon == std::string_view::npos) {
      return false;
    }
    host = rest.substr(0, colon);
    port = rest.substr(colon + 1);
    if (host.find(':') != std::string_view::npos) {
      return false;  // an IPv6 address needs its brackets
    }
  }
  long portNumber = 0;
  if (!ParseNumber(port, 1, 65535, portNumber) || !CopyTo(host, out.host, sizeof out.host) ||
      !CopyTo(port, out.port, sizeof out.port)) {
    return false;
  }
  while (!options.empty()) {
    const size_t amp = options.find('&');
    const std::string_view option = options.substr(0, amp);
    options = amp == std::string_view::npos ? std::string_view() : options.substr(amp + 1);
    long value = 0;
    if (option == "modem=none") {
      out.noModemLines = true;
    } else if (option.substr(0, 8) == "timeout=" &&
               ParseNumber(option.substr(8), 1, 60000, value)) {
      out.timeoutMs = static_cast<int>(value);
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace qzlink
