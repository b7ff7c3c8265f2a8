#include <gtest/gtest.h>

#include <cfloat>
#include <clocale>
#include <cmath>
#include <cstring>
#include <string>

#include "presets/preset_file.h"
#include "tests/presets/temp_folder.h"

namespace rf::presets {
namespace {

using testing::Defaults;

// Every byte set, so that a field the reader forgets to write shows.
ParameterRecord Scrambled() {
  ParameterRecord r;
  std::memset(&r, 0x5A, sizeof r);
  return r;
}

bool Parse(const std::string& text, ParameterRecord& r) {
  return ParsePreset(reinterpret_cast<const uint8_t*>(text.data()), text.size(), r);
}

const ScriptedParameter& Param(const char* name) {
  const ScriptedParameter* p = FindParameterByName(name);
  EXPECT_NE(p, nullptr) << name;
  return *p;
}

// Floats are written with two decimals, so a round trip keeps them only to that.
void ExpectSameFields(const ParameterRecord& expected, const ParameterRecord& actual, double tolerance = 0.0) {
  for (const ScriptedParameter& p : kScriptedParameters) {
    if (p.width == FieldWidth::F32) {
      const double e = GetFloatValue(expected, p);
      EXPECT_NEAR(GetFloatValue(actual, p), e, tolerance ? tolerance + 1e-6 * std::fabs(e) : 0.0) << p.name;
    } else {
      EXPECT_EQ(GetIntegerValue(actual, p), GetIntegerValue(expected, p)) << p.name;
    }
  }
}

const std::string kHeader = "Rimeflower Preset;\nVersion 1;\n";

TEST(PresetWriter, DefaultsAreWrittenByteForByte) {
  EXPECT_EQ(FormatPreset(Defaults()), testing::DefaultPresetText());
}

TEST(PresetWriter, LineFormsByFieldWidth) {
  ParameterRecord r = Defaults();
  r.BackgroundColor = 0xFFFFFFFFu;  // written as "%d" of the 32-bit value
  r.EmitterType = 200;              // one byte, but the 32-bit form
  r.UseGlass = 255;
  r.Refraction = -0.004f;
  EXPECT_EQ(FormatParameterLine(r, Param("Background Color")), "lCkB -1 \t\t\t\t;Background Color\n");
  EXPECT_EQ(FormatParameterLine(r, Param("Emitter Type")), "pTmE 200 \t\t\t\t;Emitter Type\n");
  EXPECT_EQ(FormatParameterLine(r, Param("UseGlass")), "lGsU 255 \t\t\t\t;UseGlass \n");
  EXPECT_EQ(FormatParameterLine(r, Param("Refraction")), "crfR -0.00 \t\t\t\t;Refraction \n");
}

TEST(PresetWriter, DecimalPointIgnoresTheProcessLocale) {
  const char* previous = std::setlocale(LC_NUMERIC, nullptr);
  const std::string saved = previous ? previous : "C";
  bool switched = false;
  for (const char* name : {"de_DE.UTF-8", "de_DE", "fr_FR.UTF-8", "ru_RU.UTF-8"})
    if (std::setlocale(LC_NUMERIC, name) != nullptr) {
      switched = true;
      break;
    }
  const std::string text = FormatPreset(Defaults());
  ParameterRecord back = Scrambled();
  const bool parsed = Parse(text, back);
  std::setlocale(LC_NUMERIC, saved.c_str());
  if (!switched) GTEST_SKIP() << "no locale with a decimal comma is installed";
  EXPECT_EQ(text, testing::DefaultPresetText());
  EXPECT_TRUE(parsed);
  EXPECT_EQ(back.Dispers, 12.5f);
}

TEST(PresetRoundTrip, ExtremeValuesOfEveryWidthThroughAFile) {
  ParameterRecord r = Defaults();
  r.BackgroundColor = 0xFFFFFFFFu;
  r.Color = 0x80000000u;
  r.RandomSeed = 0x7FFFFFFFu;
  r.EmitterType = 255;
  r.RenderMode = 0;
  r.CenterX = -100.0f;
  r.CenterY = 99.994f;
  r.Turn = -360.0f;
  r.BumpPercent = 123456.78f;
  testing::TempFolder folder;
  const std::string path = (folder / "p.rmfpst").string();
  ASSERT_TRUE(WritePresetFile(path, r));
  ParameterRecord back = Scrambled();
  ASSERT_TRUE(ReadPresetFile(path, back));
  ExpectSameFields(r, back, 0.005);
  EXPECT_FALSE(ReadPresetFile((folder / "none.rmfpst").string(), back));
  EXPECT_FALSE(WritePresetFile((folder / "missing" / "b.rmfpst").string(), r));
}

TEST(PresetReader, HeaderIsCheckedWithoutRegardToCase) {
  for (const char* header : {"rimeflower preset;", "RIMEFLOWER PRESET;", "Rimeflower Preset; and more"}) {
    ParameterRecord r = Defaults();
    EXPECT_TRUE(Parse(std::string(header) + "\nlCkB 9\n", r)) << header;
    EXPECT_EQ(r.BackgroundColor, 9u) << header;
  }
}

TEST(PresetReader, RefusedFilesChangeNothing) {
  const std::string refused[] = {
      "",                                          // empty
      "Rimeflower Preset;",                        // header without its line end
      "Rimeflower Preset\nlCkB 9\n",               // header one character short
      " Rimeflower Preset;\nlCkB 9\n",             // blank before the header
      "Version 1;\nRimeflower Preset;\nlCkB 9\n",  // header not first
      std::string("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16),
  };
  for (const std::string& text : refused) {
    ParameterRecord r = Scrambled();
    r.SceneDirty = 0;
    ParameterRecord before;
    std::memcpy(&before, &r, sizeof r);
    EXPECT_FALSE(Parse(text, r));
    EXPECT_EQ(std::memcmp(&before, &r, sizeof r), 0);
  }
  ParameterRecord r = Defaults();
  r.SceneDirty = 0;
  ASSERT_TRUE(Parse(kHeader, r));
  EXPECT_EQ(r.SceneDirty, 1);
}

TEST(PresetReader, KeysAreReadReversedAndCaseSensitive) {
  ParameterRecord r = Defaults();
  ASSERT_TRUE(Parse(kHeader + "lCkB 255 whatever follows ;Background Color\n", r));
  EXPECT_EQ(r.BackgroundColor, 255u);
  for (const char* ignored : {"BkCl 77\n", "lckb 77\n", "lCk 77\n", ";CkB 77\n"}) {
    ParameterRecord s = Defaults();
    ASSERT_TRUE(Parse(kHeader + ignored, s)) << ignored;
    ExpectSameFields(Defaults(), s);
  }
}

TEST(PresetReader, LaterLinesWinMissingKeysKeepTheirFieldsAndATruncatedLineIsUnused) {
  ParameterRecord r = Defaults();
  r.Width = 33.0f;
  ASSERT_TRUE(Parse(kHeader + "nInM 5\n   \t nInM \t 6.5\nhplA 1\nlCkB 77", r));
  EXPECT_EQ(r.MinInterval, 6.5f);
  EXPECT_EQ(r.Alpha, 1.0f);
  EXPECT_EQ(r.Width, 33.0f);
  EXPECT_EQ(r.Beta, 45.0f);
  EXPECT_EQ(r.BackgroundColor, 0u);
}

TEST(PresetReader, NarrowingByFieldWidth) {
  ParameterRecord r = Defaults();
  ASSERT_TRUE(Parse(kHeader +
                        "MdnR 261\n"        // one byte: the low byte
                        "KksM -1\n"         // 255
                        "tIxM 3.99\n"       // integer part
                        "SdnR -2.5\n"       // -2 as 32 bits
                        "ffiD 4294967297\n" // low 32 bits
                        "nihS 1.23456789\n" // float: narrowed, not rounded to 2 decimals
                        "htdW 1e39\n"       // beyond a float: saturated, never infinite
                        "hgnL -1e999\n",
                    r));
  EXPECT_EQ(r.RenderMode, 5);
  EXPECT_EQ(r.MaskKind, 255);
  EXPECT_EQ(r.MaxIterations, 3u);
  EXPECT_EQ(r.RandomSeed, 0xFFFFFFFEu);
  EXPECT_EQ(r.Diffuse, 1u);
  EXPECT_EQ(r.Shininess, 1.23456789f);
  EXPECT_EQ(r.Width, FLT_MAX);
  EXPECT_EQ(r.Lenght, -FLT_MAX);
}

TEST(PresetReader, UnreadableAndThousandDigitValues) {
  ParameterRecord r = Defaults();
  ASSERT_TRUE(Parse(kHeader + "cepS abc\nnihS ,5\nhtdW\nhgn\nlCgL 12,5\n", r));
  EXPECT_EQ(r.Speculare, 0u);
  EXPECT_EQ(r.Shininess, 0.0f);
  EXPECT_EQ(r.Width, 0.0f);     // a key with no value at all
  EXPECT_EQ(r.Lenght, 12.0f);   // three characters hold no key
  EXPECT_EQ(r.LightColor, 12u);

  ASSERT_TRUE(Parse(kHeader + "SdnR " + std::string(63, '0') + "3" + std::string(936, '9') + "\n", r));
  EXPECT_EQ(r.RandomSeed, 0u);  // 63 zeros: the run ends before the 3
  ASSERT_TRUE(Parse(kHeader + "SdnR " + std::string(1000, '9') + "\n", r));
  EXPECT_EQ(r.RandomSeed, 0xFFFFFFFFu);  // saturated, then its low 32 bits
}

TEST(PresetNames, ExtensionIsStrippedOnlyWhenPresent) {
  for (auto [name, stripped] : {std::pair{"Frost.RMFPST", "Frost"}, {"a.rmfpst", "a"}, {".rmfpst", ".rmfpst"},
                                {"Frostrmfpst", "Frostrmfpst"}, {"Frost.rmfpst.rmfpst", "Frost.rmfpst"}})
    EXPECT_EQ(StripPresetExtension(name), stripped) << name;
  EXPECT_FALSE(HasPresetExtension("x.rmfps"));
}

}  // namespace
}  // namespace rf::presets
