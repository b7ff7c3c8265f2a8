// The preview container's gestures and painting, and the dials.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "ui/controls/preview.h"
#include "ui/controls/rotor.h"
#include "ui/controls/set_value_rules.h"

namespace rf::controls {
namespace {

// A dialog's side of the preview: the shared values and a log of the calls.
struct Dialog {
  PreviewShared shared;
  float centreX = 55.0f, centreY = 55.0f;  // the record's fields
  std::vector<std::pair<float, float>> setterCalls;
  int refreshes = 0;
  Dialog() {
    shared.imageWidth = 400;
    shared.imageHeight = 300;
    shared.recordCentreX = &centreX;
    shared.recordCentreY = &centreY;
    shared.context = this;
    shared.centreSetter = [](void* c, float x, float y) { static_cast<Dialog*>(c)->setterCalls.push_back({x, y}); };
    shared.refresh = [](void* c) { ++static_cast<Dialog*>(c)->refreshes; };
  }
};

PreviewRecord Preview(Dialog& d, PreviewMode mode = PreviewMode::Main, int handles = 0) {
  PreviewRecord r;
  r.width = 400;
  r.height = 300;
  r.mode = mode;
  r.shared = &d.shared;
  r.handles.resize(size_t(handles));
  for (auto& h : r.handles) h.visible = 1;
  return r;
}

TEST(Preview, RightClickPlacesTheCentreInCentreUnits) {
  struct Case { int32_t x, y; float zoom; float cx, cy; };
  for (const Case c : {Case{200, 150, 1, 0, 0}, Case{0, 0, 1, -100, 100}, Case{-30, -5, 1, -100, 100},
                       Case{100, 75, 2, 0, 0}, Case{400, 300, 1, 100, -100}}) {
    Dialog d;
    d.shared.zoom = c.zoom;
    PreviewRecord r = Preview(d);
    r.showCentre = 1;
    r.fieldsAttached = true;
    const PreviewActions down = r.RightDown(c.x, c.y);
    EXPECT_TRUE(down.showInFields);
    r.RightUp();
    EXPECT_FLOAT_EQ(d.centreX, c.cx);
    EXPECT_FLOAT_EQ(d.centreY, c.cy);
    ASSERT_EQ(d.setterCalls.size(), 1u);
    EXPECT_FLOAT_EQ(d.setterCalls[0].first, c.cx);
    EXPECT_EQ(d.refreshes, 1);
  }
  // Without an image size right-button gestures do nothing.
  Dialog d;
  d.shared.imageWidth = 0;
  PreviewRecord r = Preview(d);
  r.showCentre = 1;
  r.RightDown(10, 10);
  r.Move(20, 20, false, true, false);
  r.RightUp();
  EXPECT_TRUE(d.setterCalls.empty());
  EXPECT_EQ(d.refreshes, 0);
  EXPECT_EQ(d.centreX, 55.0f);
}

TEST(Preview, LeftDragPansAndScrollsWhenTheGestureEnds) {
  for (bool control : {false, true}) {
    Dialog d;
    PreviewRecord r = Preview(d);
    r.scrollX = 50;
    r.scrollY = 40;
    r.LeftDown(100, 100, control);
    const PreviewActions move = r.Move(120, 90, true, false, control);
    EXPECT_EQ(move.redrawNow, !control);
    EXPECT_EQ(r.panX, 20);
    EXPECT_EQ(r.panY, -10);
    EXPECT_TRUE(r.LeftUp(1000).startTimer);
    EXPECT_EQ(r.Timer(1100).notify, -1) << "too early";
    EXPECT_EQ(r.scrollX, 50);
    const PreviewActions end = r.Timer(1200);
    EXPECT_EQ(end.notify, control ? -1 : kPreviewGestureEnd);
    EXPECT_EQ(r.scrollX, 30);
    EXPECT_EQ(r.scrollY, 50);
    EXPECT_FALSE(r.Panning());
  }
}

TEST(Preview, DoubleClickNotifiesTwoAndNoGestureEnd) {
  Dialog d;
  PreviewRecord r = Preview(d);
  std::vector<int32_t> notes;
  auto take = [&](const PreviewActions& a) { if (a.notify >= 0) notes.push_back(a.notify); };
  take(r.LeftDown(10, 10, false));
  take(r.LeftUp(1000));
  take(r.LeftDoubleClick());
  take(r.LeftUp(1100));
  take(r.Timer(1200));
  take(r.Timer(1300));
  EXPECT_EQ(notes, std::vector<int32_t>{kPreviewDoubleClick});
  EXPECT_EQ(r.scrollX, 0);
}

TEST(Preview, HandlesAreGrabbedWithinTenPixelsAndDragTheCentre) {
  struct Case { int32_t x, y; bool grabbed; };
  for (const Case c : {Case{210, 140, true}, Case{190, 160, true}, Case{211, 150, false}, Case{200, 139, false}}) {
    Dialog d;
    PreviewRecord r = Preview(d, PreviewMode::Main, 1);
    Canvas canvas(400, 300);
    r.SetPicture(canvas.Data(), 400, 300);
    PaintPreview(canvas, r, 0);  // screen position (200, 150)
    r.LeftDown(c.x, c.y, false);
    EXPECT_EQ(r.handles[0].dragging != 0, c.grabbed) << c.x << "," << c.y;
  }
  Dialog d;
  PreviewRecord r = Preview(d, PreviewMode::Main, 1);
  r.handles[0].screenX = 200;
  r.handles[0].screenY = 150;
  r.LeftDown(200, 150, false);
  r.Move(300, 150, true, false, false);  // to (50, 0)
  r.Move(300, 0, true, false, false);    // to (50, 100)
  // Each move wrote the handle's previous position to the centre.
  ASSERT_EQ(d.setterCalls.size(), 2u);
  EXPECT_EQ(d.setterCalls[0], std::make_pair(0.0f, 0.0f));
  EXPECT_EQ(d.setterCalls[1], std::make_pair(50.0f, 0.0f));
  r.LeftUp(0);
  EXPECT_EQ(r.Timer(200).notify, kPreviewGestureEnd);
  EXPECT_EQ(d.centreX, 50.0f);
  EXPECT_EQ(d.centreY, 100.0f);
  EXPECT_EQ(r.scrollX, 0) << "a handle drag does not scroll";
}

TEST(Preview, MarksInvertAndPixelsDrawnTwiceComeBack) {
  // Arm ends, the square's right column and bottom row; where arms and the
  // square cross the pixel is inverted twice; the square's rows stop at x + 9.
  // The one-sided styles keep to their arms.
  struct Case { int32_t style; int32_t x, y; bool inverted; };
  for (const Case k : {Case{0, 30, 50, true}, Case{0, 29, 50, false}, Case{0, 69, 50, true}, Case{0, 70, 50, false},
                       Case{0, 50, 50, false}, Case{0, 40, 50, false}, Case{0, 60, 45, true}, Case{0, 40, 60, true},
                       Case{0, 60, 60, false}, Case{1, 30, 50, true}, Case{1, 69, 50, false}, Case{2, 69, 50, true},
                       Case{2, 50, 30, false}, Case{3, 50, 30, true}, Case{3, 50, 69, false}}) {
    Canvas m(100, 100, 0x102030);
    DrawMark(m, 50, 50, k.style);
    EXPECT_EQ(m.At(k.x, k.y), k.inverted ? 0xEFDFCFu : 0x102030u) << k.style << " " << k.x << "," << k.y;
  }
  Canvas c(100, 100, 0x102030);
  DrawMark(c, 50, 50, 0);
  DrawMark(c, 50, 50, 0);
  for (int32_t y = 0; y < 100; ++y)
    for (int32_t x = 0; x < 100; ++x) ASSERT_EQ(c.At(x, y), 0x102030u);
  DrawMark(c, -5000, 2000000000, 0);  // off the canvas: clipped
}

TEST(Preview, OverlayTintsTowardGreyAfterTheMarks) {
  Dialog d;
  PreviewRecord r = Preview(d);
  r.width = 3;
  r.height = 1;
  const Pixel picture[3] = {0x000000, 0xFFFFFF, 0x204060};
  r.SetPicture(picture, 3, 1);
  const uint8_t overlay[3] = {128, 255, 0};
  r.SetOverlay(overlay, 3, true);
  Canvas c(3, 1);
  PaintPreview(c, r, 0);
  EXPECT_EQ(c.At(0, 0), 0x606060u);  // trunc(192 * 128 / 255) = 96
  EXPECT_EQ(c.At(1, 0), kPreviewGrey);
  EXPECT_EQ(c.At(2, 0), 0x204060u);
  // An overlay of the wrong size is not painted.
  r.SetOverlay(overlay, 2, true);
  PaintPreview(c, r, 0);
  EXPECT_EQ(c.At(1, 0), 0xFFFFFFu);
}

TEST(Preview, PlaceholdersAndBadSizesPaintCleanly) {
  Dialog d;
  PreviewRecord r = Preview(d);
  Canvas c(400, 300);
  EXPECT_FALSE(PaintPreview(c, r, 0xE8E8E8));  // no picture: diagonals on the background
  EXPECT_EQ(c.At(0, 0), kPreviewDiagonal);
  EXPECT_EQ(c.At(10, 0), 0xE8E8E8u);
  d.shared.imageWidth = d.shared.imageHeight = 0;
  d.shared.zoom = 0.0f;
  r.showCentre = 1;
  r.handles.resize(2);
  r.handles[0].visible = r.handles[1].visible = 1;
  const Pixel one = 0x123456;
  r.SetPicture(&one, 1, 1);
  EXPECT_TRUE(PaintPreview(c, r, 0));
  EXPECT_EQ(c.At(399, 299), 0x123456u);
  Canvas none(0, 0);
  EXPECT_FALSE(PaintPreview(none, r, 0));
  EXPECT_FALSE(r.SetPicture(&one, 100000, 1));
}

TEST(Preview, NavigatorFrameInvertsItsOutlineOnce) {
  Dialog d;
  d.shared.zoom = 2.0f;
  PreviewRecord main = Preview(d);
  main.viewWidth = 20;
  main.viewHeight = 10;
  d.shared.mainPreview = &main;
  PreviewRecord nav = Preview(d, PreviewMode::Navigator);
  nav.width = nav.height = 100;
  nav.navScale = 0.25f;
  nav.offsetX = 5;
  nav.offsetY = 5;
  nav.frameX = 10;
  nav.frameY = 20;
  std::vector<Pixel> white(100 * 100, 0xFFFFFF);
  nav.SetPicture(white.data(), 100, 100);
  nav.viewWidth = nav.viewHeight = 100;
  Canvas c(100, 100);
  PaintPreview(c, nav, 0xE8E8E8);
  EXPECT_EQ(nav.frameWidth, 11);  // trunc(20 * 0.25 * 2 + 1.5)
  EXPECT_EQ(nav.frameHeight, 6);
  int32_t inverted = 0;
  for (int32_t y = 0; y < 100; ++y)
    for (int32_t x = 0; x < 100; ++x) inverted += c.At(x, y) == 0 ? 1 : 0;
  EXPECT_EQ(inverted, 2 * 12 + 2 * 5);
  EXPECT_EQ(c.At(15, 25), 0u);  // corners too
  EXPECT_EQ(c.At(26, 31), 0u);
  // Dragging in the navigator moves the frame.
  nav.LeftDown(30, 30, false);
  nav.Move(35, 28, true, false, false);
  EXPECT_EQ(nav.frameX, 15);
  EXPECT_EQ(nav.frameY, 18);
}

// ---- Rotors -----------------------------------------------------------------

RotorRecord Dial(RotorKind kind, int32_t size = 100) {
  RotorRecord r;
  r.kind = kind;
  r.width = r.height = size;
  return r;
}

TEST(Rotor, AnglesFromTheMouse) {
  struct Case { RotorKind kind; int32_t x, y; float angle; };
  for (const Case c : {Case{RotorKind::AngleDial, 50, 10, 0}, Case{RotorKind::AngleDial, 90, 10, 45},
                       Case{RotorKind::AngleDial, 90, 90, 135}, Case{RotorKind::AngleDial, 10, 90, 225},
                       Case{RotorKind::AngleDial, 10, 10, 315}, Case{RotorKind::Polar, 90, 51, 0},
                       Case{RotorKind::Polar, 90, 10, 45}, Case{RotorKind::Polar, 50, 10, 90},
                       Case{RotorKind::Polar, 10, 90, -135}}) {
    RotorRecord r = Dial(c.kind);
    r.TrackPosition(c.x, c.y, 50);
    EXPECT_NEAR(r.angle, c.angle, c.kind == RotorKind::Polar && c.y == 51 ? 1.5 : 1e-3) << c.x << "," << c.y;
  }
  RotorRecord r = Dial(RotorKind::AngleDial);
  r.angle = 123.0f;
  r.TrackPosition(100, 50, 50);  // level with the centre, on the rim
  EXPECT_EQ(r.angle, 123.0f);
  EXPECT_NEAR(r.elevation, 0.0f, 1e-4);
  r.TrackPosition(50, 50, 50);
  EXPECT_NEAR(r.elevation, 90.0f, 1e-4);
}

// Drags a dial around clockwise `turns` times, starting just right of the top.
void Circle(RotorRecord& r, int turns) {
  r.Press(55, 10, false);
  for (int step = 1; step <= turns * 12; ++step) {
    const double a = (5.0 + step * 30.0) * kRotorPi / 180.0;
    r.Drag(static_cast<int32_t>(std::lround(50 + 40 * std::sin(a))), static_cast<int32_t>(std::lround(50 - 40 * std::cos(a))));
  }
}

TEST(Rotor, DraggingPastTheTopCountsTurnsUpToTheLimit) {
  RotorRecord free = Dial(RotorKind::AngleDial);
  Circle(free, 2);
  EXPECT_GT(free.value, 720.0f);
  EXPECT_EQ(free.turns, 2.0f);
  RotorRecord limited = Dial(RotorKind::AngleDial);
  limited.SetLimits(true, 0, 360);
  limited.turns = 5;
  Circle(limited, 2);
  EXPECT_EQ(limited.value, 360.0f);
}

TEST(Rotor, TypedAndSteppedValuesKeepToTheLimits) {
  struct Case { const char* text; float value; };
  for (const Case c : {Case{"400", 360}, Case{"10", 10}, Case{"-10", 0}, Case{"0", 0}, Case{"junk", 0}}) {
    RotorRecord r = Dial(RotorKind::AngleDial);
    r.SetLimits(true, 0, 360);
    const RotorActions a = r.EditNotify(kEditEnterCode, c.text);
    EXPECT_TRUE(a.notify);
    EXPECT_EQ(r.value, c.value) << c.text;
  }
  RotorRecord r = Dial(RotorKind::AngleDial);
  r.SetLimits(true, 0, 360);
  r.SetValue(359.5f, 0);
  EXPECT_TRUE(r.Step(+1, false).notify);
  EXPECT_EQ(r.value, 360.0f);
  EXPECT_FALSE(r.Step(-1, true).notify);
  EXPECT_EQ(r.value, 359.0f);
  r.value = 12.0f;
  r.EditNotify(kEditEscapeCode, "999");
  EXPECT_EQ(r.Texts().edit, "12.00");
}

TEST(Rotor, ValueDialMapsItsAngleRange) {
  RotorRecord r = Dial(RotorKind::ValueDial);
  r.SetLimits(true, 0, 300);
  r.valueMin = 0;
  r.valueMax = 100;
  r.SetValue(150, 0);
  EXPECT_FLOAT_EQ(r.mappedValue, 50.0f);
  r.SetMappedValue(250);
  EXPECT_FLOAT_EQ(r.mappedValue, 100.0f);
  EXPECT_FLOAT_EQ(r.value, 300.0f);
  r.integer = true;
  r.SetValue(100, 0);
  EXPECT_EQ(r.mappedValue, 33.0f);
  EXPECT_EQ(r.Texts().edit, "33");
  r.Step(+1, false);
  EXPECT_EQ(r.mappedValue, 34.0f);
  r.valueMax = r.valueMin;  // a degenerate range answers its minimum
  r.SetMappedValue(5);
  EXPECT_TRUE(std::isfinite(r.value));
}

TEST(Rotor, PadPointsRoundTripThroughAzimuthAndElevation) {
  RotorRecord r = Dial(RotorKind::Polar);
  r.padMode = true;
  r.SetPoint(100, 0);
  EXPECT_NEAR(r.value, 0.0f, 1e-4);
  EXPECT_NEAR(r.elevation, 0.0f, 1e-4);
  r.SetPoint(0, 0);
  EXPECT_NEAR(r.elevation, 90.0f, 1e-4);
  struct Case { float x, y; };
  for (const Case c : {Case{30, 40}, Case{-75, -20}, Case{100, 100}, Case{-100, 60}, Case{0, -100}}) {
    r.SetPoint(c.x, -c.y);
    const RotorTexts t = r.Texts();
    EXPECT_NEAR(std::stof(t.x), c.x, 0.011) << c.x << "," << c.y;
    EXPECT_NEAR(std::stof(t.y), c.y, 0.011) << c.x << "," << c.y;
  }
  EXPECT_FALSE(r.SetPoint(NAN, 0));
  EXPECT_FALSE(r.SetValue(INFINITY, 0));
}

TEST(Rotor, DoubleClickResetsAndNotifiesOnce) {
  RotorRecord r = Dial(RotorKind::Polar);
  r.padMode = true;
  r.defaultValue = 0;
  r.defaultElevation = 0;
  r.SetPoint(60, -30);
  int notes = 0;
  auto take = [&](const RotorActions& a) { notes += a.notify ? 1 : 0; };
  take(r.Press(80, 20, false));
  take(r.Release(1000));
  take(r.DoubleClick());
  take(r.Release(1100));
  take(r.Timer(1200));
  take(r.Timer(1300));
  EXPECT_EQ(notes, 1);
  EXPECT_EQ(r.Texts().x, "0.00");
  EXPECT_EQ(r.Texts().y, "0.00");
}

TEST(Rotor, HoverCapturesOnlyOverTheDisc) {
  RotorRecord r = Dial(RotorKind::AngleDial);
  EXPECT_TRUE(r.Hover(50, 50).capture);
  EXPECT_FALSE(r.Hover(55, 50).capture) << "already hovering";
  EXPECT_TRUE(r.Hover(99, 99).release);
  EXPECT_FALSE(r.hover);
  r.enabled = false;
  EXPECT_FALSE(r.Hover(50, 50).capture);
}

TEST(Rotor, SphereIsLitFromTheLightAndBadSizesPaintNothing) {
  for (bool pad : {false, true}) {
    RotorRecord r = Dial(RotorKind::Polar);
    r.padMode = pad;
    r.SetValue(0, 30);  // light from the right
    Canvas c(100, 100);
    PaintRotor(c, r, RotorStyle{});
    EXPECT_GT(Red(c.At(85, 50)), Red(c.At(15, 50))) << pad;
    EXPECT_EQ(c.At(0, 0), RotorStyle{}.background);
  }
  for (int32_t size : {0, 1, 3}) {
    RotorRecord r = Dial(RotorKind::AngleDial, size);
    Canvas c(size, size);
    PaintRotor(c, r, RotorStyle{});
    r.Press(0, 0, false);
    r.Drag(1, 1);
    EXPECT_TRUE(std::isfinite(r.value));
    EXPECT_TRUE(std::isfinite(r.elevation));
  }
}

TEST(Rotor, SetValueFormShowsTheDial) {
  RotorRecord r = Dial(RotorKind::AngleDial);
  r.caption = "Rotation by X";
  r.SetLimits(true, -90, 90);
  r.SetValue(30, 0);
  SetValueRules f = SetValueRules::ForRotor(r);
  EXPECT_EQ(f.Opening().name, "Rotation by X");
  EXPECT_EQ(f.Opening().current1, "30.00");
  EXPECT_EQ(f.Opening().range, "-90.00 ... 90.00");
  EXPECT_FALSE(f.Opening().rangeEnabled);
  EXPECT_EQ(f.Leave(SetValueBox::Value, "200").text, "90.00");
  EXPECT_FALSE(f.Ok("120", "", "", "").accepted);
  RotorRecord light = Dial(RotorKind::Polar);
  light.SetValue(10, 45);
  SetValueRules l = SetValueRules::ForRotor(light);
  const SetValueOutcome out = l.Ok("-30", "60", "", "");
  ASSERT_TRUE(out.accepted);
  EXPECT_EQ(out.value2, 60.0f);
  EXPECT_FALSE(l.Ok("0", "95", "", "").accepted);
}

}  // namespace
}  // namespace rf::controls
