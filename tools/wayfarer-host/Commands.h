#pragma once
// wayfarer-host's commands, callable in-process: main() hands them the real streams, tests and
// the benchmark their own.
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

namespace hosttool {

struct Console {
    std::ostream& out; // reports
    std::ostream& err; // errors, warnings and the progress bar
    bool progress;     // draw the progress bar; main() sets it when standard error is a terminal
};

// Runs one command line (without the program name) and returns the exit status: 0 on success,
// 1 when the command fails, 2 when the command line cannot be read.
int RunCommandLine(const std::vector<std::string>& args, Console& console);

// "  [#########           ]  45%" for the progress bar.
std::string ProgressLine(std::int64_t done, std::int64_t total);

} // namespace hosttool
