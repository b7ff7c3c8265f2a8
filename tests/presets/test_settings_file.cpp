// The dialog's settings file: its exact text, a round trip of all seven
// fields, and files a user edited or that cannot be there.
#include <gtest/gtest.h>

#include <cstring>

#include "presets/settings_file.h"
#include "tests/presets/temp_folder.h"

namespace rf::presets {
namespace {

TEST(SettingsFile, WrittenTextIsExactAndReadsBackWhole) {
  testing::TempFolder folder;
  const std::string path = (folder / "settings.ini").string();
  ASSERT_TRUE(WriteSettingsFile(path, kDefaultWindowPlacement));
  EXPECT_EQ(testing::ReadFile(path),
            ";Parameters for Rimeflower plug-in UI\n"
            "tfeL 100 \t\t\t\t;Left of window\n"
            " poT 100 \t\t\t\t;Top of window\n"
            "htdW 828 \t\t\t\t;Width of window\n"
            "thgH 602 \t\t\t\t;Height of window\n"
            "fLvC 400 \t\t\t\t;Left of curve editor window\n"
            "pTvC 300 \t\t\t\t;Top of curve editor window\n"
            "nIvC 0 \t\t\t\t;Is curve editor window interactive\n");

  // " poT" begins with a blank: the reader must not skip it.
  const WindowPlacement written{-20, 37, 1024, 700, -5, 12, 1};
  ASSERT_TRUE(WriteSettingsFile(path, written));
  WindowPlacement read = kDefaultWindowPlacement;
  ReadSettingsFile(path, read);
  EXPECT_EQ(std::memcmp(&read, &written, sizeof read), 0);

  EXPECT_FALSE(WriteSettingsFile((folder / "no-such-folder/x/settings.ini").string(), kDefaultWindowPlacement));
  ReadSettingsFile((folder / "no-such-settings.ini").string(), read);
  EXPECT_EQ(std::memcmp(&read, &written, sizeof read), 0);  // no file: nothing changes
}

TEST(SettingsFile, UnknownKeysCommentsAndOddLinesAreIgnored) {
  testing::TempFolder folder;
  testing::WriteFile(folder / "odd.ini",
                     ";comment tfeL 5\n"
                     "xxxx 77\n"
                     "tfe\n"
                     "htdW\t\t 640\r\n"  // tabs read as blanks, carriage return ends the line
                     "Top  55\n"         // the key unreversed is not the key
                     "thgH 480");        // a last line without its end is not used
  WindowPlacement p = kDefaultWindowPlacement;
  ReadSettingsFile((folder / "odd.ini").string(), p);
  EXPECT_EQ(p.left, 100);
  EXPECT_EQ(p.width, 640);
  EXPECT_EQ(p.top, 100);
  EXPECT_EQ(p.height, 602);
}

}  // namespace
}  // namespace rf::presets
