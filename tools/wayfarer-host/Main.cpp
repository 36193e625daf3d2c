// wayfarer-host: a command-line VST 2.4 host for processing audio files through a plug-in.
#include "Commands.h"

#include <iostream>
#include <string>
#include <vector>

#if defined(_WIN32)
#include <io.h>
#define WAYFARER_ISATTY _isatty
#else
#include <unistd.h>
#define WAYFARER_ISATTY isatty
#endif

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    hosttool::Console console{std::cout, std::cerr, WAYFARER_ISATTY(2) != 0};
    return hosttool::RunCommandLine(args, console);
}
