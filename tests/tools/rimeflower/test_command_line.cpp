// The option parser every command shares.
#include <gtest/gtest.h>

#include "tools/rimeflower/command_line.h"

namespace rf::tools {
namespace {

struct Parsed {
  std::optional<int> stop;
  std::string output, folder, words, printed;
  bool flag = false;
};

Parsed Parse(const Args& args, bool dashIsWord = false) {
  Parsed p;
  const CommandLine line{"try", "the help\n", "unknown option",
                         {{"--output", "-o", kValue, StoreIn(p.output)},
                          {"--flag", nullptr, kFlag, SetTrue(p.flag)},
                          {"--folder", nullptr, kValue, StoreIn(p.folder), "--folder needs a subfolder"}},
                         [&p](const std::string& word) {
                           if (!p.words.empty()) return "more than one word ('" + p.words + "', '" + word + "')";
                           p.words = word;
                           return std::string();
                         },
                         dashIsWord};
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  p.stop = ParseCommandLine(line, args);
  p.printed = ::testing::internal::GetCapturedStdout() + ::testing::internal::GetCapturedStderr();
  return p;
}

TEST(CommandLine, ValuesFlagsAndWords) {
  Parsed p = Parse({"-o", "--flag", "in", "--folder=a=b"});
  EXPECT_FALSE(p.stop);
  EXPECT_EQ(p.output, "--flag");  // a value may begin with a dash
  EXPECT_FALSE(p.flag);
  EXPECT_EQ(p.words, "in");
  EXPECT_EQ(p.folder, "a=b");
  p = Parse({"--output=", "--flag"});
  EXPECT_FALSE(p.stop);
  EXPECT_EQ(p.output, "");
  EXPECT_TRUE(p.flag);
  EXPECT_EQ(Parse({"-"}, true).words, "-");
}

TEST(CommandLine, MistakesAndHelpEndTheParse) {
  const std::pair<Args, std::string> cases[] = {
      {{"-o"}, "try: unknown option '-o'"},
      {{"--flag=1"}, "try: unknown option '--flag=1'"},
      {{"-"}, "try: unknown option '-'"},
      {{"--folder"}, "try: --folder needs a subfolder"},
      {{"--folders", "x"}, "try: --folder needs a subfolder"},
      {{"a", "b"}, "try: more than one word ('a', 'b')"},
      {{"--bogus", "--help"}, "try: unknown option '--bogus'\n(see 'rimeflower try --help')"},
  };
  for (const auto& [args, message] : cases) {
    const Parsed p = Parse(args);
    EXPECT_EQ(p.stop, 2) << message;
    EXPECT_NE(p.printed.find("rimeflower " + message), std::string::npos) << p.printed;
  }
  const Parsed help = Parse({"--help", "--bogus"});
  EXPECT_EQ(help.stop, 0);
  EXPECT_EQ(help.printed, "the help\n");
}

}  // namespace
}  // namespace rf::tools
