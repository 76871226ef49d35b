// The native program's command line: one optional WAVE file to open at start, --help and
// --version. Anything else (another option, a second file) is a misuse.
#ifndef VELMORIN_APP_COMMAND_LINE_H
#define VELMORIN_APP_COMMAND_LINE_H

#include <string>

struct CommandLine {
    enum class Action { Run, Help, Version, Misuse };
    Action action = Action::Run;
    std::string path;     // Run: the file to open at start; empty for none
    std::string problem;  // Misuse: what was wrong, for the message
};

// Reads the arguments after the program's name, in order: --help (-h) and --version
// answer at once, "--" ends the options, and "-" alone names a file.
CommandLine ParseCommandLine(int argc, const char* const* argv);

// The usage text that --help prints, and a misuse prints on the error stream.
std::string UsageText();

#endif
