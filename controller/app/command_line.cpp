#include "app/command_line.h"

#include <algorithm>
#include <iterator>
#include <string_view>

#include "qz_version.h"

namespace qtr90x {

namespace {

// The options that QGuiApplication, QApplication and the X11 platform take
// from argv, without their leading '-'; Qt also accepts them with "--".
constexpr std::string_view kQtOptionsWithValue[] = {
    "platform",        "platformpluginpath",
    "platformtheme",   "plugin",
    "qwindowgeometry", "qwindowicon",
    "qwindowtitle",    "session",
    "display",         "geometry",
    "title",           "name",
    "visual",          "style",
    "stylesheet",
};
constexpr std::string_view kQtOptionsAlone[] = {"reverse", "widgetcount", "nograb", "dograb",
                                                "sync"};
// Options Qt takes only as "-name=value".
constexpr std::string_view kQtOptionsJoined[] = {"style", "stylesheet", "qmljsdebugger"};

bool Contains(const std::string_view* first, const std::string_view* last, std::string_view name) {
  return std::find(first, last, name) != last;
}

// How many argv entries the Qt option at arg takes (1 or 2), 0 when arg is
// not one of Qt's options.
int QtOptionLength(std::string_view arg) {
  if (arg.starts_with("--")) {
    arg.remove_prefix(1);
  }
  if (arg.size() < 2 || arg[0] != '-') {
    return 0;
  }
  arg.remove_prefix(1);
  if (const auto eq = arg.find('='); eq != std::string_view::npos) {
    return Contains(std::begin(kQtOptionsJoined), std::end(kQtOptionsJoined), arg.substr(0, eq))
               ? 1
               : 0;
  }
  if (Contains(std::begin(kQtOptionsAlone), std::end(kQtOptionsAlone), arg)) {
    return 1;
  }
  return Contains(std::begin(kQtOptionsWithValue), std::end(kQtOptionsWithValue), arg) ? 2 : 0;
}

}  // namespace

CommandLineAction ParseCommandLine(int argc, const char* const* argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "-h" || arg == "--help") {
      return {CommandLineAction::kHelp, {}};
    }
    if (arg == "--version") {
      return {CommandLineAction::kVersion, {}};
    }
    if (arg == "--" && i + 1 == argc) {
      break;
    }
    if (const int length = QtOptionLength(arg); length > 0) {
      if (i + length > argc) {
        return {CommandLineAction::kError, "option '" + std::string(arg) + "' needs a value"};
      }
      i += length - 1;
      continue;
    }
    if (arg.size() > 1 && arg[0] == '-' && arg != "--") {
      return {CommandLineAction::kError, "unknown option '" + std::string(arg) + "'"};
    }
    const std::string_view extra = arg == "--" ? std::string_view(argv[i + 1]) : arg;
    return {CommandLineAction::kError,
            "the application takes no arguments, got '" + std::string(extra) + "'"};
  }
  return {};
}

const char* HelpText() {
  return R"(QTR90xControler - operate QT-R90x and QT-R7 pan/tilt/zoom cameras

Usage: QTR90xControler [QT-OPTION]...
  or:  QTR90xControler --help | --version

The operator application: one dialog that connects to a cascade of up to nine
cameras on COM1 to COM4 and offers the pan/tilt pad, zoom and focus, presets
with names, speeds, exposure, shutter, iris, gain, white balance, on-screen
display, date and time, camera power, night mode, IR light, external light,
alarm output and sensor detection. Only one copy runs per user: a second
start shows a notice and ends. The settings (the port, two developer
switches, the preset names of every camera) are kept in the registry store
under HKEY_CURRENT_USER\Software\Orveda\QTR90xControler\1.0.

Which device COMn opens: the variable QZLINK_COMn when it is set, else the
port mapping stored under HKEY_CURRENT_USER\Software\Orveda\QZLINK\Ports
(set it with 'qzcli --set-port N TARGET' or in Port -> Ports...), else
/dev/ttyS<n-1>. A stored target never falls back to /dev/ttyS<n-1>; while
the registry store could not be read in full, a port without a readable
mapping does not open at all ('qzcli --list-ports' shows why).

Options:
  -h, --help     print this help and exit
      --version  print the version and exit
Qt's own options are taken as in every Qt application, for example
-platform NAME, -display HOST:N, -style NAME, -geometry WxH+X+Y, -reverse.
The application takes no other arguments.

Exit status:
  0  the application ended, or another copy was running
  2  bad command line

Environment:
  QZLINK_COM1..4   the device of COM1 to COM4 (see above), or
                   rfc2217://HOST:PORT for a line on a serial device server
  QZLINK_REGISTRY  the registry store file (default
                   $XDG_CONFIG_HOME/qzlink/registry.reg, and without
                   XDG_CONFIG_HOME ~/.config/qzlink/registry.reg)
  QZLINK_TRACE     a file that every frame sent and received is traced to
                   ("-": standard error)
  QT_QPA_PLATFORM  Qt's display platform, for example offscreen or vnc

Examples:
  QZLINK_COM1=/tmp/camera QTR90xControler
      operate the camera (or the simulator) behind /tmp/camera as COM1
  qzcli --set-port 1 /dev/serial/by-id/usb-FTDI_...-port0
      make COM1 the USB adapter, wherever it is plugged in
  QTR90xControler -platform vnc
      show the window to a VNC viewer instead of the desktop
)";
}

std::string VersionLine() {
  return QZ_VERSION_LINE("QTR90xControler");
}

}  // namespace qtr90x
