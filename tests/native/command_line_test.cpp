// The native program's command line, as a user types it.
#include "app/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

CommandLine Parse(std::vector<const char*> args) {
    args.insert(args.begin(), "velmorin");
    return ParseCommandLine(static_cast<int>(args.size()), args.data());
}

TEST(CommandLineTest, NoneOrOnePathRunsAndHelpVersionAndMisusesAnswerFirst) {
    using A = CommandLine::Action;
    EXPECT_EQ(Parse({}).action, A::Run);
    EXPECT_EQ(Parse({}).path, "");
    EXPECT_EQ(Parse({"take one.wav"}).path, "take one.wav");
    EXPECT_EQ(Parse({"-"}).path, "-");
    EXPECT_EQ(Parse({"--", "--help"}).path, "--help");  // a file named so
    EXPECT_EQ(Parse({"--help"}).action, A::Help);
    EXPECT_EQ(Parse({"-h", "--bogus"}).action, A::Help);
    EXPECT_EQ(Parse({"a.wav", "--version"}).action, A::Version);
    const CommandLine unknown = Parse({"--loop", "a.wav"});
    EXPECT_EQ(unknown.action, A::Misuse);
    EXPECT_EQ(unknown.problem, "unknown option --loop");
    EXPECT_EQ(Parse({"a.wav", "b.wav"}).action, A::Misuse);
    EXPECT_EQ(Parse({"", "b.wav"}).action, A::Misuse);  // an empty name is a file too
    EXPECT_EQ(UsageText().rfind("Usage: velmorin [FILE]\n", 0), 0u);
}

}  // namespace
