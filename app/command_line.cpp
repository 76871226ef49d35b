#include "app/command_line.h"

#include <cstring>

CommandLine ParseCommandLine(int argc, const char* const* argv) {
    CommandLine line;
    bool options = true, named = false;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (options && arg[0] == '-' && arg[1] != '\0') {
            if (std::strcmp(arg, "--") == 0) {
                options = false;
                continue;
            }
            line.action = std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0
                              ? CommandLine::Action::Help
                          : std::strcmp(arg, "--version") == 0 ? CommandLine::Action::Version
                                                               : CommandLine::Action::Misuse;
            if (line.action == CommandLine::Action::Misuse)
                line.problem = std::string("unknown option ") + arg;
            line.path.clear();
            return line;
        }
        if (named) {
            line.action = CommandLine::Action::Misuse;
            line.problem = "more than one file";
            line.path.clear();
            return line;
        }
        line.path = arg;
        named = true;
    }
    return line;
}

std::string UsageText() {
    return "Usage: velmorin [FILE]\n"
           "Plays back a recording while you type its transcript in another program.\n"
           "\n"
           "  FILE       a WAVE file to open at start\n"
           "  --help     show this help and exit\n"
           "  --version  show the version and exit\n"
           "\n"
           "Whatever program has the keyboard, Alt+J pauses and resumes, Alt+K skips forward\n"
           "and Alt+H skips back.\n";
}
