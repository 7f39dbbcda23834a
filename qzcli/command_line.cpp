#include "qzcli/command_line.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <limits>

namespace qzcli {

const char kUsage[] =
    "usage: qzcli [--port N] [--baud B] [--seconds S] [--wait-ms M] EXPORT ARG... [-- EXPORT "
    "ARG...]...\n"
    "\n"
    "Calls exports of the camera link library by name with integer arguments and prints\n"
    "every frame sent and every answer and notification received, as hex text.\n"
    "\n"
    "  --port N      open COM port N (1 to 9) at the start and close it at the end;\n"
    "                COMn is $QZLINK_COMn when set, else /dev/ttyS<n-1>\n"
    "  --baud B      baud rate for --port (9600, 14400, 19200, 38400; default 9600)\n"
    "  --seconds S   keep listening S seconds after the last call (default 1)\n"
    "  --wait-ms M   wait at most M ms for the answer to each command (default 2000)\n"
    "\n"
    "Calls are separated by '--' or ';'. Integers are decimal or 0x-prefixed hex.\n"
    "QzSetManualCommand takes the bytes to send as hex (FF 30 31 00 A4 EF).\n"
    "QzOpen takes port, baud, byte size, parity, stop bits; qzcli supplies the window.\n"
    "'qzcli --list' prints every export with its arguments.\n";

std::optional<int32_t> ParseInteger(const std::string& text) {
  if (text.empty()) {
    return std::nullopt;
  }
  size_t pos = 0;
  bool negative = false;
  if (text[0] == '-' || text[0] == '+') {
    negative = text[0] == '-';
    pos = 1;
  }
  int base = 10;
  if (text.size() > pos + 2 && text[pos] == '0' && (text[pos + 1] == 'x' || text[pos + 1] == 'X')) {
    base = 16;
    pos += 2;
  }
  if (pos >= text.size()) {
    return std::nullopt;
  }
  const char* begin = text.c_str() + pos;
  char* end = nullptr;
  errno = 0;
  const unsigned long long magnitude = std::strtoull(begin, &end, base);
  if (errno != 0 || *end != '\0' || !(std::isxdigit(static_cast<unsigned char>(*begin)))) {
    return std::nullopt;
  }
  const long long value =
      negative ? -static_cast<long long>(magnitude) : static_cast<long long>(magnitude);
  if (magnitude > static_cast<unsigned long long>(std::numeric_limits<int32_t>::max()) + 1 ||
      value < std::numeric_limits<int32_t>::min() || value > std::numeric_limits<int32_t>::max()) {
    return std::nullopt;
  }
  return static_cast<int32_t>(value);
}

std::optional<int32_t> ParseByte(const std::string& text) {
  std::string digits = text;
  if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
    digits = digits.substr(2);
  }
  if (digits.empty() || digits.size() > 2) {
    return std::nullopt;
  }
  int32_t value = 0;
  for (char c : digits) {
    if (!std::isxdigit(static_cast<unsigned char>(c))) {
      return std::nullopt;
    }
    value = value * 16 +
            (std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : (std::toupper(c) - 'A' + 10));
  }
  return value;
}

namespace {

// Splits "a;" and ";b" so that ';' may be written with or without blanks.
std::vector<std::string> SplitSemicolons(const std::vector<std::string>& args) {
  std::vector<std::string> tokens;
  for (const std::string& arg : args) {
    size_t start = 0;
    for (size_t i = 0; i <= arg.size(); ++i) {
      if (i == arg.size() || arg[i] == ';') {
        if (i > start) {
          tokens.push_back(arg.substr(start, i - start));
        }
        if (i < arg.size()) {
          tokens.push_back(";");
        }
        start = i + 1;
      }
    }
  }
  return tokens;
}

std::string ArityText(const ExportEntry& entry) {
  if (entry.arity < 0) {
    return "one or more bytes (" + entry.arguments + ")";
  }
  std::string text = std::to_string(entry.arity) + (entry.arity == 1 ? " argument" : " arguments");
  if (!entry.arguments.empty()) {
    text += " (" + entry.arguments + ")";
  }
  return text;
}

std::optional<std::string> AddCall(const std::vector<std::string>& words, Options& options) {
  const ExportEntry* entry = FindExport(words[0]);
  if (entry == nullptr) {
    return "unknown export '" + words[0] + "' (qzcli --list shows them)";
  }
  const int given = static_cast<int>(words.size()) - 1;
  if ((entry->arity >= 0 && given != entry->arity) || (entry->arity < 0 && given < 1)) {
    return words[0] + " takes " + ArityText(*entry) + ", got " + std::to_string(given);
  }
  Call call{entry, {}};
  for (size_t i = 1; i < words.size(); ++i) {
    const auto value =
        entry->kind == ExportKind::kBytes ? ParseByte(words[i]) : ParseInteger(words[i]);
    if (!value) {
      return words[0] + ": bad " + (entry->kind == ExportKind::kBytes ? "byte" : "integer") + " '" +
             words[i] + "'";
    }
    call.args.push_back(*value);
  }
  options.calls.push_back(std::move(call));
  return std::nullopt;
}

}  // namespace

ParseResult ParseCommandLine(const std::vector<std::string>& args) {
  Options options;
  const std::vector<std::string> tokens = SplitSemicolons(args);
  size_t i = 0;
  auto fail = [](std::string message) { return ParseResult{std::nullopt, std::move(message)}; };
  for (; i < tokens.size() && tokens[i].rfind("--", 0) == 0 && tokens[i] != "--"; ++i) {
    const std::string& option = tokens[i];
    if (option == "--help" || option == "--list") {
      (option == "--help" ? options.help : options.list) = true;
      continue;
    }
    if (i + 1 >= tokens.size()) {
      return fail(option + " needs a value");
    }
    const std::string& value = tokens[++i];
    if (option == "--port") {
      const auto port = ParseInteger(value);
      if (!port || *port < 1 || *port > 9) {
        return fail("--port takes 1 to 9, got '" + value + "'");
      }
      options.port = *port;
    } else if (option == "--baud") {
      const auto baud = ParseInteger(value);
      if (!baud || *baud <= 0) {
        return fail("--baud takes a positive integer, got '" + value + "'");
      }
      options.baud = *baud;
    } else if (option == "--seconds") {
      char* end = nullptr;
      const double seconds = std::strtod(value.c_str(), &end);
      if (value.empty() || *end != '\0' || !(seconds >= 0 && seconds <= 86400)) {
        return fail("--seconds takes 0 to 86400, got '" + value + "'");
      }
      options.seconds = seconds;
    } else if (option == "--wait-ms") {
      const auto ms = ParseInteger(value);
      if (!ms || *ms < 0) {
        return fail("--wait-ms takes a non-negative integer, got '" + value + "'");
      }
      options.answerWaitMs = *ms;
    } else {
      return fail("unknown option '" + option + "'");
    }
  }
  if (options.help || options.list) {
    return {std::move(options), {}};
  }

  std::vector<std::string> words;
  for (; i <= tokens.size(); ++i) {
    const bool separator = i == tokens.size() || tokens[i] == "--" || tokens[i] == ";";
    if (!separator) {
      words.push_back(tokens[i]);
      continue;
    }
    if (!words.empty()) {
      if (auto error = AddCall(words, options)) {
        return fail(*error);
      }
      words.clear();
    }
  }
  if (options.calls.empty()) {
    return fail("no export to call");
  }
  return {std::move(options), {}};
}

}  // namespace qzcli
