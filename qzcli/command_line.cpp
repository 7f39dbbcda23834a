#include "qzcli/command_line.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <limits>

namespace qzcli {

const char kUsage[] =
    "qzcli - call the camera link library's functions by name from a shell\n"
    "\n"
    "Usage: qzcli [OPTION]... EXPORT [ARG]... [-- EXPORT [ARG]...]...\n"
    "  or:  qzcli --list-ports\n"
    "  or:  qzcli --set-port N TARGET\n"
    "  or:  qzcli --clear-port N\n"
    "  or:  qzcli --list | --help | --version\n"
    "\n"
    "Calls functions (exports) of the camera link library by name with integer\n"
    "arguments, and prints every frame sent and every answer and notification\n"
    "received, as hex text. Calls are separated by '--' or ';'. Integers are\n"
    "decimal or 0x-prefixed hex. QzSetManualCommand takes the bytes to send as hex\n"
    "(FF 30 31 00 A4 EF). QzOpen takes port, baud, byte size, parity and stop bits;\n"
    "qzcli supplies the window.\n"
    "\n"
    "Options:\n"
    "  --port N       open COM port N (1 to 9) before the first call and close it\n"
    "                 after the last\n"
    "  --baud B       the line speed for --port: 9600, 14400, 19200 or 38400\n"
    "                 (default 9600)\n"
    "  --seconds S    keep listening S seconds after the last call (0 to 86400,\n"
    "                 default 1)\n"
    "  --wait-ms M    wait at most M milliseconds for the answer to each command\n"
    "                 (default 2000)\n"
    "  --list-ports   print COM1 to COM9 with the target each one opens and where\n"
    "                 that comes from (environment, settings or default), then the\n"
    "                 serial devices present and whether this user may open them\n"
    "  --set-port N TARGET\n"
    "                 store TARGET as the target of COM port N in the settings: a\n"
    "                 device path such as /dev/serial/by-id/usb-..., /dev/ttyUSB0,\n"
    "                 or a port on a device server, rfc2217://HOST:PORT\n"
    "  --clear-port N remove the stored target of COM port N\n"
    "  --list         print every export with its arguments\n"
    "  -h, --help     print this help and exit\n"
    "  --version      print the version and exit\n"
    "\n"
    "Serial ports:\n"
    "  COM port N opens the first of: the variable QZLINK_COM<N>; the target\n"
    "  stored with --set-port (or in the operator application's Ports dialog);\n"
    "  /dev/ttyS<N-1>. A USB serial adapter is best stored by its name under\n"
    "  /dev/serial/by-id, which stays the same in whichever USB socket it is\n"
    "  plugged. Opening a device needs read and write permission (on Debian,\n"
    "  membership of group dialout).\n"
    "\n"
    "Exit status:\n"
    "  0  success\n"
    "  1  the port could not be opened, or the settings could not be written\n"
    "  2  the command line is wrong: an unknown option or export, a bad value or\n"
    "     argument count, or a target that cannot name a port\n"
    "\n"
    "Environment:\n"
    "  QZLINK_COM1 ... QZLINK_COM9\n"
    "                 the target of COM1 to COM9, over the stored settings\n"
    "  QZLINK_TRACE   a file that every frame sent and received is written to\n"
    "                 (\"-\": standard error)\n"
    "  QZLINK_REGISTRY\n"
    "                 the settings file, instead of\n"
    "                 ${XDG_CONFIG_HOME:-$HOME/.config}/qzlink/registry.reg\n"
    "\n"
    "Examples:\n"
    "  qzcli --port 1 QzSetCascade 0 1 -- QzGetUnitName 1\n"
    "      asks the cameras on COM1 how many they are, then camera 1 for its name\n"
    "  qzcli --port 2 --seconds 0 QzSetZooming 1 2 ';' QzSetZooming 1 0\n"
    "      zooms camera 1 on COM2 in, then stops it\n"
    "  qzcli --set-port 3 /dev/serial/by-id/usb-FTDI_FT232R_A50285BI-if00-port0\n"
    "      makes COM3 the USB adapter of that name, wherever it is plugged in\n"
    "  qzcli --list-ports\n"
    "      shows what COM1 to COM9 open and the serial devices present\n"
    "  QZLINK_COM1=rfc2217://192.0.2.10:2217 qzcli --port 1 QzGetUnitName 1\n"
    "      asks camera 1 on a device server's port for its name\n";

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

namespace {

// The actions that stand alone, by option.
std::optional<Action> StandaloneAction(const std::string& option) {
  static const std::pair<const char*, Action> kActions[] = {
      {"--help", Action::kHelp},
      {"-h", Action::kHelp},
      {"--version", Action::kVersion},
      {"--list", Action::kListExports},
      {"--list-ports", Action::kListPorts},
      {"--set-port", Action::kSetPort},
      {"--clear-port", Action::kClearPort},
  };
  for (const auto& [name, action] : kActions) {
    if (option == name) {
      return action;
    }
  }
  return std::nullopt;
}

}  // namespace

ParseResult ParseCommandLine(const std::vector<std::string>& args) {
  Options options;
  auto fail = [](std::string message) { return ParseResult{std::nullopt, std::move(message)}; };
  // --help and --version answer whatever else the line holds.
  for (const std::string& arg : args) {
    if (arg == "--") {
      break;
    }
    if (arg == "--help" || arg == "-h" || arg == "--version") {
      options.action = arg == "--version" ? Action::kVersion : Action::kHelp;
      return {std::move(options), {}};
    }
  }
  size_t i = 0;
  for (; i < args.size() && args[i].rfind("--", 0) == 0 && args[i] != "--"; ++i) {
    const std::string& option = args[i];
    if (const std::optional<Action> action = StandaloneAction(option)) {
      const size_t values = *action == Action::kSetPort ? 2 : *action == Action::kClearPort ? 1 : 0;
      if (i + values >= args.size()) {
        return fail(option +
                    (values == 2 ? " needs a port number and a target" : " needs a port number"));
      }
      if (i != 0 || args.size() != 1 + values) {
        return fail(option + " stands alone: no other options or calls");
      }
      options.action = *action;
      if (values > 0) {
        const auto port = ParseInteger(args[1]);
        if (!port || *port < 1 || *port > 9) {
          return fail(option + " takes a port number 1 to 9, got '" + args[1] + "'");
        }
        options.mappedPort = *port;
        options.mappedTarget = values == 2 ? args[2] : std::string();
      }
      return {std::move(options), {}};
    }
    if (option != "--port" && option != "--baud" && option != "--seconds" &&
        option != "--wait-ms") {
      return fail("unknown option '" + option + "'");
    }
    if (i + 1 >= args.size()) {
      return fail(option + " needs a value");
    }
    const std::string& value = args[++i];
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
    } else {  // --wait-ms
      const auto ms = ParseInteger(value);
      if (!ms || *ms < 0) {
        return fail("--wait-ms takes a non-negative integer, got '" + value + "'");
      }
      options.answerWaitMs = *ms;
    }
  }

  // The calls; ';' may also be written inside an argument.
  const std::vector<std::string> tokens = SplitSemicolons(
      std::vector<std::string>(args.begin() + static_cast<std::ptrdiff_t>(i), args.end()));
  std::vector<std::string> words;
  for (size_t t = 0; t <= tokens.size(); ++t) {
    const bool separator = t == tokens.size() || tokens[t] == "--" || tokens[t] == ";";
    if (!separator) {
      words.push_back(tokens[t]);
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
