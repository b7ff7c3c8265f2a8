// `rimeflower presets` and the --preset argument, in a plug-in folder made
// by the test, with no values last used (so they are the defaults).
#include <filesystem>

#include "platform/platform.h"
#include "tests/tools/rimeflower/command_test.h"
#include "tools/rimeflower/arguments.h"

namespace rf::tools::testing {
namespace {

class PresetsCommand : public CommandTest {
 protected:
  void SetUp() override {
    CommandTest::SetUp();
    std::filesystem::create_directories(folder / "plugin/Rimeflower/Presets/Basic");
    std::filesystem::create_directories(folder / "plugin/Rimeflower/Presets/User");
  }
  int Presets(const std::string& arguments) { return Run("presets " + arguments + " --plugin-dir " + Quoted("plugin")); }
  static std::string User(const std::string& name) { return "plugin/Rimeflower/Presets/User/" + name; }
};

TEST_F(PresetsCommand, SaveTakesTheLastValuesAndChangesAndOverwritesOnlyWithForce) {
  ASSERT_EQ(Presets("save Plain"), 0) << err;
  EXPECT_NE(out.find("Plain.rmfpst"), std::string::npos);
  ASSERT_EQ(Presets("show Default"), 0);
  const std::string defaults = out;
  ASSERT_EQ(Presets("show Plain"), 0) << err;
  EXPECT_EQ(out, defaults);

  ASSERT_EQ(Presets("save Cold.rmfpst --set MinInterval=40.5 --set=BkCl=255 --set \"Center X=-12.25\""), 0) << err;
  EXPECT_FALSE(Exists(User("Cold.rmfpst.rmfpst")));
  ASSERT_EQ(Presets("show Cold"), 0) << err;
  for (const char* value : {"MinInterval=40.5\n", "Background Color=255\n", "Center X=-12.25\n"})
    EXPECT_NE(out.find(value), std::string::npos) << value;

  const std::string first = Read(User("Cold.rmfpst"));
  EXPECT_EQ(Presets("save Cold --set Scale=60"), 1);
  EXPECT_NE(err.find("--force"), std::string::npos);
  EXPECT_EQ(Read(User("Cold.rmfpst")), first);
  EXPECT_EQ(Presets("save Cold --set Scale=60 --force"), 0);
  EXPECT_NE(Read(User("Cold.rmfpst")), first);

  std::filesystem::remove_all(folder / User(""));
  EXPECT_EQ(Presets("save Lost"), 1);
  EXPECT_NE(err.find("Cannot Save File!"), std::string::npos);
}

TEST_F(PresetsCommand, ListShowAndDeleteInASubfolder) {
  std::filesystem::create_directories(folder / User("Deep/Er"));
  ASSERT_EQ(Presets("save Inside --folder Deep --set Koefficient=-3"), 0) << err;
  EXPECT_TRUE(Exists(User("Deep/Inside.rmfpst")));

  const std::string sep(1, platform::PathSeparator());
  ASSERT_EQ(Presets("list --library user --folder Deep"), 0);
  EXPECT_EQ(out, ".." + sep + "\nEr" + sep + "\nInside\n");
  ASSERT_EQ(Presets("list"), 0);
  EXPECT_NE(out.find("  Default\n"), std::string::npos);
  EXPECT_NE(out.find("  Deep" + sep + "\n"), std::string::npos);

  ASSERT_EQ(Presets("show Inside --library user --folder Deep"), 0) << err;
  EXPECT_NE(out.find("Koefficient=-3\n"), std::string::npos);

  EXPECT_EQ(Presets("delete Inside"), 1);  // not at the top
  ASSERT_EQ(Presets("delete Inside --folder Deep"), 0) << err;
  EXPECT_FALSE(Exists(User("Deep/Inside.rmfpst")));
}

TEST_F(PresetsCommand, BadUsage) {
  for (const char* arguments : {"", "rename x", "save", "save a/b", "save x --folder ../escape",
                                "save x --set NoSuchThing=1", "list --library factory", "list --library",
                                "save x --library basic", "list --force"})
    EXPECT_EQ(Presets(arguments), 2) << arguments;
  EXPECT_EQ(Presets("--help"), 0);
  EXPECT_FALSE(Exists(User("x.rmfpst")));
}

TEST_F(PresetsCommand, PresetArgumentByFileByNameAndDefault) {
  Write("plugin/Rimeflower/Presets/Basic/Shared.rmfpst", "Rimeflower Preset;\nlCkB 1\n");
  Write(User("Shared.rmfpst"), "Rimeflower Preset;\nlCkB 2\n");
  Write(User("OnlyMine.rmfpst"), "Rimeflower Preset;\nlCkB 3\n");
  Write("loose.txt", "rimeflower preset;\nlCkB 4\n");
  Write("junk.rmfpst", "\x7F" "ELF\n");

  const std::string plugin = Path("plugin");
  std::string error;
  ParameterRecord r;
  ResetToDefaults(r, true);
  ASSERT_TRUE(LoadPresetArgument(plugin, "Shared", r, error)) << error;
  EXPECT_EQ(r.BackgroundColor, 1u);  // Basic before User
  ASSERT_TRUE(LoadPresetArgument(plugin, "OnlyMine.rmfpst", r, error)) << error;
  EXPECT_EQ(r.BackgroundColor, 3u);
  ASSERT_TRUE(LoadPresetArgument(plugin, Path("loose.txt"), r, error)) << error;
  EXPECT_EQ(r.BackgroundColor, 4u);

  r.MinInterval = 3.0f;
  r.windowPlacement.left = 5;
  ASSERT_TRUE(LoadPresetArgument(plugin, "Default", r, error)) << error;
  EXPECT_EQ(r.MinInterval, 25.0f);
  EXPECT_EQ(r.BackgroundColor, 0u);
  EXPECT_EQ(r.windowPlacement.left, 5);

  r.BackgroundColor = 9;
  EXPECT_FALSE(LoadPresetArgument(plugin, Path("junk.rmfpst"), r, error));
  EXPECT_NE(error.find("not a Rimeflower preset"), std::string::npos);
  EXPECT_FALSE(LoadPresetArgument(plugin, "Nowhere", r, error));
  EXPECT_NE(error.find("Nowhere"), std::string::npos);
  EXPECT_EQ(r.BackgroundColor, 9u);
}

}  // namespace
}  // namespace rf::tools::testing
