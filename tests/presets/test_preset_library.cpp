// The preset libraries and the dialog's preset panel over a folder made by
// each test: listing, loading, saving, overwriting, deleting, subfolders and
// names that must not reach outside the library.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "presets/preset_file.h"
#include "presets/preset_library.h"
#include "tests/presets/temp_folder.h"

namespace rf::presets {
namespace {

namespace fs = std::filesystem;
using Entries = std::vector<std::string>;

using testing::Defaults;

std::string PresetWith(const std::string& line) {
  return std::string("Rimeflower Preset;\nVersion 1;\n") + line + "\n";
}

// A presets folder with both libraries, some presets, folders and files
// that must not be listed.
class LibraryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    presets_ = folder_ / "Presets";
    Put("Basic/Frost.rmfpst", PresetWith("lCkB 11"));
    Put("Basic/alpine.RMFPST", PresetWith("lCkB 12"));
    Put("Basic/notes.txt", "not a preset\n");
    Put("Basic/.rmfpst", PresetWith("lCkB 13"));
    Put("Basic/Winter/Deep.rmfpst", PresetWith("lCkB 21"));
    Put("Basic/Winter/Inner/Core.rmfpst", PresetWith("lCkB 31"));
    Put("Basic/.hidden/Secret.rmfpst", PresetWith("lCkB 41"));
    Put("User/Mine.rmfpst", PresetWith("lCkB 51"));
    Put("User/Broken.rmfpst", "no header\nlCkB 52\n");
    fs::create_directories(presets_ / "User" / "Sub");
    fs::create_directories(presets_ / "Basic" / "folder.rmfpst");
    libraries_.SetPresetsFolder(presets_.string());  // no final separator
  }

  void Put(const std::string& relative, const std::string& bytes) { testing::WriteFile(presets_ / relative, bytes); }
  std::string Read(const std::string& relative) { return testing::ReadFile(presets_ / relative); }
  bool Exists(const std::string& relative) { return fs::exists(presets_ / relative); }

  testing::TempFolder folder_;
  fs::path presets_;
  PresetLibraries libraries_;
};

TEST(PresetPaths, SeparatorsAndFolders) {
  const std::string s(1, platform::PathSeparator());
  EXPECT_EQ(WithFinalSeparator("a\\"), "a\\");
  EXPECT_EQ(WithFinalSeparator(""), "");
  EXPECT_EQ(PresetsFolderFor("x/plugins"), "x" + s + "plugins" + s + "Rimeflower" + s + "Presets" + s);

  PresetLibraries libraries("p");
  libraries.SetSubfolder(Library::User, "a\\b");  // both separators divide folders
  EXPECT_EQ(libraries.Subfolder(Library::User), "a" + s + "b" + s);
  EXPECT_EQ(libraries.PresetPath(Library::User, "x.rmfpst"), "p" + s + "User" + s + "a" + s + "b" + s + "x.rmfpst");
}

TEST(PresetPaths, EnteringAndLeavingFolders) {
  const char s = platform::PathSeparator();
  PresetLibraries libraries("p/");
  libraries.EnterFolder(Library::User, "..");  // nothing above the top
  EXPECT_EQ(libraries.Subfolder(Library::User), "");
  libraries.EnterFolder(Library::User, "a");
  libraries.EnterFolder(Library::User, "b");
  EXPECT_EQ(libraries.Subfolder(Library::User), std::string("a") + s + "b" + s);
  EXPECT_EQ(libraries.Subfolder(Library::Basic), "");  // each library has its own
  libraries.EnterFolder(Library::User, "..");
  EXPECT_EQ(libraries.Subfolder(Library::User), std::string("a") + s);

  // A subfolder written with the other separator goes up just the same.
  libraries.SetSubfolder(Library::Basic, "x/y/");
  libraries.EnterFolder(Library::Basic, "..");
  EXPECT_EQ(libraries.Subfolder(Library::Basic), std::string("x") + s);
}

TEST_F(LibraryTest, ListingAndLoadingByNameWithOrWithoutExtension) {
  EXPECT_EQ(libraries_.List(Library::Basic),
            (Entries{"Default", "\tfolder.rmfpst", "\tWinter", "alpine", "Frost"}));
  EXPECT_EQ(libraries_.List(Library::User), (Entries{"\tSub", "Broken", "Mine"}));
  PresetLibraries elsewhere((folder_ / "nothing").string());
  EXPECT_EQ(elsewhere.List(Library::Basic), Entries{"Default"});
  EXPECT_EQ(elsewhere.List(Library::User), Entries{});

  ParameterRecord r = Defaults();
  ASSERT_TRUE(libraries_.Load(Library::Basic, "Frost.rmfpst", r));
  EXPECT_EQ(r.BackgroundColor, 11u);
  // Listed under its name without the extension, whatever the case of it.
  ASSERT_TRUE(libraries_.Load(Library::Basic, "alpine", r));
  EXPECT_EQ(r.BackgroundColor, 12u);

  r.BackgroundColor = 99;
  EXPECT_FALSE(libraries_.Load(Library::User, "Frost", r));  // that is a Basic preset
  EXPECT_FALSE(libraries_.Load(Library::User, "Broken", r));
  EXPECT_EQ(r.BackgroundColor, 99u);
}

TEST_F(LibraryTest, SelectingEntriesAndTheDefault) {
  PresetPanel panel(libraries_);
  ParameterRecord r = Defaults();

  ASSERT_EQ(panel.Entries(Library::Basic)[4], "Frost");
  EXPECT_EQ(panel.Select(Library::Basic, 4, r), SelectOutcome::Loaded);
  EXPECT_EQ(r.BackgroundColor, 11u);

  EXPECT_EQ(panel.Select(Library::Basic, 2, r), SelectOutcome::Folder);  // "\tWinter"
  EXPECT_EQ(r.BackgroundColor, 11u);

  EXPECT_EQ(panel.Select(Library::User, 1, r), SelectOutcome::LoadFailed);  // "Broken"
  EXPECT_EQ(r.BackgroundColor, 11u);
  EXPECT_TRUE(panel.DeleteEnabled());  // a preset entry, even one that did not load
  EXPECT_EQ(panel.Select(Library::User, 0, r), SelectOutcome::Folder);
  EXPECT_FALSE(panel.DeleteEnabled());

  EXPECT_EQ(panel.Select(Library::User, 7, r), SelectOutcome::Nothing);
  EXPECT_EQ(panel.Selection(Library::User), -1);

  // "Default" keeps the window and the cached scene.
  int texture = 0, triangles = 0;
  r.windowPlacement.left = 7;
  r.TextureCache = reinterpret_cast<uint8_t*>(&texture);
  r.CachedTriangles = reinterpret_cast<__Triangle3ds*>(&triangles);
  r.CachedTriangleCount = 5;
  r.MinInterval = 99.0f;
  r.SceneDirty = 0;

  EXPECT_EQ(panel.Select(Library::Basic, 0, r), SelectOutcome::DefaultApplied);
  EXPECT_EQ(r.MinInterval, 25.0f);
  EXPECT_EQ(r.SceneDirty, 1);
  EXPECT_EQ(r.windowPlacement.left, 7);
  EXPECT_EQ(r.TextureCache, reinterpret_cast<uint8_t*>(&texture));
  EXPECT_EQ(r.CachedTriangles, reinterpret_cast<__Triangle3ds*>(&triangles));
  EXPECT_EQ(r.CachedTriangleCount, 5u);
}

TEST_F(LibraryTest, OpeningFoldersRelists) {
  PresetPanel panel(libraries_);
  ParameterRecord r = Defaults();
  EXPECT_FALSE(panel.Open(Library::Basic, 4));  // a preset: nothing to open
  ASSERT_TRUE(panel.Open(Library::Basic, 2));   // "\tWinter"
  EXPECT_EQ(panel.Entries(Library::Basic), (Entries{"Default", "\t..", "\tInner", "Deep"}));
  EXPECT_EQ(panel.Select(Library::Basic, 3, r), SelectOutcome::Loaded);
  EXPECT_EQ(r.BackgroundColor, 21u);
  ASSERT_TRUE(panel.Open(Library::Basic, 1));  // ".."
  EXPECT_EQ(panel.Entries(Library::Basic)[2], "\tWinter");
  EXPECT_EQ(libraries_.Subfolder(Library::Basic), "");
}

struct Script {
  std::vector<std::string> names;
  std::vector<OverwriteAnswer> answers;
  std::vector<std::string> asked;
  size_t nameCalls = 0;

  PresetPanel::SaveQuestions Questions() {
    PresetPanel::SaveQuestions q;
    q.askName = [this](std::string& name) {
      if (nameCalls >= names.size()) return false;
      name = names[nameCalls++];
      return true;
    };
    q.confirmOverwrite = [this](const std::string& name) {
      asked.push_back(name);
      const OverwriteAnswer a = answers.front();
      answers.erase(answers.begin());
      return a;
    };
    return q;
  }
};

TEST_F(LibraryTest, SaveWritesOnceAndAsksBeforeOverwriting) {
  PresetPanel panel(libraries_);
  ParameterRecord r = Defaults();
  Script typed{{"Glacier.rmfpst"}, {}, {}};  // typed with the extension: written once
  EXPECT_EQ(panel.Save(r, typed.Questions()), SaveOutcome::Saved);
  EXPECT_EQ(Read("User/Glacier.rmfpst"), testing::DefaultPresetText());
  EXPECT_FALSE(Exists("User/Glacier.rmfpst.rmfpst"));
  EXPECT_EQ(panel.Entries(Library::User), (Entries{"\tSub", "Broken", "Mine", "Glacier"}));
  EXPECT_TRUE(typed.asked.empty());

  const std::string before = Read("User/Mine.rmfpst");
  Script no{{"Mine", "Other"}, {OverwriteAnswer::No}, {}};
  EXPECT_EQ(panel.Save(r, no.Questions()), SaveOutcome::Saved);
  EXPECT_EQ(no.nameCalls, 2u);
  EXPECT_EQ(Read("User/Mine.rmfpst"), before);
  EXPECT_TRUE(Exists("User/Other.rmfpst"));

  Script cancel{{"Mine.RMFPST"}, {OverwriteAnswer::Cancel}, {}};
  EXPECT_EQ(panel.Save(r, cancel.Questions()), SaveOutcome::Cancelled);
  EXPECT_EQ(cancel.asked, Entries{"Mine"});
  EXPECT_EQ(Read("User/Mine.rmfpst"), before);
  for (Script nothing : {Script{{}, {}, {}}, Script{{""}, {}, {}}})
    EXPECT_EQ(panel.Save(r, nothing.Questions()), SaveOutcome::Cancelled);

  // Overwriting adds no second entry and leaves nothing selected.
  ParameterRecord ignoredSelection = Defaults();
  panel.Select(Library::User, 2, ignoredSelection);  // "Mine"
  r.BackgroundColor = 77;
  Script yes{{"Mine"}, {OverwriteAnswer::Yes}, {}};
  EXPECT_EQ(panel.Save(r, yes.Questions()), SaveOutcome::Overwritten);
  EXPECT_EQ(yes.asked, Entries{"Mine"});
  EXPECT_EQ(panel.Entries(Library::User), (Entries{"\tSub", "Broken", "Mine", "Glacier", "Other"}));
  EXPECT_EQ(panel.Selection(Library::User), -1);
  EXPECT_FALSE(panel.DeleteEnabled());
  ParameterRecord back = Defaults();
  ASSERT_TRUE(libraries_.Load(Library::User, "Mine", back));
  EXPECT_EQ(back.BackgroundColor, 77u);
}

TEST_F(LibraryTest, DeletePresetAndFolderEntries) {
  PresetPanel panel(libraries_);
  ParameterRecord r = Defaults();
  EXPECT_EQ(panel.DeleteSelected(), DeleteOutcome::Nothing);

  panel.Select(Library::User, 2, r);  // "Mine"
  EXPECT_EQ(panel.DeleteSelected(), DeleteOutcome::Deleted);
  EXPECT_FALSE(Exists("User/Mine.rmfpst"));
  EXPECT_EQ(panel.Entries(Library::User), (Entries{"\tSub", "Broken"}));
  EXPECT_FALSE(panel.DeleteEnabled());

  panel.Select(Library::User, 0, r);  // "\tSub"
  EXPECT_EQ(panel.DeleteSelected(), DeleteOutcome::FolderHidden);
  EXPECT_TRUE(fs::is_directory(presets_ / "User" / "Sub"));
  EXPECT_EQ(panel.Entries(Library::User), Entries{"Broken"});

  // A file that went away behind the panel's back keeps its entry.
  fs::remove(presets_ / "User" / "Broken.rmfpst");
  panel.Select(Library::User, 0, r);
  EXPECT_EQ(panel.DeleteSelected(), DeleteOutcome::Failed);
  EXPECT_EQ(panel.Entries(Library::User), Entries{"Broken"});
}

TEST_F(LibraryTest, SaveLoadAndDeleteActOnTheUserSubfolder) {
  PresetPanel panel(libraries_);
  ParameterRecord r = Defaults();
  ASSERT_TRUE(panel.Open(Library::User, 0));  // "\tSub"
  EXPECT_EQ(panel.Entries(Library::User), Entries{"\t.."});

  r.Scale = 55.0f;
  Script script{{"Mine"}, {}, {}};  // "Mine" exists only at the top
  EXPECT_EQ(panel.Save(r, script.Questions()), SaveOutcome::Saved);
  EXPECT_TRUE(script.asked.empty());
  EXPECT_TRUE(Exists("User/Sub/Mine.rmfpst"));
  EXPECT_EQ(panel.Entries(Library::User), (Entries{"\t..", "Mine"}));

  ParameterRecord back = Defaults();
  EXPECT_EQ(panel.Select(Library::User, 1, back), SelectOutcome::Loaded);
  EXPECT_EQ(back.Scale, 55.0f);
  EXPECT_EQ(back.BackgroundColor, 0u);  // not the top-level "Mine"

  EXPECT_EQ(panel.DeleteSelected(), DeleteOutcome::Deleted);
  EXPECT_FALSE(Exists("User/Sub/Mine.rmfpst"));
  EXPECT_TRUE(Exists("User/Mine.rmfpst"));

  // A save that cannot create its file changes nothing.
  libraries_.SetSubfolder(Library::User, "does/not/exist");
  PresetPanel lost(libraries_);
  Script failing{{"X"}, {}, {}};
  EXPECT_EQ(lost.Save(r, failing.Questions()), SaveOutcome::Failed);
  EXPECT_EQ(lost.Entries(Library::User), Entries{"\t.."});
}

TEST_F(LibraryTest, SaveOverAFileWhoseExtensionDiffersInCase) {
  Put("User/Loud.RMFPST", PresetWith("lCkB 1"));
  std::vector<std::string> asked;
  const SaveOutcome outcome = libraries_.SaveUserPreset("Loud", Defaults(), [&](const std::string& name) {
    asked.push_back(name);
    return OverwriteAnswer::Yes;
  });
  EXPECT_EQ(outcome, SaveOutcome::Overwritten);
  EXPECT_EQ(asked, Entries{"Loud"});
  EXPECT_EQ(Read("User/Loud.RMFPST"), testing::DefaultPresetText());
  size_t louds = 0;
  for (const auto& e : fs::directory_iterator(presets_ / "User")) louds += e.path().stem() == "Loud";
  EXPECT_EQ(louds, 1u);
}

TEST(PresetNames, NeverReachOutsideTheLibrary) {
  for (const char* good : {"Frost", "Blue ice 2", "a.b", "COM0", "console", "Ünïcode"})
    EXPECT_EQ(PresetNameProblem(good), "") << good;
  for (const char* bad : {"", "..", ".", "a/b", "..\\x", "x:y", "a?", "tab\tname", "NUL", "nul.txt", "Com3",
                          "LPT9.rmfpst", "CON", "trailing.", "trailing "})
    EXPECT_NE(PresetNameProblem(bad), "") << bad;
  EXPECT_NE(PresetNameProblem(std::string(201, 'a')), "");
}

TEST_F(LibraryTest, RefusedNamesWriteAndDeleteNothing) {
  PresetPanel panel(libraries_);
  std::vector<std::string> problems;
  Script script{{"../Escape", "NUL", "Fine"}, {}, {}};
  PresetPanel::SaveQuestions questions = script.Questions();
  questions.refuseName = [&](const std::string& problem) { problems.push_back(problem); };
  EXPECT_EQ(panel.Save(Defaults(), questions), SaveOutcome::Saved);
  EXPECT_EQ(problems.size(), 2u);
  EXPECT_FALSE(Exists("Escape.rmfpst"));
  EXPECT_TRUE(Exists("User/Fine.rmfpst"));
  EXPECT_EQ(libraries_.SaveUserPreset("../../Escape", Defaults(), nullptr), SaveOutcome::Refused);
  EXPECT_FALSE(libraries_.DeleteUserPreset("../Basic/Frost"));
  EXPECT_TRUE(Exists("Basic/Frost.rmfpst"));
}

}  // namespace
}  // namespace rf::presets
