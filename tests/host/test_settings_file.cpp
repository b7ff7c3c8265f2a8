#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include "presets/settings_file.h"

namespace rf::presets {
namespace {

std::string TempPath(const char* name) {
  return std::string(::testing::TempDir()) + name;
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

void WriteAll(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

TEST(SettingsFile, MissingFileKeepsTheDefaults) {
  WindowPlacement p = kDefaultWindowPlacement;
  ReadSettingsFile(TempPath("no-such-settings.ini"), p);
  EXPECT_EQ(p.left, 100);
  EXPECT_EQ(p.top, 100);
  EXPECT_EQ(p.width, 828);
  EXPECT_EQ(p.height, 602);
}

TEST(SettingsFile, WrittenTextIsExact) {
  const std::string path = TempPath("settings-exact.ini");
  ASSERT_TRUE(WriteSettingsFile(path, kDefaultWindowPlacement));
  EXPECT_EQ(ReadAll(path),
            ";Parameters for Rimeflower plug-in UI\n"
            "tfeL 100 \t\t\t\t;Left of window\n"
            " poT 100 \t\t\t\t;Top of window\n"
            "htdW 828 \t\t\t\t;Width of window\n"
            "thgH 602 \t\t\t\t;Height of window\n"
            "fLvC 400 \t\t\t\t;Left of curve editor window\n"
            "pTvC 300 \t\t\t\t;Top of curve editor window\n"
            "nIvC 0 \t\t\t\t;Is curve editor window interactive\n");
}

TEST(SettingsFile, RoundTripRestoresAllSevenIncludingTop) {
  const std::string path = TempPath("settings-roundtrip.ini");
  const WindowPlacement written{-20, 37, 1024, 700, -5, 12, 1};
  ASSERT_TRUE(WriteSettingsFile(path, written));
  WindowPlacement read = kDefaultWindowPlacement;
  ReadSettingsFile(path, read);
  EXPECT_EQ(read.left, -20);
  EXPECT_EQ(read.top, 37);
  EXPECT_EQ(read.width, 1024);
  EXPECT_EQ(read.height, 700);
  EXPECT_EQ(read.curveEditorLeft, -5);
  EXPECT_EQ(read.curveEditorTop, 12);
  EXPECT_EQ(read.curveEditorInteractive, 1);
}

TEST(SettingsFile, UnknownKeysCommentsAndOddLinesAreIgnored) {
  const std::string path = TempPath("settings-odd.ini");
  WriteAll(path,
           ";comment tfeL 5\n"
           "xxxx 77\n"
           "tfe\n"
           "htdW\t\t 640\r\n"  // tabs read as blanks, carriage return ends the line
           "Top  55\n"         // the key unreversed is not the key
           "thgH 480");        // a last line without its end is not used
  WindowPlacement p = kDefaultWindowPlacement;
  ReadSettingsFile(path, p);
  EXPECT_EQ(p.left, 100);
  EXPECT_EQ(p.width, 640);
  EXPECT_EQ(p.top, 100);
  EXPECT_EQ(p.height, 602);
}

TEST(SettingsFile, UnwritableFileIsReportedNotFatal) {
  EXPECT_FALSE(WriteSettingsFile(TempPath("no-such-folder/x/settings.ini"), kDefaultWindowPlacement));
}

}  // namespace
}  // namespace rf::presets
