#include <gtest/gtest.h>

#include <cfloat>
#include <cstdint>
#include <string>
#include <vector>

#include "presets/text_lines.h"

namespace rf::presets {
namespace {

std::vector<std::string> Lines(const std::string& text) {
  return SplitLines(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

TEST(TextLines, LineEndsAndTabs) {
  // Every byte below 14 ends a line; CR LF gives an extra empty line; the
  // last line without its end is dropped; a tab reads as a blank.
  EXPECT_EQ(Lines("a\tb\nc\rd\r\ne"), (std::vector<std::string>{"a b", "c", "d", ""}));
  EXPECT_EQ(Lines(std::string("x\0y\x0Dz\x0E\n", 7)), (std::vector<std::string>{"x", "y", "z\x0E"}));
  EXPECT_TRUE(Lines("no end").empty());
}

TEST(TextLines, ChunkedFeedingMatchesWholeBuffer) {
  const std::string text = "first line\r\nsecond\tline\nthird\x01last without end";
  std::vector<std::string> chunked;
  LineSplitter splitter;
  for (char c : text)
    splitter.Feed(reinterpret_cast<const uint8_t*>(&c), 1, [&](const std::string& line) {
      chunked.push_back(line);
      return true;
    });
  EXPECT_EQ(chunked, Lines(text));
}

TEST(TextLines, RunawayLinesStayBoundedButKeepWhatReadersNeed) {
  // Ten megabytes of blanks before a key, and ten megabytes of digits after
  // one: the kept line is short, and both still read as the rules say.
  std::string blanks(10u << 20, ' ');
  std::string text = blanks + "lCkB" + blanks + "255\n" + "lCkB " + std::string(10u << 20, '7') + "\n";
  std::vector<std::string> lines = Lines(text);
  ASSERT_EQ(lines.size(), 2u);
  for (const std::string& line : lines) EXPECT_LE(line.size(), kMaxLineLength);

  KeyedValue kv;
  ASSERT_TRUE(ParseKeyedLine(lines[0], true, kv));
  EXPECT_EQ(std::string(kv.key, 4), "lCkB");
  EXPECT_EQ(kv.valueRun, "255");
  ASSERT_TRUE(ParseKeyedLine(lines[1], true, kv));
  EXPECT_EQ(kv.valueRun, std::string(kMaxValueRun, '7'));
}

TEST(KeyedLines, KeyValueAndWhatHoldsNoKey) {
  KeyedValue kv;
  ASSERT_TRUE(ParseKeyedLine("   nInM   25.50 ;MinInterval", true, kv));
  EXPECT_EQ(std::string(kv.key, 4), "nInM");
  EXPECT_EQ(kv.valueRun, "25.50");

  // Without skipping, a key may begin with a blank (the settings file's
  // " poT"), and leading blanks are part of it.
  ASSERT_TRUE(ParseKeyedLine(" poT 7", false, kv));
  EXPECT_EQ(std::string(kv.key, 4), " poT");
  EXPECT_EQ(kv.valueRun, "7");

  EXPECT_FALSE(ParseKeyedLine("   abc", true, kv));
  EXPECT_FALSE(ParseKeyedLine("  ;------Emitter------", true, kv));
  EXPECT_FALSE(ParseKeyedLine("", true, kv));

  // The run stops at the first character outside ",-.0123456789Ee".
  ASSERT_TRUE(ParseKeyedLine("lCkB 1,5e3x9", true, kv));
  EXPECT_EQ(kv.valueRun, "1,5e3");
  ASSERT_TRUE(ParseKeyedLine("lCkB +5", true, kv));
  EXPECT_EQ(kv.valueRun, "");
}

TEST(ValueRuns, ReadAsTheCLibraryWould) {
  for (auto [run, value] : {std::pair{"-.5", -0.5}, {"12,5", 12.0}, {"1e", 1.0}, {"2e2", 200.0}, {"5-3", 5.0}})
    EXPECT_EQ(ValueRunAsDouble(run), value) << run;
  for (const char* unreadable : {"", "-", ".", ",", "e5", "--5", "-e"}) EXPECT_EQ(ValueRunAsDouble(unreadable), 0.0) << unreadable;

  EXPECT_EQ(ValueRunAsInteger("-3.99"), -3);
  EXPECT_EQ(ValueRunAsInteger("4294967295"), 4294967295LL);

  // Only the exponent can leave a double's range: saturate, or underflow.
  EXPECT_EQ(ValueRunAsDouble("1e999"), DBL_MAX);
  EXPECT_EQ(ValueRunAsDouble("-1e999"), -DBL_MAX);
  EXPECT_EQ(ValueRunAsDouble("1e-999"), 0.0);
  EXPECT_EQ(ValueRunAsInteger("1e999"), INT64_MAX);
  EXPECT_EQ(ValueRunAsInteger("-" + std::string(62, '9')), INT64_MIN);
}

}  // namespace
}  // namespace rf::presets
