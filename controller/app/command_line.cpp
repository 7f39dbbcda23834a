#include "app/command_line.h"

#include <string_view>

#include "qz_version.h"

namespace qtr90x {

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

Usage: QTR90xControler
  or:  QTR90xControler --help | --version

The operator application: one dialog that connects to a cascade of up to nine
cameras on COM1 to COM4 and offers the pan/tilt pad, zoom and focus, presets
with names, speeds, exposure, shutter, iris, gain, white balance, on-screen
display, date and time, camera power, night mode, IR light, external light,
alarm output and sensor detection. Only one copy runs per user: a second
start shows a notice and ends. The settings (the port, two developer
switches, the preset names of every camera) are kept in the registry store
under HKEY_CURRENT_USER\Software\Orveda\QTR90xControler\1.0.

Options:
  -h, --help     print this help and exit
      --version  print the version and exit
The application takes no other arguments.

Exit status:
  0  the application ended, or another copy was running
  2  bad command line

Environment:
  QZLINK_COM1..4   the device of COM1 to COM4 (default /dev/ttyS0 to
                   /dev/ttyS3), or rfc2217://HOST:PORT for a line on a
                   serial device server
  QZLINK_REGISTRY  the registry store file (default
                   $XDG_CONFIG_HOME/qzlink/registry.reg, and without
                   XDG_CONFIG_HOME ~/.config/qzlink/registry.reg)
  QZLINK_TRACE     a file that every frame sent and received is traced to
                   ("-": standard error)
  QT_QPA_PLATFORM  Qt's display platform, for example offscreen or vnc

Examples:
  QZLINK_COM1=/tmp/camera QTR90xControler
      operate the camera (or the simulator) behind /tmp/camera as COM1
)";
}

std::string VersionLine() {
  return QZ_VERSION_LINE("QTR90xControler");
}

}  // namespace qtr90x
