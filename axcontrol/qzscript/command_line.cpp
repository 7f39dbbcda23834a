#include "axcontrol/qzscript/command_line.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

#include "qz_version.h"

namespace qzscript {

namespace {

// The longest --timeout: what a poll() time-out in milliseconds can hold.
constexpr double kMaxTimeoutSeconds = 2147483.0;

// A positive decimal number of seconds ("90", "0.5"), rounded up to whole
// milliseconds; nothing else (no sign, exponent, hex, "inf" or "nan").
std::optional<std::chrono::milliseconds> ParseSeconds(const std::string& text) {
  if (text.empty() || text.find_first_not_of("0123456789.") != std::string::npos ||
      text.find('.') != text.rfind('.') || text == ".") {
    return std::nullopt;
  }
  errno = 0;
  char* end = nullptr;
  const double seconds = std::strtod(text.c_str(), &end);
  if (errno != 0 || *end != '\0' || !(seconds > 0) || seconds > kMaxTimeoutSeconds) {
    return std::nullopt;
  }
  return std::chrono::milliseconds(static_cast<int64_t>(std::ceil(seconds * 1000)));
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
  CommandLine line;
  auto fail = [&line](std::string error) {
    line.kind = CommandLine::kError;
    line.error = std::move(error);
    return line;
  };
  size_t i = 0;
  for (; i < args.size(); ++i) {
    std::string arg = args[i];
    if (arg == "--") {
      ++i;
      break;
    }
    if (arg.size() < 2 || arg[0] != '-') {
      break;  // the script's file
    }
    std::optional<std::string> value;
    if (const size_t equals = arg.find('='); arg.starts_with("--") && equals != std::string::npos) {
      value = arg.substr(equals + 1);
      arg.resize(equals);
    }
    if (arg == "-h" || arg == "--help" || arg == "--version") {
      if (value) {
        return fail("option " + arg + " takes no value");
      }
      line.kind = arg == "--version" ? CommandLine::kVersion : CommandLine::kHelp;
      return line;
    }
    if (arg != "--timeout") {
      return fail("unknown option '" + args[i] + "'");
    }
    if (!value) {
      if (i + 1 >= args.size()) {
        return fail("option --timeout needs a number of seconds");
      }
      value = args[++i];
    }
    line.timeout = ParseSeconds(*value);
    if (!line.timeout) {
      return fail("--timeout takes a number of seconds above 0 and up to 2147483, got '" + *value +
                  "'");
    }
  }
  if (i >= args.size()) {
    return fail("no script file given");
  }
  line.scriptPath = args[i];
  line.arguments.assign(args.begin() + static_cast<std::ptrdiff_t>(i) + 1, args.end());
  return line;
}

const char* HelpText() {
  return R"(qzscript - run a JavaScript file that drives cameras through automation objects

Usage: qzscript [OPTION]... FILE.js [ARGUMENT]...

Runs the JavaScript program FILE.js with a WScript object, through which it
creates automation objects by ProgID (such as the camera control
QzlinkAXCtrlE.QzlinkCtrl, registered with qzregsvr), receives their events,
prints, waits and sets its exit status:

  WScript.CreateObject(ID, PREFIX)
                          create the object of ProgID ID; with a PREFIX, its
                          events call the script's functions PREFIX + event
                          name, such as cam_AckRxEvent(wParam, lBytes)
  WScript.Echo(VALUE...)  print the values, separated by blanks
  WScript.Sleep(MS)       wait MS milliseconds, receiving events meanwhile
  WScript.Quit(CODE)      end the script with exit status CODE
  WScript.Arguments(I)    argument I after FILE.js; .length, .Count()

A failing call throws an Error whose number holds the runtime error code in
its low 16 bits (438 unknown member, 450 wrong number of arguments, 13 type
mismatch, 6 overflow, 429 cannot create the object, and the control's own).
A value thrown and not caught, in the script or in an event handler, prints
"FILE.js:LINE: message" on standard error and ends the script with status 1.
However the script ends, the sessions its objects still hold are closed
(CommClose) and the objects terminated, so that the port is free.

Options:
      --timeout SECONDS  end the script after SECONDS (a decimal number, such
                         as 90 or 0.5), closing its sessions, with status 124
  -h, --help             print this help and exit
      --version          print the version and exit
The options come before FILE.js; every argument after it is the script's.

Exit status:
  0        the script ran to its end
  N        WScript.Quit(N), N from 0 to 255 (any other N ends with 255)
  1        an uncaught error, in the script or in an event handler
  2        bad command line, or FILE.js cannot be read
  124      --timeout ended the script
  128+SIG  signal SIG ended it, after the sessions were closed: 129 SIGHUP,
           130 SIGINT, 141 SIGPIPE, 143 SIGTERM

Environment:
  QZLINK_REGISTRY  the registry store that holds the registered ProgIDs
                   (default $XDG_CONFIG_HOME/qzlink/registry.reg, and
                   without XDG_CONFIG_HOME ~/.config/qzlink/registry.reg)
  QZLINK_COM1..9   the device of COMn for the camera link library (default
                   /dev/ttyS<n-1>), or rfc2217://HOST:PORT
  QZLINK_TRACE     a file that the library traces every frame to ("-":
                   standard error)

Examples:
  qzregsvr QzlinkAXCtrlE.so && QZLINK_COM1=/tmp/camera qzscript zoom.js 1 4660
      register the control once, then zoom camera 1 on COM1 to 0x1234
  qzscript --timeout 30 nightly.js
      run a job under cron that may not take longer than 30 seconds
)";
}

std::string VersionLine() {
  return QZ_VERSION_LINE("qzscript");
}

}  // namespace qzscript
