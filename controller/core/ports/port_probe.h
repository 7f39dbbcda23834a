// Testing a port from the Ports dialog: the application runs itself as a
// child process with the hidden option --probe-port TARGET, so that the test
// has a library session of its own while the application's session stays as
// it is. The child opens TARGET, asks the cascade for its size and camera 1
// for its unit name, and prints one line that the dialog reads back. This is
// the part without I/O: the answers, the line, and the words for the
// operator.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qtr90x {

inline constexpr const char* kProbePortOption = "--probe-port";

struct ProbeResult {
  enum class Outcome {
    kAnswered,    // the port opened and the cascade answered
    kNoAnswer,    // the port opened, nothing answered the cascade query
    kOpenFailed,  // QzOpen failed: errorCode and systemCode say why
    kNotFinished  // the child did not finish in time or said nothing useful
  };
  Outcome outcome = Outcome::kNotFinished;
  int errorCode = 0;     // QzGetLastError's code, for kOpenFailed
  int systemCode = 0;    // and its system code
  int cameras = -1;      // the cascade's size; -1 when it answered with an error
  std::string unitName;  // camera 1's unit name; empty when it did not answer
};

// The cascade's size from the answer to the cascade query (the decimal digit
// in the third byte, when the answer code is "00"); -1 otherwise.
int CascadeSize(std::string_view answer);

// The unit name carried in an answer to QzGetUnitName (the data between the
// answer code and the terminator), when the answer code is "00".
std::optional<std::string> UnitNameOf(std::string_view answer);

// The child's line: "qtr90x-probe answered cameras=3 unit=QT-R7",
// "qtr90x-probe no-answer" or "qtr90x-probe open-failed error=-1 system=2".
std::string FormatProbeLine(const ProbeResult& result);

// Reads a line back; nullopt for anything else.
std::optional<ProbeResult> ParseProbeLine(std::string_view line);

// The result in words for the dialog, with the reason and what to do when
// the port could not be used.
std::string ProbeSummary(const ProbeResult& result);

// For a test of the port the application itself holds, from what it knows:
// "In use by this application: 2 cameras on the line. Camera 1 is QT-R7."
std::string InUseSummary(int cameras, int selectedCamera, const std::string& unitName);

}  // namespace qtr90x
