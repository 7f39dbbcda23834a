#include "camsim/options.h"

#include <algorithm>
#include <iterator>

#include "qz_version.h"

namespace camsim {

namespace {

constexpr int kMaxDelayMs = 600000;
constexpr int kMinBaud = 300;
constexpr int kMaxBaud = 230400;

// Default and --fast delays, in milliseconds.
constexpr int kReplyDelayMs = 5, kFastReplyDelayMs = 0;
constexpr int kPowerDelayMs = 2000, kFastPowerDelayMs = 50;
constexpr int kPedestalDelayMs = 3000, kFastPedestalDelayMs = 50;
constexpr int kMoveDelayMs = 1000, kFastMoveDelayMs = 20;

std::optional<int> Number(std::string_view text, int lo, int hi) {
  auto value = ParseDec(text);
  if (!value || static_cast<int64_t>(*value) < lo || static_cast<int64_t>(*value) > hi) {
    return std::nullopt;
  }
  return static_cast<int>(*value);
}

// "QT-R7" for every camera, or "QT-R7,QT-R90x,..." one per camera.
std::optional<std::vector<const ModelTraits*>> ModelList(std::string_view text) {
  std::vector<const ModelTraits*> models;
  for (;;) {
    size_t comma = text.find(',');
    const ModelTraits* model = FindModel(text.substr(0, comma));
    if (!model || models.size() >= kMaxCameras) {
      return std::nullopt;
    }
    models.push_back(model);
    if (comma == std::string_view::npos) {
      return models;
    }
    text.remove_prefix(comma + 1);
  }
}

}  // namespace

ParsedOptions ParseOptions(const std::vector<std::string_view>& args) {
  Options options;
  std::vector<const ModelTraits*> models{FindModel("QT-R90x")};
  int cameras = 1;
  auto fail = [](std::string text) { return ParsedOptions{std::nullopt, std::move(text)}; };

  for (size_t i = 0; i < args.size(); ++i) {
    std::string_view name = args[i];
    std::string_view value;
    bool inlineValue = false;
    if (size_t equals = name.find('=');
        name.starts_with("--") && equals != std::string_view::npos) {
      value = name.substr(equals + 1);
      name = name.substr(0, equals);
      inlineValue = true;
    }
    if (name == "--fast" || name == "--help" || name == "-h" || name == "--version") {
      if (inlineValue) {
        return fail("option " + std::string(name) + " takes no value");
      }
      (name == "--fast"      ? options.fast
       : name == "--version" ? options.version
                             : options.help) = true;
      continue;
    }
    static constexpr std::string_view kValueOptions[] = {
        "--model",    "--cameras",     "--link",        "--baud",           "--power",
        "--pedestal", "--reply-delay", "--power-delay", "--pedestal-delay", "--move-delay"};
    if (std::find(std::begin(kValueOptions), std::end(kValueOptions), name) ==
        std::end(kValueOptions)) {
      return fail("unknown option '" + std::string(name) + "'");
    }
    if (!inlineValue) {
      if (i + 1 >= args.size()) {
        return fail("option " + std::string(name) + " needs a value");
      }
      value = args[++i];
    }
    auto bad = [&] {
      return fail("bad value for " + std::string(name) + ": '" + std::string(value) + "'");
    };
    if (name == "--model") {
      auto list = ModelList(value);
      if (!list) {
        return fail("unknown model list '" + std::string(value) +
                    "' (models: QT-R7, QT-R90x, QT-R90xN; comma-separated, one per camera)");
      }
      models = *list;
    } else if (name == "--cameras") {
      auto count = Number(value, 1, kMaxCameras);
      if (!count) {
        return bad();
      }
      cameras = *count;
    } else if (name == "--link") {
      if (value.empty()) {
        return bad();
      }
      options.link = value;
    } else if (name == "--baud") {
      auto baud = Number(value, kMinBaud, kMaxBaud);
      if (!baud) {
        return bad();
      }
      options.baud = *baud;
    } else if (name == "--power") {
      if (value != "on" && value != "off") {
        return bad();
      }
      options.powerOn = value == "on";
    } else if (name == "--pedestal") {
      if (value != "initialised" && value != "uninitialised") {
        return bad();
      }
      options.pedestalReady = value == "initialised";
    } else {
      auto ms = Number(value, 0, kMaxDelayMs);
      if (!ms) {
        return bad();
      }
      (name == "--reply-delay"      ? options.replyDelayMs
       : name == "--power-delay"    ? options.powerDelayMs
       : name == "--pedestal-delay" ? options.pedestalDelayMs
                                    : options.moveDelayMs) = *ms;
    }
  }
  if (options.help || options.version) {
    return {options, {}};
  }
  if (options.link.empty()) {
    return fail("--link PATH is required");
  }
  if (models.size() == 1) {
    models.assign(static_cast<size_t>(cameras), models[0]);
  } else if (models.size() != static_cast<size_t>(cameras)) {
    return fail("--model lists " + std::to_string(models.size()) + " models for " +
                std::to_string(cameras) + " cameras");
  }
  options.models = models;
  return {options, {}};
}

CascadeConfig MakeConfig(const Options& options) {
  auto ms = [&options](const std::optional<int>& given, int normal, int fast) {
    return Duration(Milliseconds(given.value_or(options.fast ? fast : normal)));
  };
  CascadeConfig config;
  config.models = options.models;
  config.powerOn = options.powerOn;
  config.pedestalReady = options.pedestalReady;
  config.byteTime = options.fast ? Duration::zero() : ByteTime(options.baud);
  config.replyDelay = ms(options.replyDelayMs, kReplyDelayMs, kFastReplyDelayMs);
  config.timings.powerDelay = ms(options.powerDelayMs, kPowerDelayMs, kFastPowerDelayMs);
  config.timings.pedestalDelay =
      ms(options.pedestalDelayMs, kPedestalDelayMs, kFastPedestalDelayMs);
  config.timings.moveDelay = ms(options.moveDelayMs, kMoveDelayMs, kFastMoveDelayMs);
  config.timings.instantMotion = options.fast;
  return config;
}

std::string Usage() {
  // The control commands' own list, under a heading of this text's style.
  std::string_view control = ControlHelp();
  control.remove_prefix(std::min(control.size(), control.find('\n') + 1));
  return "qtr90x-camsim - simulate a cascade of QT-R90x, QT-R90xN and QT-R7 cameras\n"
         "\n"
         "Usage: qtr90x-camsim --link PATH [OPTION]...\n"
         "\n"
         "Simulates one to nine cameras, at addresses 1 to N, on one serial line: a\n"
         "pseudo-terminal, the stand-in for the hardware in tests, benchmarks and\n"
         "demonstrations. PATH becomes a symbolic link to the terminal, which a client\n"
         "opens as its serial port (QZLINK_COM1=PATH for the camera link library).\n"
         "\"ready PATH -> DEVICE\" is printed on standard output once it serves.\n"
         "SIGTERM or SIGINT removes PATH and ends it. Commands on standard input\n"
         "inject faults and show the cameras' state (below); at the end of standard\n"
         "input the simulator keeps serving the line.\n"
         "\n"
         "Options:\n"
         "      --link PATH        symbolic link to create (an existing link is\n"
         "                         replaced, any other file is refused)\n"
         "      --model M[,M...]   QT-R7, QT-R90x or QT-R90xN, for every camera or one\n"
         "                         per camera (default QT-R90x)\n"
         "      --cameras N        cameras at addresses 1 to N, N from 1 to 9 (default 1)\n"
         "      --baud B           line speed for pacing, ten bits a byte, 300 to 230400\n"
         "                         (default 9600)\n"
         "      --fast             no pacing, no reply delay, short action delays and\n"
         "                         absolute moves that arrive at once (for tests)\n"
         "      --power on|off     camera power at start (default on)\n"
         "      --pedestal initialised|uninitialised\n"
         "                         pedestal at start (default initialised)\n"
         "      --reply-delay MS   processing time before each answer (default 5,\n"
         "                         fast 0)\n"
         "      --power-delay MS   camera power on or off (default 2000, fast 50)\n"
         "      --pedestal-delay MS\n"
         "                         pedestal initialisation (default 3000, fast 50)\n"
         "      --move-delay MS    preset and home moves, one-push AF (default 1000,\n"
         "                         fast 20)\n"
         "  -h, --help             print this help and exit\n"
         "      --version          print the version and exit\n"
         "Options take their value as --name VALUE or --name=VALUE; delays are at most\n"
         "600000 ms.\n"
         "\n"
         "Control commands (one per line on standard input):\n" +
         std::string(control) +
         "\n"
         "Exit status:\n"
         "  0  ended by SIGTERM or SIGINT\n"
         "  1  the terminal or the link cannot be made, or the line failed\n"
         "  2  bad command line\n"
         "\n"
         "Examples:\n"
         "  qtr90x-camsim --link /tmp/camera --cameras 3 --fast &\n"
         "  QZLINK_COM1=/tmp/camera qzcli --port 1 QzGetUnitName 1\n"
         "      three fast cameras, and a question to the first\n"
         "  echo 'state 1' | qtr90x-camsim --link /tmp/camera\n"
         "      print camera 1's state at start\n";
}

std::string VersionLine() {
  return QZ_VERSION_LINE("qtr90x-camsim");
}

}  // namespace camsim
