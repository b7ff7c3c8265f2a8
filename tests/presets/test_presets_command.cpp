#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/platform.h"
#include "presets/preset_file.h"
#include "tests/presets/default_preset_text.h"
#include "tests/presets/temp_folder.h"
#include "tools/common/last_used.h"
#include "tools/rimeflower/commands.h"

namespace rf::tools {
namespace {

namespace fs = std::filesystem;
using testing::Defaults;

void SetEnvironment(const char* name, const std::string& value) {
#ifdef _WIN32
  _putenv_s(name, value.c_str());
#else
  setenv(name, value.c_str(), 1);
#endif
}

// A plug-in folder of its own and an empty host registry, so that the
// values last used are the defaults.
class PresetsCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SetEnvironment("XDG_CONFIG_HOME", (folder_ / "config").string());
    plugin_ = (folder_ / "plugin").string();
    fs::create_directories(Library("Basic"));
    fs::create_directories(Library("User"));
  }

  fs::path Library(const std::string& name) const { return fs::path(plugin_) / "Rimeflower" / "Presets" / name; }

  int Run(Args args) {
    args.push_back("--plugin-dir");
    args.push_back(plugin_);
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    const int rc = CmdPresets(args);
    out_ = ::testing::internal::GetCapturedStdout();
    err_ = ::testing::internal::GetCapturedStderr();
    return rc;
  }

  testing::TempFolder folder_;
  std::string plugin_;
  std::string out_, err_;
};

TEST_F(PresetsCommandTest, SaveWritesTheExactFormatAppliesChangesAndOverwritesOnlyWithForce) {
  ParameterRecord lastUsed{};
  ASSERT_FALSE(ReadLastUsedValues(lastUsed)) << "the test's registry should be empty";
  ASSERT_EQ(Run({"save", "Plain"}), 0) << err_;
  EXPECT_EQ(testing::ReadFile(Library("User") / "Plain.rmfpst"), std::string(testing::kDefaultPresetText));
  EXPECT_NE(out_.find("Plain.rmfpst"), std::string::npos);

  ASSERT_EQ(Run({"save", "Cold.rmfpst", "--set", "MinInterval=40.5", "--set=BkCl=255", "--set", "Center X=-12.25"}), 0)
      << err_;
  EXPECT_FALSE(fs::exists(Library("User") / "Cold.rmfpst.rmfpst"));
  ParameterRecord r = Defaults();
  ASSERT_TRUE(presets::ReadPresetFile((Library("User") / "Cold.rmfpst").string(), r));
  EXPECT_EQ(r.MinInterval, 40.5f);
  EXPECT_EQ(r.BackgroundColor, 255u);
  EXPECT_EQ(r.CenterX, -12.25f);

  const std::string first = testing::ReadFile(Library("User") / "Cold.rmfpst");
  EXPECT_EQ(Run({"save", "Cold", "--set", "Scale=60"}), 1);
  EXPECT_NE(err_.find("--force"), std::string::npos);
  EXPECT_EQ(testing::ReadFile(Library("User") / "Cold.rmfpst"), first);
  EXPECT_EQ(Run({"save", "Cold", "--set", "Scale=60", "--force"}), 0);
  EXPECT_NE(testing::ReadFile(Library("User") / "Cold.rmfpst"), first);

  fs::remove_all(Library("User"));
  EXPECT_EQ(Run({"save", "Lost"}), 1);
  EXPECT_NE(err_.find("Cannot Save File!"), std::string::npos);
}

TEST_F(PresetsCommandTest, ListShowAndDeleteInASubfolder) {
  fs::create_directories(Library("User") / "Deep" / "Er");
  ASSERT_EQ(Run({"save", "Inside", "--folder", "Deep", "--set", "Koefficient=-3"}), 0) << err_;
  EXPECT_TRUE(fs::exists(Library("User") / "Deep" / "Inside.rmfpst"));

  ASSERT_EQ(Run({"list", "--library", "user", "--folder", "Deep"}), 0);
  const std::string sep(1, platform::PathSeparator());
  EXPECT_EQ(out_, ".." + sep + "\nEr" + sep + "\nInside\n");
  ASSERT_EQ(Run({"list"}), 0);
  EXPECT_NE(out_.find("  Default\n"), std::string::npos);
  EXPECT_NE(out_.find("  Deep" + sep + "\n"), std::string::npos);

  ASSERT_EQ(Run({"show", "Inside", "--library", "user", "--folder", "Deep"}), 0) << err_;
  EXPECT_NE(out_.find("Koefficient=-3\n"), std::string::npos);
  EXPECT_NE(out_.find("Background Color=0\n"), std::string::npos);

  EXPECT_EQ(Run({"delete", "Inside"}), 1);  // not at the top
  ASSERT_EQ(Run({"delete", "Inside", "--folder", "Deep"}), 0) << err_;
  EXPECT_FALSE(fs::exists(Library("User") / "Deep" / "Inside.rmfpst"));
}

TEST_F(PresetsCommandTest, BadUsage) {
  EXPECT_EQ(Run({}), 2);
  EXPECT_EQ(Run({"rename", "x"}), 2);
  EXPECT_EQ(Run({"save"}), 2);
  EXPECT_EQ(Run({"save", "a/b"}), 2);
  EXPECT_EQ(Run({"save", "x", "--folder", "../escape"}), 2);
  EXPECT_EQ(Run({"save", "x", "--set", "NoSuchThing=1"}), 2);
  EXPECT_EQ(Run({"list", "--library", "factory"}), 2);
  EXPECT_EQ(Run({"save", "x", "--library", "basic"}), 2);
  EXPECT_EQ(Run({"--help"}), 0);
  EXPECT_FALSE(fs::exists(Library("User") / "x.rmfpst"));
}

TEST_F(PresetsCommandTest, PresetArgumentByFileByNameAndDefault) {
  testing::WriteFile(Library("Basic") / "Shared.rmfpst", "Rimeflower Preset;\nlCkB 1\n");
  testing::WriteFile(Library("User") / "Shared.rmfpst", "Rimeflower Preset;\nlCkB 2\n");
  testing::WriteFile(Library("User") / "OnlyMine.rmfpst", "Rimeflower Preset;\nlCkB 3\n");
  testing::WriteFile(folder_ / "loose.txt", "rimeflower preset;\nlCkB 4\n");
  testing::WriteFile(folder_ / "junk.rmfpst", "\x7F" "ELF\n");

  std::string error;
  ParameterRecord r = Defaults();
  ASSERT_TRUE(LoadPresetArgument(plugin_, "Shared", r, error)) << error;
  EXPECT_EQ(r.BackgroundColor, 1u);  // Basic before User
  ASSERT_TRUE(LoadPresetArgument(plugin_, "OnlyMine.rmfpst", r, error)) << error;
  EXPECT_EQ(r.BackgroundColor, 3u);
  ASSERT_TRUE(LoadPresetArgument(plugin_, (folder_ / "loose.txt").string(), r, error)) << error;
  EXPECT_EQ(r.BackgroundColor, 4u);

  r.MinInterval = 3.0f;
  r.windowPlacement.left = 5;
  ASSERT_TRUE(LoadPresetArgument(plugin_, "Default", r, error)) << error;
  EXPECT_EQ(r.MinInterval, 25.0f);
  EXPECT_EQ(r.BackgroundColor, 0u);
  EXPECT_EQ(r.windowPlacement.left, 5);

  r.BackgroundColor = 9;
  EXPECT_FALSE(LoadPresetArgument(plugin_, (folder_ / "junk.rmfpst").string(), r, error));
  EXPECT_NE(error.find("not a Rimeflower preset"), std::string::npos);
  EXPECT_FALSE(LoadPresetArgument(plugin_, "Nowhere", r, error));
  EXPECT_NE(error.find("Nowhere"), std::string::npos);
  EXPECT_EQ(r.BackgroundColor, 9u);
}

}  // namespace
}  // namespace rf::tools
