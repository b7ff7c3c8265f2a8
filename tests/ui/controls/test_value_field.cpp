// The numeric field, the slider, the colour swatch and the "Set value" rules.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <string>
#include <vector>

#include "ui/controls/colour_swatch.h"
#include "ui/controls/set_value_rules.h"
#include "ui/controls/slider.h"
#include "ui/controls/value_field.h"

namespace rf::controls {
namespace {

TEST(ValueField, ArrowWidthAndLayoutFollowScreenDensity) {
  struct Case { int32_t dpi, s; };
  for (const Case c : {Case{72, 20}, Case{96, 20}, Case{120, 25}, Case{143, 25}, Case{144, 30}, Case{192, 30}}) {
    const SpinEditLayout l = LayoutSpinEdit(false, 120, 44, c.dpi);
    EXPECT_EQ(l.arrows.width, c.s) << c.dpi;
    EXPECT_EQ(l.arrows.x, 120 - c.s + 1) << c.dpi;
    EXPECT_EQ(l.edit.width + c.s, 120) << c.dpi;
  }
  // A zero-size field lays its children out without negative sizes.
  for (bool horizontal : {false, true}) {
    const SpinEditLayout l = LayoutSpinEdit(horizontal, 0, 0, 96);
    for (const Rect& r : {l.edit, l.arrows, l.slider}) {
      EXPECT_GE(r.width, 0);
      EXPECT_GE(r.height, 0);
    }
  }
}

TEST(ValueField, ParsesOnlyPlainDecimalText) {
  struct Case { std::string text; float value; };
  const std::vector<Case> cases = {
      {"12.5", 12.5f}, {" -3.25kg", -3.25f}, {"+7", 7.0f}, {".5", 0.5f}, {"1,5", 1.0f}, {"2e3", 2000.0f},
      {"", 0.0f}, {"abc", 0.0f}, {"nan", 0.0f}, {"-inf", 0.0f}, {"0x1F", 0.0f}, {"-", 0.0f},
      {"1e999", FLT_MAX}, {"-1e999", -FLT_MAX}, {"1e-999", 0.0f}};
  for (const Case& c : cases) EXPECT_EQ(ParseValue(c.text.c_str(), 32), c.value) << c.text;
  // Only the first characters are read: a 1000-digit text is the number of
  // its first 32 digits, and a null text is nothing.
  const std::string digits(1000, '1');
  EXPECT_FLOAT_EQ(ParseValue(digits.c_str(), 32), 1.1111111e31f);
  EXPECT_EQ(ParseValue(nullptr, 32), 0.0f);
}

TEST(ValueField, FormatsIntegersTowardZeroAndHidesNegativeZero) {
  struct Case { float v; bool integer; const char* text; };
  for (const Case c : {Case{2.7f, true, "2"}, Case{-2.7f, true, "-2"}, Case{1.005f, false, "1.00"},
                       Case{-0.00001f, false, "0.00"}, Case{-0.004f, false, "0.00"}, Case{NAN, false, "0.00"},
                       Case{1e12f, true, "2147483647"}, Case{INFINITY, true, "0"}})
    EXPECT_EQ(FormatValue(c.v, c.integer), c.text) << c.v;
}

TEST(ValueField, TypedValuesClampAndSmallChangesAreNotCommitted) {
  struct Case { const char* text; bool integer; bool commits; float value; };
  for (const Case c : {Case{"150", false, true, 100.0f}, Case{"-5", false, true, 0.0f},
                       Case{"50.01", false, false, 50.0f}, Case{"49.995", false, false, 50.0f},
                       Case{"50.02", false, true, 50.02f}, Case{"", false, true, 0.0f},
                       Case{"7.9", true, true, 7.0f}}) {
    SpinValue f;
    f.Configure(0, 100, 0, 100, c.integer, false, false, 0);
    f.SetValue(50);
    EXPECT_EQ(f.CommitText(c.text), c.commits) << c.text;
    EXPECT_FLOAT_EQ(f.value, c.value) << c.text;
  }
}

TEST(ValueField, ProgrammaticValuesWidenAnEditableRangeUpToTheWidest) {
  struct Case { bool editable; float set; float min, max; };
  for (const Case c : {Case{true, 150, 0, 150}, Case{true, 300, 0, 200}, Case{true, -80, -50, 100},
                       Case{false, 300, 0, 100}}) {
    SpinValue f;
    f.Configure(0, 100, -50, 200, false, c.editable, false, 0);
    ASSERT_TRUE(f.SetValue(c.set));
    EXPECT_EQ(f.value, c.set) << "the value itself is kept and shown";
    EXPECT_EQ(f.rangeMin, c.min);
    EXPECT_EQ(f.rangeMax, c.max);
  }
  SpinValue f;
  f.Configure(0, 100, -50, 200, false, true, false, 0);
  f.SetValue(10);
  for (float bad : {NAN, INFINITY, -INFINITY}) EXPECT_FALSE(f.SetValue(bad));
  EXPECT_FALSE(f.SetRange(NAN, 5));
  EXPECT_EQ(f.value, 10.0f);
  EXPECT_EQ(f.rangeMax, 100.0f);
  f.SetValue(3e10f);
  EXPECT_EQ(f.ArrowPosition(), INT32_MAX);
}

// ---- Slider ----------------------------------------------------------------

TEST(Slider, PositionsMapToValuesWithinRangeAndLimits) {
  SliderModel m;
  m.length = 110;  // 100 pixels of travel between the 5-pixel margins
  struct Case { int32_t pos; float value; };
  for (const Case c : {Case{5, 0}, Case{55, 50}, Case{105, 100}, Case{-40, 0}, Case{500, 100}})
    EXPECT_FLOAT_EQ(m.ValueAt(c.pos), c.value) << c.pos;
  for (float v : {0.0f, 12.0f, 50.0f, 99.0f}) {
    m.value = v;
    EXPECT_FLOAT_EQ(m.ValueAt(m.ThumbAt()), v);
  }
  m.SetLimits(true, 20, 80);
  EXPECT_FLOAT_EQ(m.ValueAt(5), 20.0f);
  EXPECT_FLOAT_EQ(m.ValueAt(105), 80.0f);
  m.length = 0;  // a zero-size slider answers its minimum, never a division by zero
  EXPECT_TRUE(std::isfinite(m.ValueAt(3)));
}

struct SliderRun {
  SliderModel model;
  SliderGesture gesture{model};
  std::vector<int32_t> notes;
  int scrolls = 0;
  void Take(const SliderActions& a) {
    if (a.scroll) ++scrolls;
    if (a.notify >= 0) notes.push_back(a.notify);
  }
  SliderRun() { model.length = 110; }
};

TEST(Slider, SecondClickWithinTheDelayResetsOnceAndDropsTheRelease) {
  SliderRun r;
  r.Take(r.gesture.ButtonDown(30));
  r.Take(r.gesture.ButtonUp(30, 1000));
  r.Take(r.gesture.DoubleClick());  // at 1100: the field resets to its default
  r.model.SetValue(7);
  r.Take(r.gesture.Move(95, true));  // jitter of the second press
  r.Take(r.gesture.ButtonUp(95, 1120));
  r.Take(r.gesture.Timer(1200));  // the first timer's message, now stale
  r.Take(r.gesture.Timer(1320));
  EXPECT_EQ(r.notes, std::vector<int32_t>{kSliderDoubleClick});
  EXPECT_EQ(r.scrolls, 0);
  EXPECT_EQ(r.model.value, 7.0f);
}

TEST(Slider, ReleaseCommitsTheLastPositionWhenTheTimerFires) {
  SliderRun r;
  r.model.notifyOnDrag = true;
  r.Take(r.gesture.ButtonDown(30));
  r.Take(r.gesture.Move(40, true));
  r.Take(r.gesture.ButtonUp(55, 1000));
  r.Take(r.gesture.Timer(1100));
  EXPECT_EQ(r.notes, std::vector<int32_t>{kSliderDragging});
  r.Take(r.gesture.Timer(1200));
  EXPECT_EQ(r.notes, (std::vector<int32_t>{kSliderDragging, kSliderCommitted}));
  EXPECT_FLOAT_EQ(r.model.value, 50.0f);
  // Without a timer the release is committed at once.
  SliderRun now;
  now.Take(now.gesture.ButtonDown(105));
  now.Take(now.gesture.ButtonUp(105, 0, false));
  EXPECT_EQ(now.notes, std::vector<int32_t>{kSliderCommitted});
  EXPECT_FLOAT_EQ(now.model.value, 100.0f);
}

// ---- Colour swatch ----------------------------------------------------------

TEST(ColourSwatch, OutlineIsReadableOnEveryColour) {
  struct Case { uint32_t colour, outline; };
  // Per channel: 0 -> 127, 100 -> 77, 200 -> 182, 255 -> 127.
  for (const Case c : {Case{0x000000, 0x7F7F7F}, Case{0xFFFFFF, 0x7F7F7F}, Case{0x64C800, 0x4DB67F}})
    EXPECT_EQ(SwatchOutline(c.colour, false), c.outline) << std::hex << c.colour;
  EXPECT_EQ(SwatchOutline(0x123456, true), 0xEDCBA9u);

  Canvas disabled(20, 12);
  PaintSwatch(disabled, 0x0000FF, false, false, 0xE8E8E8);
  EXPECT_EQ(disabled.At(3, 5), 0xE8E8E8u);
  EXPECT_EQ(disabled.At(4, 3), 0xFF0000u);  // red as a DIB pixel
  EXPECT_EQ(disabled.At(15, 8), 0xFF0000u);
  EXPECT_EQ(disabled.At(16, 8), 0xE8E8E8u);
  Canvas none(0, 0);
  PaintSwatch(none, 0, true, true, 0);
}

struct PickerLog {
  int16_t hostAnswer = 0;
  uint16_t hostPicks[3] = {0, 0, 0};
  std::string prompt;
  int systemCalls = 0;
  bool systemChooses = true;
};

TEST(ColourSwatch, HostPickerFirstThenTheSystemDialog) {
  auto host = [](void* c, const char* prompt, uint16_t rgb[3]) -> int16_t {
    auto* log = static_cast<PickerLog*>(c);
    log->prompt = prompt;
    if (log->hostAnswer == 0)
      for (int i = 0; i < 3; ++i) rgb[i] = log->hostPicks[i];
    return log->hostAnswer;
  };
  auto system = [](void* c, uint32_t* colour) {
    auto* log = static_cast<PickerLog*>(c);
    ++log->systemCalls;
    *colour = 0x00FF00;
    return log->systemChooses;
  };
  struct Case { bool withHost; int16_t answer; bool chosen; uint32_t colour; int systemCalls; };
  for (const Case c : {Case{true, 0, true, 0x0080FF, 0}, Case{true, -128, false, 0x112233, 0},
                       Case{true, -1, true, 0x00FF00, 1}, Case{false, 0, true, 0x00FF00, 1}}) {
    PickerLog log;
    log.hostAnswer = c.answer;
    log.hostPicks[0] = 65535;  // red full, green half, blue none
    log.hostPicks[1] = 32896;
    uint32_t colour = 0x112233;
    EXPECT_EQ(ChooseColour(&colour, c.withHost ? +host : nullptr, &log, system, &log), c.chosen);
    EXPECT_EQ(colour, c.colour);
    EXPECT_EQ(log.systemCalls, c.systemCalls);
    if (c.withHost) {
      EXPECT_EQ(log.prompt, "Select a Color");
    }
  }
  for (int c = 0; c < 256; ++c) EXPECT_EQ(FromComponent16(ToComponent16(static_cast<uint8_t>(c))), c);
}

// ---- "Set value" ---------------------------------------------------------------

SpinValue Field(bool integer) {
  SpinValue f;
  f.Configure(0, 100, -50, 200, integer, true, false, 10);
  f.SetValue(25);
  return f;
}

std::vector<std::string> Texts(const SetValueTexts& t) { return {t.name, t.current1, t.current2, t.type, t.range, t.value, t.max}; }

TEST(SetValue, OpeningTextsDescribeTheField) {
  EXPECT_EQ(Texts(SetValueRules::ForField(Field(false), "Density").Opening()),
            (std::vector<std::string>{"Density", "25.00", "Not used", "Float slider", "-50.00 ... 200.00", "25.00", "100.00"}));
  EXPECT_EQ(Texts(SetValueRules::ForField(Field(true), "Seed").Opening()),
            (std::vector<std::string>{"Seed", "25", "Not used", "Integer slider", "-50 ... 200", "25", "100"}));
}

TEST(SetValue, LeavingABoxKeepsTheRangeOrderedAndWithinTheWidest) {
  struct Case { SetValueBox box; const char* text; const char* shown; bool beep; };
  for (const Case c : {Case{SetValueBox::Min, "100", "0.00", true}, Case{SetValueBox::Min, "-80", "-50.00", true},
                       Case{SetValueBox::Min, "-20", "-20.00", false}, Case{SetValueBox::Max, "0", "100.00", true},
                       Case{SetValueBox::Max, "900", "200.00", true}, Case{SetValueBox::Max, "150", "150.00", false},
                       Case{SetValueBox::Value, "120", "100.00", false}, Case{SetValueBox::Value, "-1", "0.00", false}}) {
    SetValueRules r = SetValueRules::ForField(Field(false), "x");
    const SetValueBoxResult out = r.Leave(c.box, c.text);
    EXPECT_EQ(out.text, c.shown) << c.text;
    EXPECT_EQ(out.beep, c.beep) << c.text;
  }
  SetValueRules r = SetValueRules::ForField(Field(true), "x");
  EXPECT_EQ(r.Leave(SetValueBox::Min, "-7.8").text, "-7");
  r.Leave(SetValueBox::Max, "150");
  EXPECT_EQ(r.Leave(SetValueBox::Value, "140").text, "140") << "the accepted maximum counts";
  EXPECT_EQ(r.Escape(SetValueBox::Max), "150");
}

TEST(SetValue, OkRejectsOutOfRangeBoxesAndAppliesTheRest) {
  struct Case { const char *value, *min, *max; bool accepted; SetValueBox box; const char* text; };
  for (const Case c : {Case{"50", "-60", "100", false, SetValueBox::Min, "-50.00"},
                       Case{"50", "0", "250", false, SetValueBox::Max, "200.00"},
                       Case{"180", "0", "150", false, SetValueBox::Value, "150.00"},
                       Case{"180", "-10", "190", true, SetValueBox::Value, ""}}) {
    SetValueRules r = SetValueRules::ForField(Field(false), "x");
    const SetValueOutcome out = r.Ok(c.value, "", c.min, c.max);
    EXPECT_EQ(out.accepted, c.accepted) << c.value;
    if (!c.accepted) {
      EXPECT_EQ(out.rejected, c.box);
      EXPECT_EQ(out.text, c.text);
      continue;
    }
    SpinValue f = Field(false);
    ApplyToField(f, out);
    EXPECT_EQ(f.value, 180.0f);
    EXPECT_EQ(f.rangeMin, -10.0f);
    EXPECT_EQ(f.rangeMax, 190.0f);
  }
}

}  // namespace
}  // namespace rf::controls
