// The factory presets shipped in Rimeflower/Presets/Basic: every file must be
// exactly what the program writes, load on any host and file system, and
// together they must show every pattern kind.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "host/record/parameters.h"
#include "presets/preset_file.h"
#include "tests/test_files.h"

namespace rf::presets {
namespace {

namespace fs = std::filesystem;

struct BasicPreset {
  std::string name;
  std::string text;
  ParameterRecord record;
};

std::vector<BasicPreset> LoadBasicLibrary() {
  std::vector<BasicPreset> presets;
  const char* source = std::getenv("RF_SOURCE_DIR");
  if (!source) return presets;
  const fs::path folder = fs::path(source) / "resources" / "Rimeflower" / "Presets" / "Basic";
  for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
    if (!entry.is_regular_file() || !HasPresetExtension(entry.path().filename().string())) continue;
    BasicPreset p;
    p.name = StripPresetExtension(entry.path().filename().string());
    p.text = rf::testing::ReadFile(entry.path());
    std::memset(&p.record, 0, sizeof p.record);
    ResetToDefaults(p.record, true);
    ParsePreset(reinterpret_cast<const uint8_t*>(p.text.data()), p.text.size(), p.record);
    presets.push_back(std::move(p));
  }
  std::sort(presets.begin(), presets.end(), [](const BasicPreset& a, const BasicPreset& b) { return a.name < b.name; });
  return presets;
}

const std::vector<BasicPreset>& Library() {
  static const std::vector<BasicPreset> presets = LoadBasicLibrary();
  return presets;
}

TEST(BasicPresets, LibraryHoldsAtLeastTwelvePresetsCoveringEveryPatternKind) {
  ASSERT_NE(std::getenv("RF_SOURCE_DIR"), nullptr);
  EXPECT_GE(Library().size(), 12u);
  std::set<int> kinds;
  for (const BasicPreset& p : Library()) kinds.insert(PatternListIndex(p.record.EffectKind, p.record.PatternKind));
  for (int kind = 0; kind < 10; ++kind) EXPECT_TRUE(kinds.count(kind)) << "no preset shows " << kPatternNames[kind];
}

// A file edited by hand (a changed value, a carriage return, a missing
// parameter, a comment with one tab too few) would still load, but silently
// differently from what the program writes; only an exact comparison shows it.
TEST(BasicPresets, EveryFileIsExactlyWhatTheProgramWrites) {
  for (const BasicPreset& p : Library()) {
    EXPECT_TRUE(IsPresetHeader(p.text.substr(0, p.text.find('\n')))) << p.name;
    EXPECT_EQ(p.text, FormatPreset(p.record)) << p.name;
  }
}

// The dialog lists "Default" first in the Basic library, and Windows compares
// file names without regard to case and refuses some characters.
TEST(BasicPresets, NamesAreUsableOnEveryFileSystemAndDistinctFromDefault) {
  std::set<std::string> folded;
  for (const BasicPreset& p : Library()) {
    std::string lower = p.name;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    EXPECT_TRUE(folded.insert(lower).second) << p.name << " differs from another name only in case";
    EXPECT_NE(lower, "default") << p.name;
    EXPECT_EQ(p.name.find_first_of("\\/:*?\"<>|\t"), std::string::npos) << p.name;
    EXPECT_TRUE(p.name.back() != ' ' && p.name.back() != '.') << p.name;
    for (unsigned char c : p.name) EXPECT_LT(c, 128) << p.name << ": names are single-byte ASCII";
  }
}

// A document may have no path: a preset that asks for one would fall back to
// the contours silently, so the factory presets never ask.
TEST(BasicPresets, EnumerationsHoldListedValuesAndEmittersNeedNoPath) {
  const int patternsPerFamily[] = {3, 3, 4};
  for (const BasicPreset& p : Library()) {
    const ParameterRecord& r = p.record;
    EXPECT_TRUE(r.EmitterType == 1 || r.EmitterType == 2) << p.name << ": Emitter Type " << int(r.EmitterType);
    EXPECT_TRUE(r.RenderMode >= 1 && r.RenderMode <= 5) << p.name;
    EXPECT_TRUE(r.MaskKind >= 1 && r.MaskKind <= 6) << p.name;
    EXPECT_TRUE(r.GrowDirect >= 1 && r.GrowDirect <= 8) << p.name;
    ASSERT_TRUE(r.EffectKind >= 1 && r.EffectKind <= 3) << p.name;
    EXPECT_TRUE(r.PatternKind >= 1 && r.PatternKind <= patternsPerFamily[r.EffectKind - 1]) << p.name;
    for (uint8_t flag : {r.UseBackLight, r.AlphaCut, r.UseGlass}) EXPECT_LE(flag, 1) << p.name;
    for (uint32_t colour : {r.BackgroundColor, r.Diffuse, r.Speculare, r.LightColor, r.Color})
      EXPECT_EQ(colour >> 24, 0u) << p.name << ": colours leave the top byte 0";
  }
}

// Values beyond a field's widest range cannot be set in the dialog and would
// be clamped there, so the preset would not look like its picture.
TEST(BasicPresets, ValuesLieWithinTheWidestRanges) {
  for (const BasicPreset& p : Library()) {
    for (int i = 0; i < kParameterRangeCount; ++i) {
      const ParameterRange& range = kParameterRanges[i];
      const ScriptedParameter* parameter = FindParameterByName(range.name);
      ASSERT_NE(parameter, nullptr) << range.name;
      const double value = GetFloatValue(p.record, *parameter);
      EXPECT_GE(value, range.widestMin) << p.name << ": " << range.name;
      EXPECT_LE(value, range.widestMax) << p.name << ": " << range.name;
    }
    EXPECT_LE(std::abs(p.record.CenterX), 100.0f) << p.name;
    EXPECT_LE(std::abs(p.record.CenterY), 100.0f) << p.name;
  }
}

}  // namespace
}  // namespace rf::presets
