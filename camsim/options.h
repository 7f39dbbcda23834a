// Command-line options of qtr90x-camsim.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "camsim/cascade.h"

namespace camsim {

struct Options {
  std::vector<const ModelTraits*> models;  // one per camera
  std::string link;
  int baud = 9600;
  bool fast = false;
  bool powerOn = true;
  bool pedestalReady = true;
  // Unset: the default (or the --fast default).
  std::optional<int> replyDelayMs;
  std::optional<int> powerDelayMs;
  std::optional<int> pedestalDelayMs;
  std::optional<int> moveDelayMs;
  bool help = false;
  bool version = false;
};

// Options, or an error text: one line, without the program's name.
struct ParsedOptions {
  std::optional<Options> options;
  std::string error;
};

// args without the program name.
ParsedOptions ParseOptions(const std::vector<std::string_view>& args);
CascadeConfig MakeConfig(const Options& options);
// The --help text (the manual page is made from it) and the --version line.
std::string Usage();
std::string VersionLine();

}  // namespace camsim
