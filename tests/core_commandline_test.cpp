// The command line: files made absolute in order, the options, the toolkit's own options passed
// on, and the errors that end the start with status 2.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/CommandLine.h"

namespace quillet {
namespace {

CommandLine Parse(std::vector<std::string> args, const std::string& cwd = "/home/u/music") {
  static std::vector<std::string> keep;  // the parsed argv must outlive the result
  keep = std::move(args);
  keep.insert(keep.begin(), "quillet");
  static std::vector<char*> argv;
  argv.clear();
  for (std::string& a : keep) argv.push_back(a.data());
  return ParseCommandLine(static_cast<int>(argv.size()), argv.data(), cwd);
}

std::vector<std::string> ToolkitArgs(const CommandLine& c) {
  std::vector<std::string> out;
  for (char* a : c.toolkitArgs) out.push_back(a == nullptr ? "<null>" : a);
  return out;
}

TEST(CommandLine, FilesKeepTheirOrderAndAreResolvedAgainstTheCallersFolder) {
  const CommandLine c = Parse({"b.mp3", "/abs/a.wav", "./sub//c.mp3", "../up.mp3", "-", "--",
                               "--help", "-x.mp3", "\xb8\xe8.mp3"});
  EXPECT_EQ(c.action, CommandLine::Action::Run);
  EXPECT_FALSE(c.fromDesktopEntry);
  EXPECT_EQ(c.files, (std::vector<std::string>{
                         "/home/u/music/b.mp3", "/abs/a.wav", "/home/u/music/sub/c.mp3",
                         "/home/u/music/../up.mp3", "/home/u/music/-", "/home/u/music/--help",
                         "/home/u/music/-x.mp3", "/home/u/music/\xb8\xe8.mp3"}));
  EXPECT_EQ(ToolkitArgs(c), (std::vector<std::string>{"quillet", "<null>"}));
  EXPECT_EQ(AbsoluteName("song.mp3", "/"), "/song.mp3");
  EXPECT_EQ(AbsoluteName("dir/", "/m"), "/m/dir/");
}

TEST(CommandLine, OptionsAndTheToolkitsOwn) {
  EXPECT_EQ(Parse({"--help", "x.mp3"}).action, CommandLine::Action::Help);
  EXPECT_EQ(Parse({"-h"}).action, CommandLine::Action::Help);
  EXPECT_EQ(Parse({"--version"}).action, CommandLine::Action::Version);
  EXPECT_EQ(Parse({"-v", "--help"}).action, CommandLine::Action::Version);

  const CommandLine d = Parse({"--from-desktop-entry", "/m/a.mp3"});
  EXPECT_TRUE(d.fromDesktopEntry);
  EXPECT_EQ(d.files, std::vector<std::string>{"/m/a.mp3"});

  // Passed on with their values, whichever way they are written; they are never files.
  const CommandLine t =
      Parse({"-style", "fusion", "a.mp3", "--platform=offscreen", "-reverse", "-session", "s1"});
  EXPECT_EQ(t.action, CommandLine::Action::Run);
  EXPECT_EQ(t.files, std::vector<std::string>{"/home/u/music/a.mp3"});
  EXPECT_EQ(ToolkitArgs(t),
            (std::vector<std::string>{"quillet", "-style", "fusion", "--platform=offscreen",
                                      "-reverse", "-session", "s1", "<null>"}));
}

TEST(CommandLine, UnknownOptionsAndMissingValuesAreOneLineErrors) {
  for (const std::vector<std::string>& args : {std::vector<std::string>{"a.mp3", "--bogus"},
                                               {"-x"},
                                               {"--help", "--nope"},
                                               {"-reverse=1"},
                                               {"a.mp3", "-style"}}) {
    const CommandLine c = Parse(args);
    EXPECT_EQ(c.action, CommandLine::Action::Error) << args.back();
    EXPECT_NE(c.error.find(args.back()), std::string::npos) << c.error;
    EXPECT_EQ(c.error.find('\n'), std::string::npos) << c.error;
  }
}

}  // namespace
}  // namespace quillet
