#include "camsim/control_command.h"

#include <vector>

namespace camsim {

namespace {

std::vector<std::string_view> SplitWords(std::string_view line) {
  std::vector<std::string_view> words;
  size_t pos = 0;
  while (pos < line.size()) {
    size_t start = line.find_first_not_of(" \t\r", pos);
    if (start == std::string_view::npos) {
      break;
    }
    size_t end = line.find_first_of(" \t\r", start);
    if (end == std::string_view::npos) {
      end = line.size();
    }
    words.push_back(line.substr(start, end - start));
    pos = end;
  }
  return words;
}

std::optional<int> CameraNumber(std::string_view word) {
  auto value = ParseDec(word);
  if (!value || word.size() != 1 || *value < 1) {
    return std::nullopt;
  }
  return static_cast<int>(*value);
}

std::optional<bool> OnOff(std::string_view word) {
  if (word == "on") {
    return true;
  }
  if (word == "off") {
    return false;
  }
  return std::nullopt;
}

std::optional<uint8_t> HexByte(std::string_view word) {
  auto value = word.size() <= 2 ? ParseHex(word) : std::nullopt;
  if (!value) {
    return std::nullopt;
  }
  return static_cast<uint8_t>(*value);
}

// "" or "next": any command; "cmd HH": the next command with that byte.
bool ParseTarget(const std::vector<std::string_view>& words, size_t first,
                 ControlCommand& command) {
  if (words.size() == first || (words.size() == first + 1 && words[first] == "next")) {
    return true;
  }
  if (words.size() == first + 2 && words[first] == "cmd") {
    command.command = HexByte(words[first + 1]);
    return command.command.has_value();
  }
  return false;
}

ParsedControl Error(std::string text) {
  return {std::nullopt, std::move(text)};
}

}  // namespace

ParsedControl ParseControlLine(std::string_view line) {
  std::vector<std::string_view> words = SplitWords(line);
  if (words.empty() || words[0].starts_with('#')) {
    return {};
  }
  using Kind = ControlCommand::Kind;
  ControlCommand command;
  std::string_view verb = words[0];
  size_t count = words.size();
  auto usage = [&](std::string_view form) { return Error("usage: " + std::string(form)); };

  if (verb == "sensor") {
    command.kind = Kind::kSensor;
    auto camera = count == 3 ? CameraNumber(words[1]) : std::nullopt;
    auto value = count == 3 && words[2].size() == 1 ? ParseHex(words[2]) : std::nullopt;
    if (!camera || !value) {
      return usage("sensor CAM VALUE (CAM 1-9, VALUE one hex digit, bit i = input i+1)");
    }
    command.camera = *camera;
    command.value = static_cast<int>(*value);
  } else if (verb == "power" || verb == "remote") {
    command.kind = verb == "power" ? Kind::kPower : Kind::kRemote;
    auto camera = count == 3 ? CameraNumber(words[1]) : std::nullopt;
    auto on = count == 3 ? OnOff(words[2]) : std::nullopt;
    if (!camera || !on) {
      return usage(std::string(verb) + " CAM on|off");
    }
    command.camera = *camera;
    command.on = *on;
  } else if (verb == "inject") {
    command.kind = Kind::kInject;
    std::string_view code = count >= 2 ? words[1] : "";
    bool valid = code.size() == 2 && ParseHex(code) && code != "00";
    if (!valid || !ParseTarget(words, 2, command)) {
      return usage("inject CODE [next | cmd HH] (CODE two hex characters, not 00)");
    }
    command.code = {code[0], code[1]};
  } else if (verb == "noanswer") {
    command.kind = Kind::kNoAnswer;
    if (!ParseTarget(words, 1, command)) {
      return usage("noanswer [next | cmd HH]");
    }
  } else if (verb == "late") {
    command.kind = Kind::kLate;
    auto ms = count >= 2 ? ParseDec(words[1]) : std::nullopt;
    if (!ms || *ms < 1 || *ms > kMaxLateMs || !ParseTarget(words, 2, command)) {
      return usage("late MS [next | cmd HH] (MS 1 to 600000)");
    }
    command.lateMs = static_cast<int>(*ms);
  } else if (verb == "stray") {
    command.kind = Kind::kStray;
    for (size_t i = 1; i < count; ++i) {
      auto byte = HexByte(words[i]);
      if (!byte) {
        return Error("stray: not a hex byte: " + std::string(words[i]));
      }
      command.bytes.push_back(*byte);
    }
    if (command.bytes.empty() || command.bytes.size() > kMaxStrayBytes) {
      return usage("stray HH [HH ...] (1 to 32 bytes)");
    }
  } else if (verb == "global") {
    command.kind = Kind::kGlobal;
    auto camera = count == 2 ? CameraNumber(words[1]) : std::nullopt;
    if (!camera) {
      return usage("global CAM");
    }
    command.camera = *camera;
  } else if (verb == "state") {
    command.kind = Kind::kState;
    auto camera = count == 2 ? CameraNumber(words[1]) : std::nullopt;
    if (count > 2 || (count == 2 && !camera)) {
      return usage("state [CAM]");
    }
    command.camera = camera.value_or(0);
  } else if (verb == "unplug" || verb == "replug") {
    command.kind = verb == "unplug" ? Kind::kUnplug : Kind::kReplug;
    if (count != 1) {
      return usage(std::string(verb));
    }
  } else if (verb == "split" || verb == "clear" || verb == "help") {
    command.kind = verb == "split" ? Kind::kSplit : verb == "clear" ? Kind::kClear : Kind::kHelp;
    if (count != 1) {
      return usage(std::string(verb));
    }
  } else {
    return Error("unknown control command '" + std::string(verb) + "' (try: help)");
  }
  return {command, {}};
}

std::string_view ControlHelp() {
  return "control commands (one per line on standard input):\n"
         "  sensor CAM VALUE     set the sensor inputs (hex digit, bit i = input i+1)\n"
         "  power CAM on|off     press the camera's own power switch\n"
         "  inject CODE [next]   answer the next command with CODE, not executing it\n"
         "  inject CODE cmd HH   the same for the next command with command byte HH\n"
         "  noanswer [next]      drop the next command: no execution, no answer\n"
         "  noanswer cmd HH      the same for the next command with command byte HH\n"
         "  late MS [next]       answer the next command MS ms after it arrived\n"
         "  late MS cmd HH       the same for the next command with command byte HH\n"
         "  stray HH [HH ...]    send these bytes between frames\n"
         "  split                write the next frame in two parts\n"
         "  remote CAM on|off    send a remote on (FD) / off (FC) frame\n"
         "  global CAM           send a global notify (F8) frame\n"
         "  state [CAM]          print the state of one or every camera\n"
         "  unplug               pull the line: the terminal and its link go away\n"
         "  replug               a new terminal behind the same link\n"
         "  clear                cancel pending injections, no-answers and split\n"
         "  help                 this list\n";
}

}  // namespace camsim
