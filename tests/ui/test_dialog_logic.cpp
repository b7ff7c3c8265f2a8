// The dialog's portable logic: zoom, enabling rules, the record mapping,
// keys and the layout.
#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "ui/dialog_layout.h"
#include "ui/dialog_model.h"
#include "ui/dialog_resources.h"
#include "ui/preview_zoom.h"

namespace rf::ui {
namespace {

// ---- Zoom ---------------------------------------------------------------------

// A large image in the smallest preview: F = ceil(max(4.17, 3.57)) = 5.
PreviewZoom LargeImage() {
  PreviewZoom z;
  z.SetSizes(2000, 1500, 480, 420);
  return z;
}

TEST(PreviewZoom, AnAreaSmallerThanThePreviewHasNothingToZoom) {
  for (const Size image : {Size{300, 200}, Size{480, 420}, Size{1, 1}}) {
    PreviewZoom z;
    z.SetSizes(image.width, image.height, 480, 420);
    EXPECT_EQ(z.Fit(), 1);
    EXPECT_FALSE(z.CanZoomIn());
    EXPECT_FALSE(z.CanZoomOut());
    EXPECT_EQ(z.Label(), "100%");
    EXPECT_EQ(z.OffsetX(), 0);
    EXPECT_EQ(z.OffsetY(), 0);
    EXPECT_FALSE(z.ZoomIn() || z.ZoomOut() || z.WholeImage() || z.ActualSize());
    // The picture sits in the middle of the area.
    EXPECT_EQ(z.PlacementX(), (480 - image.width) / 2);
  }
}

TEST(PreviewZoom, StepsThroughEveryWholeScaleAndBackToTheCentre) {
  PreviewZoom z = LargeImage();
  ASSERT_EQ(z.Fit(), 5);
  // Opens at 100 %, looking at the middle.
  EXPECT_EQ(z.Scale(), 1);
  EXPECT_EQ(z.OffsetX(), (2000 - 480) / 2);
  EXPECT_EQ(z.OffsetY(), (1500 - 420) / 2);
  EXPECT_FALSE(z.CanZoomIn());
  std::vector<std::string> labels;
  while (z.ZoomOut()) labels.push_back(z.Label());
  EXPECT_EQ(labels, (std::vector<std::string>{"50%", "33%", "25%", "20%"}));
  EXPECT_EQ(z.Index(), 0);
  EXPECT_FALSE(z.CanZoomOut());
  EXPECT_TRUE(z.CanZoomIn());
  EXPECT_EQ(z.OffsetX(), 0);  // the whole image fits
  EXPECT_EQ(z.VisibleWidth(), 400);

  // Ctrl+0 then Ctrl+1: 100 % again, centred, from wherever the view was.
  z.ActualSize();
  z.MoveTo(0, 0);
  z.WholeImage();
  EXPECT_EQ(z.Scale(), 5);
  z.ActualSize();
  EXPECT_EQ(z.Label(), "100%");
  EXPECT_EQ(z.OffsetX(), (2000 - 480) / 2);
  EXPECT_EQ(z.OffsetY(), (1500 - 420) / 2);
}

TEST(PreviewZoom, ZoomKeepsTheMiddleOfTheViewAndPansStayOnTheImage) {
  PreviewZoom z = LargeImage();
  z.MoveTo(100, 50);  // middle of the view at image (340, 260)
  z.ZoomOut();        // 50 %: (340, 260) / 2 - (240, 210)
  EXPECT_EQ(z.OffsetX(), 0);
  EXPECT_EQ(z.OffsetY(), 0);
  z.ZoomIn();
  z.MoveTo(1520, 1080);  // the bottom-right corner: middle at (1760, 1290)
  z.ZoomOut();
  EXPECT_EQ(z.OffsetX(), 1000 - 480);  // limited to the subsampled image
  EXPECT_EQ(z.OffsetY(), 750 - 420);
  EXPECT_FALSE(z.MoveTo(99999, 99999));
  EXPECT_TRUE(z.MoveTo(-5, 10));
  EXPECT_EQ(z.OffsetX(), 0);
  EXPECT_EQ(z.OffsetY(), 10);
}

TEST(PreviewZoom, ANewAreaKeepsTheScaleWhereItStillExists) {
  PreviewZoom z = LargeImage();
  z.ZoomOut();  // 50 %
  z.SetSizes(2000, 1500, 700, 600);  // F = 3
  EXPECT_EQ(z.Fit(), 3);
  EXPECT_EQ(z.Scale(), 2);
  z.SetSizes(2000, 1500, 2000, 1500);  // F = 1: only 100 % is left
  EXPECT_EQ(z.Scale(), 1);
  EXPECT_EQ(z.OffsetX(), 0);
}

TEST(PreviewZoom, HugeAndEmptyImagesStayInRange) {
  PreviewZoom z;
  z.SetSizes(2000000, 2000000, 1, 1);
  EXPECT_EQ(z.Fit(), 2000000);
  z.WholeImage();
  EXPECT_EQ(z.Scale(), 2000000);
  EXPECT_EQ(z.Label(), "0%");
  EXPECT_EQ(z.VisibleWidth(), 1);
  // A line of one pixel across a tall image is still one pixel wide.
  PreviewZoom line;
  line.SetSizes(1, 100000, 480, 420);
  line.WholeImage();
  EXPECT_EQ(line.VisibleWidth(), 1);
  EXPECT_EQ(line.VisibleHeight(), 100000 / line.Scale());
  PreviewZoom empty;
  empty.SetSizes(0, 0, 0, 0);
  EXPECT_EQ(empty.Fit(), 1);
  EXPECT_EQ(empty.VisibleWidth(), 0);
}

TEST(PreviewZoom, TheOverviewFrameFollowsTheOffsets) {
  const double f = OverviewFactor(2000, 1500, 150, 112);
  EXPECT_DOUBLE_EQ(f, 0.0746666666666666667);
  EXPECT_DOUBLE_EQ(OverviewFactor(100, 50, 150, 112), 1.0);  // never enlarged
  EXPECT_EQ(OverviewFactor(0, 50, 150, 112), 0.0);
  for (int32_t scale : {1, 2, 5})
    for (int32_t offset : {0, 37, 760}) {
      const int32_t frame = FrameFromOffset(offset, scale, f);
      EXPECT_LE(std::abs(OffsetFromFrame(frame, scale, f) - offset), int32_t(std::ceil(0.5 / (f * scale))) + 1) << offset;
    }
  EXPECT_EQ(OffsetFromFrame(10, 2, 0.0), 0);
}

// ---- Record mapping -----------------------------------------------------------------

ParameterRecord Defaults() {
  ParameterRecord r{};
  ResetToDefaults(r);
  return r;
}

TEST(DialogModel, EffectListMapsOntoFamilyAndPattern) {
  ParameterRecord r = Defaults();
  EXPECT_EQ(EffectListIndex(r), 5);  // the default (2, 3) is "Floral 3"
  for (int i = 0; i < 10; ++i) {
    r.SceneDirty = 0;
    StoreEffectListIndex(r, i);
    EXPECT_EQ(EffectListIndex(r), i);
    EXPECT_EQ(r.SceneDirty, 1);
  }
  StoreEffectListIndex(r, 8);
  EXPECT_EQ(r.EffectKind, 3);
  EXPECT_EQ(r.PatternKind, 3);
  r.EffectKind = 0;
  EXPECT_EQ(EffectListIndex(r), 0);
  r.EffectKind = 3;
  r.PatternKind = 4;
  EXPECT_EQ(EffectListIndex(r), 9);
}

TEST(DialogModel, ListsStoreValueMinusOneAndOnlyGeometryRegrows) {
  ParameterRecord r = Defaults();
  r.SceneDirty = 0;
  StoreListIndex(r, RF_ID_RENDER_MODE, 1);
  EXPECT_EQ(r.RenderMode, 2);
  EXPECT_EQ(r.SceneDirty, 0);
  StoreListIndex(r, RF_ID_GROW_DIRECT, 7);
  EXPECT_EQ(r.GrowDirect, 8);
  EXPECT_EQ(r.SceneDirty, 1);
  StoreListIndex(r, RF_ID_MASK_KIND, 40);  // beyond the list: its last entry
  EXPECT_EQ(r.MaskKind, 6);
  r.RenderMode = 9;
  EXPECT_EQ(ListIndexOf(r, RF_ID_RENDER_MODE), 4);

  for (int32_t id : {RF_ID_RENDER_MODE, RF_ID_DIFFUSE, RF_ID_LIGHT, RF_ID_BACKGROUND, RF_ID_ALPHA_CUT,
                     RF_ID_SHININESS, RF_ID_USE_GLASS})
    EXPECT_FALSE(IsGeometryControl(id)) << id;
  for (int32_t id : {RF_ID_EMITTER_FIXED, RF_ID_EFFECT, RF_ID_MASK_KIND, RF_ID_POSITION, RF_ID_CENTER_Y,
                     RF_ID_ROTATE_X, RF_ID_SCALE, RF_ID_TURN1})
    EXPECT_TRUE(IsGeometryControl(id)) << id;
}

TEST(DialogModel, FieldsTakeTheirValuesAsTheRecordHoldsThem) {
  ParameterRecord r = Defaults();
  r.SceneDirty = 0;
  StoreFieldValue(r, *FindField(RF_ID_MAX_ITERATIONS), 4.9f);
  EXPECT_EQ(r.MaxIterations, 4u);
  EXPECT_EQ(r.SceneDirty, 1);
  StoreFieldValue(r, *FindField(RF_ID_RANDOM_SEED), -3.0f);  // cannot wrap to 4294967293
  EXPECT_EQ(r.RandomSeed, 0u);
  r.SceneDirty = 0;
  StoreFieldValue(r, *FindField(RF_ID_BUMP_PERCENT), -12.25f);
  EXPECT_EQ(r.BumpPercent, -12.25f);
  EXPECT_EQ(r.SceneDirty, 0);
  StoreFieldValue(r, *FindField(RF_ID_BUMP_PERCENT), NAN);
  EXPECT_EQ(r.BumpPercent, -12.25f);

  // Every field is created from the range table with the record's default.
  const ParameterRecord defaults = Defaults();
  for (const FieldSpec& f : kFields) {
    const FieldSetup s = SetupOf(f);
    ASSERT_NE(s.caption, nullptr) << f.name;
    EXPECT_EQ(s.defaultValue, FieldValue(defaults, f)) << f.name;
    EXPECT_LE(s.widestMin, s.min);
    EXPECT_GE(s.widestMax, s.max);
  }
  // An angle's range is a whole turn and not the user's to widen.
  const FieldSetup turn = SetupOf(*FindField(RF_ID_TURN));
  EXPECT_FALSE(turn.rangeEditable);
  EXPECT_EQ(turn.widestMax, 360.0f);
}

// ---- Enabling ---------------------------------------------------------------------------

std::set<int32_t> Disabled(const EnablingInput& in) {
  std::set<int32_t> off;
  for (const ControlState& s : Enabling(in))
    if (!s.enabled) off.insert(s.id);
  return off;
}

TEST(DialogModel, SingleThreeLeavesOnlyItsOwnFieldsEnabled) {
  EnablingInput in;
  in.effectIndex = 8;  // "Single 3"
  in.emitterType = kEmitterFixed;
  const std::set<int32_t> off = Disabled(in);
  std::set<int32_t> fieldsOn;
  for (const FieldSpec& f : kFields)
    if (f.page == DialogPage::Geometry && !off.count(f.id)) fieldsOn.insert(f.id);
  EXPECT_EQ(fieldsOn, (std::set<int32_t>{RF_ID_WIDTH, RF_ID_LENGHT, RF_ID_MAX_TRIANGLES, RF_ID_SCALE, RF_ID_TURN,
                                         RF_ID_TURN1, RF_ID_MAX_TRIANGLES1}));
  // The single family has no emitter, but a centre the user places.
  for (int32_t id : {RF_ID_EMITTER_PATHS, RF_ID_EMITTER_CONTOURS, RF_ID_EMITTER_FIXED, RF_ID_MASK_KIND})
    EXPECT_TRUE(off.count(id)) << id;
  for (int32_t id : {RF_ID_POSITION, RF_ID_CENTER_X, RF_ID_PREVIEW}) EXPECT_FALSE(off.count(id)) << id;
}

TEST(DialogModel, EmitterButtonsListsAndBackgroundFollowTheirRules) {
  EnablingInput in;
  in.effectIndex = 0;
  in.emitterType = kEmitterContours;
  // No paths in the document; only the fixed layouts have a mask; row 0 has no turn.
  std::set<int32_t> off = Disabled(in);
  for (int32_t id : {RF_ID_EMITTER_PATHS, RF_ID_MASK_KIND, RF_ID_POSITION, RF_ID_BACKGROUND, RF_ID_TURN})
    EXPECT_TRUE(off.count(id)) << id;
  for (int32_t id : {RF_ID_EMITTER_CONTOURS, RF_ID_GROW_DIRECT, RF_ID_LOSE_INIT_DIR}) EXPECT_FALSE(off.count(id)) << id;

  in.documentHasPaths = true;
  in.alphaCut = true;
  in.emitterType = kEmitterFixed;
  in.effectIndex = 4;  // "Floral 2": row 2
  off = Disabled(in);
  for (int32_t id : {RF_ID_EMITTER_PATHS, RF_ID_BACKGROUND, RF_ID_MASK_KIND, RF_ID_PWIDTH})
    EXPECT_FALSE(off.count(id)) << id;
  EXPECT_TRUE(off.count(RF_ID_PLENGHT));
  in.imageHasTransparency = true;  // cut by the image's own transparency
  EXPECT_TRUE(Disabled(in).count(RF_ID_BACKGROUND));
  EXPECT_EQ(FamilyRow(3), 1);
  EXPECT_EQ(FamilyRow(7), 3);
}

TEST(DialogModel, EnterAndEscapeInAFieldDoNotCloseTheDialog) {
  EXPECT_EQ(OnEnter(true), KeyOutcome::NextControl);
  EXPECT_EQ(OnEnter(false), KeyOutcome::Apply);
  EXPECT_EQ(OnEscape(true), KeyOutcome::EndEditing);
  EXPECT_EQ(OnEscape(false), KeyOutcome::Cancel);
}

// ---- Layout --------------------------------------------------------------------------------

TEST(DialogLayout, SizesFollowTheScreenDensity) {
  struct Case { int32_t dpi, w, h, font13, radius; };
  for (const Case c : {Case{72, 990, 703, 9, 50}, Case{96, 990, 703, 13, 50}, Case{120, 1160, 828, 14, 60},
                       Case{144, 1390, 985, 15, 80}, Case{216, 1400, 1000, 19, 100}}) {
    EXPECT_EQ(MinimumWindowSize(c.dpi).width, c.w) << c.dpi;
    EXPECT_EQ(MinimumWindowSize(c.dpi).height, c.h) << c.dpi;
    EXPECT_EQ(FontHeight(13, c.dpi), c.font13) << c.dpi;
    EXPECT_EQ(RotationDialRadius(c.dpi), c.radius) << c.dpi;
  }
}

bool Inside(const Rect& r, Size c) { return r.x >= 0 && r.y >= 0 && r.x + r.width <= c.width && r.y + r.height <= c.height; }
bool Overlap(const Rect& a, const Rect& b) {
  return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height && b.y < a.y + a.height;
}

TEST(DialogLayout, TheSmallestWindowHoldsEveryPartWithoutOverlap) {
  // Client areas of the smallest windows and the templates' sizes as the
  // system lays them out at 96 and 144 dots per inch.
  struct Case { int32_t dpi; Size client, page, presets; };
  for (const Case c : {Case{96, {974, 664}, {470, 520}, {320, 150}}, Case{144, {1374, 946}, {705, 780}, {480, 225}}}) {
    const MainLayout l = LayoutMain(c.client, c.page, c.presets, c.dpi);
    const std::vector<Rect> parts = {l.preview, l.overview, l.zoomOut, l.zoomLabel, l.zoomIn, l.progress, l.presets,
                                     l.tabs, l.page, l.product, l.manual, l.ok, l.cancel, l.header, l.headerSide};
    for (size_t i = 0; i < parts.size(); ++i) {
      EXPECT_TRUE(Inside(parts[i], c.client)) << c.dpi << " part " << i;
      for (size_t j = i + 1; j < parts.size(); ++j) EXPECT_FALSE(Overlap(parts[i], parts[j])) << i << " " << j;
    }
    EXPECT_GE(l.preview.width, 400) << c.dpi;
    EXPECT_GE(l.preview.height, 400) << c.dpi;
  }
  // A window far too small: nothing has a negative size.
  const MainLayout tiny = LayoutMain({10, 10}, {470, 520}, {320, 150}, 96);
  for (const Rect& r : {tiny.preview, tiny.presets, tiny.progress}) {
    EXPECT_GE(r.width, 0);
    EXPECT_GE(r.height, 0);
  }
}

}  // namespace
}  // namespace rf::ui
