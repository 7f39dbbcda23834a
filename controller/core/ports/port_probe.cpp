#include "core/ports/port_probe.h"

#include <charconv>

#include "core/ports/open_failure.h"

namespace qtr90x {

namespace {

constexpr std::string_view kPrefix = "qtr90x-probe ";

// An answer frame: FE, '0', the address, the two answer-code characters, the
// data, EF.
bool AnswerIsOk(std::string_view answer) {
  return answer.size() >= 6 && static_cast<unsigned char>(answer[0]) == 0xFE &&
         static_cast<unsigned char>(answer.back()) == 0xEF && answer[3] == '0' && answer[4] == '0';
}

// The number after "key=" in text, or nullopt.
std::optional<int> Field(std::string_view text, std::string_view key) {
  const size_t at = text.find(key);
  if (at == std::string_view::npos) {
    return std::nullopt;
  }
  const char* begin = text.data() + at + key.size();
  const char* end = text.data() + text.size();
  int value = 0;
  const auto [next, error] = std::from_chars(begin, end, value);
  if (error != std::errc() || (next != end && *next != ' ')) {
    return std::nullopt;
  }
  return value;
}

}  // namespace

int CascadeSize(std::string_view answer) {
  if (!AnswerIsOk(answer) || answer[2] < '0' || answer[2] > '9') {
    return -1;
  }
  return answer[2] - '0';
}

std::optional<std::string> UnitNameOf(std::string_view answer) {
  if (!AnswerIsOk(answer)) {
    return std::nullopt;
  }
  std::string name;
  for (char c : answer.substr(5, answer.size() - 6)) {
    // Only printable characters travel in the line and reach the dialog.
    name += c >= 0x20 && c < 0x7F ? c : '?';
  }
  return name;
}

std::string FormatProbeLine(const ProbeResult& result) {
  std::string line(kPrefix);
  switch (result.outcome) {
    case ProbeResult::Outcome::kAnswered:
      return line + "answered cameras=" + std::to_string(result.cameras) +
             " unit=" + result.unitName;
    case ProbeResult::Outcome::kNoAnswer:
      return line + "no-answer";
    case ProbeResult::Outcome::kOpenFailed:
      return line + "open-failed error=" + std::to_string(result.errorCode) +
             " system=" + std::to_string(result.systemCode);
    case ProbeResult::Outcome::kNotFinished:
      break;
  }
  return line + "not-finished";
}

std::optional<ProbeResult> ParseProbeLine(std::string_view line) {
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
    line.remove_suffix(1);
  }
  if (line.substr(0, kPrefix.size()) != kPrefix) {
    return std::nullopt;
  }
  line.remove_prefix(kPrefix.size());
  ProbeResult result;
  if (line == "no-answer") {
    result.outcome = ProbeResult::Outcome::kNoAnswer;
    return result;
  }
  if (line.substr(0, 12) == "open-failed ") {
    const auto error = Field(line, "error=");
    const auto system = Field(line, "system=");
    if (!error || !system) {
      return std::nullopt;
    }
    result.outcome = ProbeResult::Outcome::kOpenFailed;
    result.errorCode = *error;
    result.systemCode = *system;
    return result;
  }
  constexpr std::string_view kUnit = " unit=";
  const size_t unit = line.find(kUnit);
  const auto cameras = Field(line, "cameras=");
  if (line.substr(0, 9) != "answered " || unit == std::string_view::npos || !cameras) {
    return std::nullopt;
  }
  result.outcome = ProbeResult::Outcome::kAnswered;
  result.cameras = *cameras;
  result.unitName = std::string(line.substr(unit + kUnit.size()));
  return result;
}

namespace {

std::string CamerasText(int cameras) {
  return std::to_string(cameras) + (cameras == 1 ? " camera" : " cameras") + " on the line.";
}

}  // namespace

std::string ProbeSummary(const ProbeResult& result) {
  switch (result.outcome) {
    case ProbeResult::Outcome::kAnswered: {
      std::string text;
      if (result.cameras >= 0) {
        text = CamerasText(result.cameras) + " ";
      } else {
        text = "The cameras answered with an error. ";
      }
      text += result.unitName.empty() ? "Camera 1 did not tell its unit name."
                                      : "Camera 1 is " + result.unitName + ".";
      return text;
    }
    case ProbeResult::Outcome::kNoAnswer:
      return "The port opened, but no camera answered: check the cable, that the camera is "
             "switched on and that it is set to 9600 baud.";
    case ProbeResult::Outcome::kOpenFailed: {
      const std::string reason = OpenFailureReason(result.errorCode, result.systemCode);
      return reason.empty() ? "The port could not be opened." : reason;
    }
    case ProbeResult::Outcome::kNotFinished:
      break;
  }
  return "The test did not finish.";
}

std::string InUseSummary(int cameras, int selectedCamera, const std::string& unitName) {
  std::string text = "In use by this application";
  text += cameras > 0 ? ": " + CamerasText(cameras) : std::string(".");
  if (!unitName.empty()) {
    text += " Camera " + std::to_string(selectedCamera) + " is " + unitName + ".";
  }
  return text;
}

}  // namespace qtr90x
