// Runs qzcli's calls against the library and prints the traffic.
#pragma once

#include <cstdio>

#include "qzcli/command_line.h"

namespace qzcli {

// Opens the port if asked, makes every call in order (waiting for the answer
// to each command that sent a frame), listens options.seconds more, closes.
// Returns the process exit status: 0, or 1 when the port could not be opened.
int RunCalls(const Options& options, FILE* out);

}  // namespace qzcli
