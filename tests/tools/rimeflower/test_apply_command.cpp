// `rimeflower apply` and `rimeflower demo`: image files through the module,
// the last-used values, actions, presets, selections and paths.
#include <algorithm>
#include <cstdlib>

#include "tests/tools/rimeflower/command_test.h"
#include "tools/hostlib/plugin_host.h"

namespace rf::tools::testing {
namespace {

using ApplyCommand = CommandTest;

TEST_F(ApplyCommand, UsageErrors) {
  const std::pair<const char*, int> cases[] = {
      {"", 2},
      {"frobnicate", 2},
      {"--help", 0},
      {"apply --help", 0},
      {"apply", 2},
      {"apply in.png", 2},  // no output
      {"apply in.png -o out.png --play a.txt --preset b", 2},
      {"demo --size 0x5", 2},
      {"demo --threads 0", 2},
  };
  for (const auto& [arguments, code] : cases) EXPECT_EQ(Run(arguments), code) << arguments << "\n" << err;
  EXPECT_EQ(Run("apply in.png -o out.png --set Frost=1"), 2);
  EXPECT_NE(err.find("unknown parameter 'Frost'"), std::string::npos) << err;
}

TEST_F(ApplyCommand, WritesTheResultAndRemembersTheValuesUnlessTold) {
  WriteImage("grey.png", 120, 90, ImageMode::Gray);
  ASSERT_EQ(Run("apply " + Quoted("grey.png") + " -o " + Quoted("once.tif") + " --forget"), 0) << err;
  EXPECT_FALSE(Exists("config/rimeflower/registry"));
  ASSERT_EQ(Run("apply " + Quoted("grey.png") + " -o " + Quoted("out.tif") + " --set RandomSeed=12"), 0) << err;
  EXPECT_TRUE(Exists("config/rimeflower/registry"));
  const Image out = ReadImage("out.tif");
  EXPECT_EQ(out.width, 120);
  EXPECT_EQ(out.height, 90);
  EXPECT_EQ(out.mode, ImageMode::RGB);  // grey is filtered as RGB
}

TEST_F(ApplyCommand, FailuresWriteNothing) {
  WriteImage("in.png", 60, 40);
  WriteImage("mask.png", 30, 40, ImageMode::Gray);
  EXPECT_EQ(Run("apply " + Quoted("in.png") + " -o " + Quoted("out.png") + " --selection " + Quoted("mask.png")), 1);
  EXPECT_NE(err.find("the selection is 30 x 40"), std::string::npos) << err;

  EXPECT_EQ(Run("apply " + Quoted("in.png") + " -o " + Quoted("out.png") + " --plugin-dir " + Quoted("empty")), 1);
  EXPECT_NE(err.find("Rimeflower64.8bf"), std::string::npos);

  // A file of that name that is no filter module is refused before loading.
  std::filesystem::create_directories(folder / "fake");
  Write("fake/Rimeflower64.8bf", "not a module at all");
  EXPECT_EQ(Run("apply " + Quoted("in.png") + " -o " + Quoted("out.png") + " --plugin-dir " + Quoted("fake")), 1);
  EXPECT_NE(err.find("not a filter module"), std::string::npos) << err;

  EXPECT_EQ(Run("apply " + Quoted("in.png") + " -o " + Quoted("out.png") + " --preset \"No such preset\""), 1);
  EXPECT_FALSE(Exists("out.png"));

  // Where the module has no dialog, asking for it is an error, not a silent
  // apply (the Windows dialog is driven by scripts/windows-dialog-test.sh).
  if (!ModulesHaveDialogs()) {
    EXPECT_EQ(Run("apply " + Quoted("in.png") + " -o " + Quoted("out.png") + " --dialog"), 1);
    EXPECT_NE(err.find("no dialog"), std::string::npos) << err;
    EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
    EXPECT_FALSE(Exists("out.png"));
  }
}

// A layer list is filtered on its target layer: the layers around it show
// only in the dialog's preview, so the result is the target's alone. A list
// that cannot be read writes nothing and changes no file.
TEST_F(ApplyCommand, LayerListsFilterTheirTargetLayer) {
  WriteImage("paper.png", 90, 60);
  WriteImage("subject.png", 90, 60);
  Write("doc.layers", "rimeflower layers\nlayer paper.png hidden\nlayer subject.png name \"The subject\" target\n");
  const std::string values = " --forget --set EffectKind=1 --set \"Emitter Type=1\"";
  ASSERT_EQ(Run("apply " + Quoted("doc.layers") + " -o " + Quoted("layered.png") + values), 0) << err;
  ASSERT_EQ(Run("apply " + Quoted("subject.png") + " -o " + Quoted("alone.png") + values), 0) << err;
  EXPECT_EQ(Read("layered.png"), Read("alone.png"));

  const std::string subject = Read("subject.png");
  Write("bad.layers", "rimeflower layers\nlayer gone.png\nlayer subject.png target\n");
  EXPECT_EQ(Run("apply " + Quoted("bad.layers") + " -o " + Quoted("out.png")), 1);
  EXPECT_NE(err.find("layer 'gone' (line 2)"), std::string::npos) << err;
  EXPECT_FALSE(Exists("out.png"));
  EXPECT_EQ(Read("subject.png"), subject);
}

TEST_F(ApplyCommand, DemoLeavesTheLastUsedValuesAlone) {
  ASSERT_EQ(Run("demo -o " + Quoted("demo.png") + " --size 320x240"), 0) << err;
  const Image out = ReadImage("demo.png");
  EXPECT_EQ(out.width, 320);
  EXPECT_EQ(out.height, 240);
  EXPECT_FALSE(Exists("config/rimeflower/registry"));
  // The renderer's threads share the image: one processor or all give the
  // same bytes.
  ASSERT_EQ(Run("demo -o " + Quoted("one.png") + " --size 320x240 --threads 1"), 0) << err;
  EXPECT_EQ(ReadImage("one.png").pixels, out.pixels);
}

// With nothing to draw the filter copies its input: every kind of file must
// come back with its mode, depth and transparency.
TEST_F(ApplyCommand, EveryImageKindComesBackUnchanged) {
  struct Case {
    const char* name;
    ImageMode mode;
    int depth;
    bool alpha;
    int tolerance;  // CMYK goes through the colour conversion; JPEG is lossy on the way out
  };
  const Case cases[] = {
      {"rgb.png", ImageMode::RGB, 8, false, 0},    {"rgba.png", ImageMode::RGB, 8, true, 0},
      {"rgb16.png", ImageMode::RGB, 16, false, 0}, {"rgba16.png", ImageMode::RGB, 16, true, 0},
      {"rgb.tif", ImageMode::RGB, 8, false, 0},    {"rgba16.tif", ImageMode::RGB, 16, true, 0},
      {"cmyk.tif", ImageMode::CMYK, 8, false, 2},  {"cmyka.tif", ImageMode::CMYK, 8, true, 2},
      {"rgb.jpg", ImageMode::RGB, 8, false, 255},
  };
  for (const Case& c : cases) {
    Image in;
    in.width = 41;
    in.height = 29;
    in.mode = c.mode;
    in.depth = c.depth;
    in.hasAlpha = c.alpha;
    in.pixels.resize(in.RowBytes() * size_t(in.height));
    for (size_t i = 0; i < in.pixels.size(); ++i) in.pixels[i] = uint8_t(i * 13 + i / 5);
    // No yellow and never full black, so that the conversion to RGB and back loses nothing.
    for (size_t i = 0; c.mode == ImageMode::CMYK && i < size_t(in.width) * in.height; ++i) {
      in.pixels[i * in.Channels() + 2] = 0;
      in.pixels[i * in.Channels() + 3] = uint8_t(in.pixels[i * in.Channels() + 3] % 200);
    }
    std::string error;
    ASSERT_TRUE(tools::WriteImage(Path(c.name), in, FileFormat::Unknown, error)) << c.name << error;
    const Image source = ReadImage(c.name);  // JPEG: what was decoded
    // A single-family pattern number that draws nothing: the filter copies.
    // --set refuses it; an action may give it.
    Write("copy.act", "EfKn long 3\nPtrK long 99\n");
    const std::string output = std::string("out-") + c.name;
    ASSERT_EQ(Run("apply " + Quoted(c.name) + " -o " + Quoted(output) + " --quiet --play " + Quoted("copy.act")), 0)
        << c.name << ": " << err;
    const Image back = ReadImage(output);
    EXPECT_EQ(back.mode, source.mode) << c.name;
    EXPECT_EQ(back.depth, source.depth) << c.name;
    EXPECT_EQ(back.hasAlpha, source.hasAlpha) << c.name;
    ASSERT_EQ(back.pixels.size(), source.pixels.size()) << c.name;
    int worst = 0;
    for (size_t i = 0; i < back.pixels.size(); ++i) worst = std::max(worst, std::abs(back.pixels[i] - source.pixels[i]));
    EXPECT_LE(worst, c.tolerance) << c.name;
  }
}

TEST_F(ApplyCommand, RecordedActionsPlayBackAndRepeatTakesTheLastValues) {
  WriteImage("in.png", 30, 20);
  const std::string apply = "apply " + Quoted("in.png") + " --quiet -o ";
  ASSERT_EQ(Run(apply + Quoted("a.png") + " --defaults --set RandomSeed=31 --set Scale=1.5 --record " +
                Quoted("action.txt")),
            0)
      << err;
  const std::string action = Read("action.txt");
  EXPECT_NE(action.find("RndS long 31"), std::string::npos) << action;
  EXPECT_NE(action.find("Scle doub 1.5"), std::string::npos) << action;

  // Other last-used values, then the action played back: its values win.
  ASSERT_EQ(Run(apply + Quoted("b.png") + " --set RandomSeed=5"), 0);
  ASSERT_EQ(Run(apply + Quoted("c.png") + " --play " + Quoted("action.txt") + " --record " + Quoted("again.txt")), 0);
  EXPECT_EQ(Read("again.txt"), action);
  ASSERT_EQ(Run(apply + Quoted("d.png") + " --repeat --record " + Quoted("repeat.txt")), 0);
  EXPECT_NE(Read("repeat.txt").find("RndS long 31"), std::string::npos);

  Write("bad.txt", "RndS long seven\n");
  EXPECT_EQ(Run(apply + Quoted("e.png") + " --play " + Quoted("bad.txt")), 1);
  EXPECT_NE(err.find("bad.txt' line 1"), std::string::npos) << err;
  EXPECT_FALSE(Exists("e.png"));
}

TEST_F(ApplyCommand, ABasicPresetChangesTheRender) {
  WriteImage("in.png", 160, 120);
  ASSERT_EQ(Run("apply " + Quoted("in.png") + " -o " + Quoted("defaults.png") + " --defaults --quiet"), 0) << err;
  ASSERT_EQ(Run("apply " + Quoted("in.png") + " -o " + Quoted("glass.png") + " --preset \"Clear glass\" --quiet"), 0)
      << err;
  EXPECT_NE(ReadImage("defaults.png").pixels, ReadImage("glass.png").pixels);
}

// Where the ice grows along a path is frozen by the render goldens; here the
// path has to reach the filter at all, and a bad one must stop the run.
TEST_F(ApplyCommand, ThePathReachesTheFilter) {
  WriteImage("in.png", 200, 150);
  Write("rect.svg", "<svg xmlns=\"http://www.w3.org/2000/svg\"><path d=\"M 50 40 H 130 V 100 H 50 Z\"/></svg>");
  Write("bad.svg", "<svg><path d=\"M 10 10 Q 5\"/></svg>");
  // Without a path, Emitter Type 0 falls back to the image's contours.
  const std::string apply =
      "apply " + Quoted("in.png") + " --quiet --forget --defaults --set EffectKind=1 --set \"Emitter Type=0\" -o ";
  ASSERT_EQ(Run(apply + Quoted("contours.png")), 0) << err;
  ASSERT_EQ(Run(apply + Quoted("path.png") + " --path " + Quoted("rect.svg")), 0) << err;
  EXPECT_NE(ReadImage("path.png").pixels, ReadImage("contours.png").pixels);

  EXPECT_EQ(Run(apply + Quoted("bad.png") + " --path " + Quoted("bad.svg")), 1);
  EXPECT_NE(err.find("bad.svg': line 1"), std::string::npos) << err;
  EXPECT_FALSE(Exists("bad.png"));
}

}  // namespace
}  // namespace rf::tools::testing
