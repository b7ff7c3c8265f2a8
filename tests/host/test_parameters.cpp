// The parameter record's scripting table: keys, names, narrowing on store,
// ranges and the pattern list. (Resetting to the defaults is checked where
// presets apply "Default".)
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <set>

#include "host/record/parameters.h"

namespace rf {
namespace {

ParameterRecord Defaults() {
  ParameterRecord r;
  std::memset(&r, 0xAB, sizeof(r));
  ResetToDefaults(r, true);
  return r;
}

TEST(ScriptedParameters, FortySevenDistinctKeysAndFieldsInsideTheRecord) {
  std::set<uint32_t> keys;
  std::set<size_t> offsets;
  for (const ScriptedParameter& p : kScriptedParameters) {
    keys.insert(p.key);
    offsets.insert(p.offset);
    const size_t width = p.width == FieldWidth::U8 ? 1 : 4;
    EXPECT_LE(p.offset + width, sizeof(ParameterRecord)) << p.name;
    EXPECT_EQ(p.type == ScriptType::Float, p.width == FieldWidth::F32) << p.name;
  }
  EXPECT_EQ(keys.size(), 47u);
  EXPECT_EQ(offsets.size(), 47u);
}

TEST(ScriptedParameters, LookupByKeyAndLooseName) {
  ASSERT_NE(FindParameterByKey(FourCC("CtnX")), nullptr);
  EXPECT_STREQ(FindParameterByKey(FourCC("CtnX"))->name, "Center X");
  EXPECT_EQ(FindParameterByKey(FourCC("zzzz")), nullptr);
  EXPECT_EQ(FindParameterByName("center_x"), FindParameterByKey(FourCC("CtnX")));
  EXPECT_EQ(FindParameterByName("CENTER X"), FindParameterByKey(FourCC("CtnX")));
  EXPECT_EQ(FindParameterByName("Lenght"), FindParameterByKey(FourCC("Lngh")));
  EXPECT_EQ(FindParameterByName("Length"), nullptr);  // the odd spelling is the name
  EXPECT_EQ(FindParameterByName(""), nullptr);
}

TEST(ScriptedParameters, NarrowingOnStore) {
  ParameterRecord r = Defaults();
  const ScriptedParameter& renderMode = *FindParameterByName("RenderMode");
  SetIntegerValue(r, renderMode, 0x1FF);  // a one-byte field keeps the low byte
  EXPECT_EQ(r.RenderMode, 0xFF);
  SetIntegerValue(r, renderMode, 256);
  EXPECT_EQ(r.RenderMode, 0);
  const ScriptedParameter& color = *FindParameterByName("Color");
  SetIntegerValue(r, color, -1);
  EXPECT_EQ(r.Color, 0xFFFFFFFFu);
  const ScriptedParameter& scale = *FindParameterByName("Scale");
  SetFloatValue(r, scale, 1e300);
  EXPECT_TRUE(std::isfinite(r.Scale));
  SetFloatValue(r, scale, std::numeric_limits<double>::quiet_NaN());
  EXPECT_EQ(r.Scale, 0.0f);
  SetFloatValue(r, scale, 0.1);
  EXPECT_EQ(r.Scale, 0.1f);
  EXPECT_DOUBLE_EQ(GetFloatValue(r, scale), double(0.1f));
}

TEST(ScriptedParameters, IntegerAndFloatViewsAgree) {
  const ParameterRecord r = Defaults();
  for (const ScriptedParameter& p : kScriptedParameters) {
    ParameterRecord copy = r;
    if (p.type == ScriptType::Integer)
      SetIntegerValue(copy, p, GetIntegerValue(r, p));
    else
      SetFloatValue(copy, p, GetFloatValue(r, p));
    EXPECT_EQ(std::memcmp(&copy, &r, sizeof(r)), 0) << p.name;
  }
}

TEST(ParameterRanges, DefaultsLieInsideTheirRanges) {
  const ParameterRecord r = Defaults();
  for (const ParameterRange& range : kParameterRanges) {
    const ScriptedParameter* p = FindParameterByName(range.name);
    ASSERT_NE(p, nullptr) << range.name;
    const double v = GetFloatValue(r, *p);
    EXPECT_GE(v, range.min) << range.name;
    EXPECT_LE(v, range.max) << range.name;
    EXPECT_LE(range.widestMin, range.min) << range.name;
    EXPECT_GE(range.widestMax, range.max) << range.name;
  }
  EXPECT_NE(FindParameterRange("MinInterval"), nullptr);
  EXPECT_EQ(FindParameterRange("Color"), nullptr);
}

TEST(PatternList, FamiliesMapToListEntries) {
  EXPECT_STREQ(kPatternNames[PatternListIndex(kFamilySingle, 4)], "Single 4");
  EXPECT_EQ(PatternListIndex(0, 3), 0);  // unknown family shows the first entry
  EXPECT_STREQ(kPatternNames[PatternListIndex(kFamilyFloral, 3)], "Floral 3");
  // A pattern number outside its family stays in the list.
  EXPECT_EQ(PatternListIndex(kFamilyGeometric, 0), 0);
  EXPECT_EQ(PatternListIndex(kFamilyFloral, 200), 5);
  EXPECT_EQ(PatternListIndex(kFamilySingle, 255), 9);
}

}  // namespace
}  // namespace rf

