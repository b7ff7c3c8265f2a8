// The rimeflower program as a user runs it.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/wait.h>
#endif

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "tools/common/image_io.h"

namespace rf::tools {
namespace {

namespace fs = std::filesystem;

struct Outcome {
  int exitCode;
  std::string output;  // standard output and error together
};

class Cli : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::path(::testing::TempDir()) /
           (std::string("rf-cli-") + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    // Keep the user's own last-used values out of the tests.
#ifdef _WIN32
    _putenv_s("XDG_CONFIG_HOME", (dir_ / "config").string().c_str());
#else
    setenv("XDG_CONFIG_HOME", (dir_ / "config").c_str(), 1);
#endif
  }

  Outcome Run(const std::string& arguments) {
    const char* bin = std::getenv("RF_BINARY_DIR");
#ifdef _WIN32
    // The command interpreter wants backslashes in the program's path, and
    // _pclose answers the program's exit code itself.
    std::string program = std::string(bin ? bin : ".") + "/bin/rimeflower.exe";
    std::replace(program.begin(), program.end(), '/', '\\');
    const std::string command = program + " " + arguments + " 2>&1";
    FILE* pipe = _popen(command.c_str(), "rb");
#else
    const std::string command = std::string(bin ? bin : ".") + "/bin/rimeflower " + arguments + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
#endif
    Outcome outcome{-1, ""};
    if (!pipe) return outcome;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof(buffer), pipe)) > 0) outcome.output.append(buffer, n);
#ifdef _WIN32
    outcome.exitCode = _pclose(pipe);
#else
    const int status = pclose(pipe);
    outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
    return outcome;
  }

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }

  void WriteTestImage(const std::string& name, int w, int h, ImageMode mode = ImageMode::RGB) {
    Image image;
    image.width = w;
    image.height = h;
    image.mode = mode;
    image.pixels.resize(image.RowBytes() * size_t(h));
    for (size_t i = 0; i < image.pixels.size(); ++i) image.pixels[i] = uint8_t(i % 251);
    std::string error;
    ASSERT_TRUE(WriteImage(Path(name), image, FileFormat::Unknown, error)) << error;
  }

  fs::path dir_;
};

TEST_F(Cli, UsageErrorsExitWithTwo) {
  EXPECT_EQ(Run("").exitCode, 2);
  EXPECT_EQ(Run("frobnicate").exitCode, 2);
  EXPECT_EQ(Run("--help").exitCode, 0);
  EXPECT_EQ(Run("apply --help").exitCode, 0);
  EXPECT_EQ(Run("apply").exitCode, 2);
  EXPECT_EQ(Run("apply in.png").exitCode, 2);  // no output
  EXPECT_EQ(Run("apply a.png b.png -o c.png").exitCode, 2);
  const Outcome unknown = Run("apply in.png -o out.png --set Frost=1");
  EXPECT_EQ(unknown.exitCode, 2);
  EXPECT_NE(unknown.output.find("Frost"), std::string::npos);
  EXPECT_EQ(Run("apply in.png -o out.png --set MaxIterations=lots").exitCode, 2);
  EXPECT_EQ(Run("demo --size 0x5").exitCode, 2);
}

TEST_F(Cli, ApplyWritesTheResultAndRemembersTheValues) {
  WriteTestImage("in.png", 120, 90);
  const Outcome run = Run("apply " + Path("in.png") + " -o " + Path("out.png") + " --set RandomSeed=12");
  ASSERT_EQ(run.exitCode, 0) << run.output;
  Image out;
  std::string error;
  ASSERT_TRUE(ReadImage(Path("out.png"), out, error)) << error;
  EXPECT_EQ(out.width, 120);
  EXPECT_EQ(out.height, 90);
  EXPECT_TRUE(fs::exists(dir_ / "config" / "rimeflower" / "registry"));
}

TEST_F(Cli, ForgetLeavesNoLastUsedValues) {
  WriteTestImage("in.png", 40, 30);
  ASSERT_EQ(Run("apply " + Path("in.png") + " -o " + Path("out.png") + " --forget").exitCode, 0);
  EXPECT_FALSE(fs::exists(dir_ / "config" / "rimeflower" / "registry"));
}

TEST_F(Cli, GreyAndTiffInputsAreAccepted) {
  WriteTestImage("grey.png", 50, 40, ImageMode::Gray);
  ASSERT_EQ(Run("apply " + Path("grey.png") + " -o " + Path("grey-out.tif")).exitCode, 0);
  Image out;
  std::string error;
  ASSERT_TRUE(ReadImage(Path("grey-out.tif"), out, error)) << error;
  EXPECT_EQ(out.mode, ImageMode::RGB);
}

TEST_F(Cli, FailuresWriteNothing) {
  Outcome missing = Run("apply " + Path("nope.png") + " -o " + Path("out.png"));
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_NE(missing.output.find("nope.png"), std::string::npos);
  EXPECT_FALSE(fs::exists(Path("out.png")));

  WriteTestImage("in.png", 60, 40);
  WriteTestImage("mask.png", 30, 40, ImageMode::Gray);
  Outcome mismatch = Run("apply " + Path("in.png") + " -o " + Path("out.png") + " --selection " + Path("mask.png"));
  EXPECT_EQ(mismatch.exitCode, 1);
  EXPECT_FALSE(fs::exists(Path("out.png")));

  Outcome noModule = Run("apply " + Path("in.png") + " -o " + Path("out.png") + " --plugin-dir " + Path("empty"));
  EXPECT_EQ(noModule.exitCode, 1);
  EXPECT_NE(noModule.output.find("Rimeflower64.8bf"), std::string::npos);

  // A file of that name that is no filter module is refused before loading.
  fs::create_directories(dir_ / "fake");
  std::ofstream(dir_ / "fake" / "Rimeflower64.8bf") << "not a module at all";
  Outcome fake = Run("apply " + Path("in.png") + " -o " + Path("out.png") + " --plugin-dir " + Path("fake"));
  EXPECT_EQ(fake.exitCode, 1);
  EXPECT_NE(fake.output.find("not a filter module"), std::string::npos) << fake.output;
  EXPECT_FALSE(fs::exists(Path("out.png")));
}

TEST_F(Cli, DemoWritesAPicture) {
  const Outcome demo = Run("demo -o " + Path("demo.png") + " --size 320x240");
  ASSERT_EQ(demo.exitCode, 0) << demo.output;
  Image out;
  std::string error;
  ASSERT_TRUE(ReadImage(Path("demo.png"), out, error)) << error;
  EXPECT_EQ(out.width, 320);
  EXPECT_EQ(out.height, 240);
  EXPECT_FALSE(fs::exists(dir_ / "config" / "rimeflower" / "registry"));
}

}  // namespace
}  // namespace rf::tools

namespace rf::tools {
namespace {

Image Kind(ImageMode mode, int depth, bool alpha) {
  Image image;
  image.width = 41;
  image.height = 29;
  image.mode = mode;
  image.depth = depth;
  image.hasAlpha = alpha;
  image.pixels.resize(image.RowBytes() * size_t(image.height));
  for (size_t i = 0; i < image.pixels.size(); ++i) image.pixels[i] = uint8_t(i * 13 + i / 5);
  if (mode == ImageMode::CMYK) {
    // No yellow and never full black, so that the colour conversion to RGB
    // and back loses nothing.
    const int channels = image.Channels();
    for (size_t i = 0; i < size_t(image.width) * image.height; ++i) {
      image.pixels[i * channels + 2] = 0;
      image.pixels[i * channels + 3] = uint8_t(image.pixels[i * channels + 3] % 200);
    }
  }
  return image;
}

// With nothing to draw the filter copies its input: every kind of file must
// come back with its mode, depth and transparency.
TEST_F(Cli, EveryImageKindComesBackUnchanged) {
  struct Case {
    const char* name;
    ImageMode mode;
    int depth;
    bool alpha;
    bool exact;
  };
  const Case cases[] = {
      {"rgb.png", ImageMode::RGB, 8, false, true},     {"rgba.png", ImageMode::RGB, 8, true, true},
      {"rgb16.png", ImageMode::RGB, 16, false, true},  {"rgba16.png", ImageMode::RGB, 16, true, true},
      {"rgb.tif", ImageMode::RGB, 8, false, true},     {"rgba16.tif", ImageMode::RGB, 16, true, true},
      {"cmyk.tif", ImageMode::CMYK, 8, false, false},  {"cmyka.tif", ImageMode::CMYK, 8, true, false},
      {"rgb.jpg", ImageMode::RGB, 8, false, true},
  };
  for (const Case& c : cases) {
    const Image in = Kind(c.mode, c.depth, c.alpha);
    std::string error;
    ASSERT_TRUE(WriteImage(Path(c.name), in, FileFormat::Unknown, error)) << c.name << error;
    Image source;
    ASSERT_TRUE(ReadImage(Path(c.name), source, error));  // JPEG: compare with what was decoded
    const std::string out = std::string("out-") + c.name;
    // A single-family pattern number that draws nothing: the filter copies.
    const Outcome run =
        Run("apply " + Path(c.name) + " -o " + Path(out) + " --quiet --set EffectKind=3 --set PatternKind=99");
    ASSERT_EQ(run.exitCode, 0) << c.name << ": " << run.output;
    Image back;
    ASSERT_TRUE(ReadImage(Path(out), back, error)) << error;
    EXPECT_EQ(back.mode, source.mode) << c.name;
    EXPECT_EQ(back.depth, source.depth) << c.name;
    EXPECT_EQ(back.hasAlpha, source.hasAlpha) << c.name;
    ASSERT_EQ(back.pixels.size(), source.pixels.size()) << c.name;
    if (std::string(c.name).find(".jpg") != std::string::npos) continue;  // lossy on the way out
    int worst = 0;
    for (size_t i = 0; i < back.pixels.size(); ++i) worst = std::max(worst, std::abs(back.pixels[i] - source.pixels[i]));
    EXPECT_LE(worst, c.exact ? 0 : 2) << c.name;
  }
}

TEST_F(Cli, RecordedActionsPlayBack) {
  WriteTestImage("in.png", 30, 20);
  ASSERT_EQ(Run("apply " + Path("in.png") + " -o " + Path("a.png") + " --defaults --set RandomSeed=31 --set Scale=1.5 --record " +
                Path("action.txt"))
                .exitCode,
            0);
  std::ifstream action(Path("action.txt"));
  std::string text((std::istreambuf_iterator<char>(action)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("RndS long 31"), std::string::npos) << text;
  EXPECT_NE(text.find("Scle doub 1.5"), std::string::npos) << text;

  // Change the last-used values, then play the action back: its values win.
  ASSERT_EQ(Run("apply " + Path("in.png") + " -o " + Path("b.png") + " --set RandomSeed=5").exitCode, 0);
  ASSERT_EQ(Run("apply " + Path("in.png") + " -o " + Path("c.png") + " --play " + Path("action.txt") + " --record " +
                Path("again.txt"))
                .exitCode,
            0);
  std::ifstream again(Path("again.txt"));
  std::string replayed((std::istreambuf_iterator<char>(again)), std::istreambuf_iterator<char>());
  EXPECT_EQ(replayed, text);

  std::ofstream(Path("bad.txt")) << "RndS long seven\n";
  const Outcome bad = Run("apply " + Path("in.png") + " -o " + Path("d.png") + " --play " + Path("bad.txt"));
  EXPECT_EQ(bad.exitCode, 1);
  EXPECT_NE(bad.output.find("line 1"), std::string::npos);
  EXPECT_FALSE(fs::exists(Path("d.png")));
}

TEST_F(Cli, RepeatUsesTheLastUsedValues) {
  WriteTestImage("in.png", 30, 20);
  ASSERT_EQ(Run("apply " + Path("in.png") + " -o " + Path("a.png") + " --set RandomSeed=77").exitCode, 0);
  ASSERT_EQ(Run("apply " + Path("in.png") + " -o " + Path("b.png") + " --repeat --record " + Path("r.txt")).exitCode,
            0);
  std::ifstream action(Path("r.txt"));
  std::string text((std::istreambuf_iterator<char>(action)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("RndS long 77"), std::string::npos);
}

}  // namespace
}  // namespace rf::tools

namespace rf::tools {
namespace {

TEST_F(Cli, PatternGrowsAlongASelectionOrAnImagesContours) {
  Image mask;
  mask.width = 200;
  mask.height = 150;
  mask.mode = ImageMode::Gray;
  mask.pixels.assign(size_t(200) * 150, 0);
  for (int y = 40; y < 110; ++y)
    for (int x = 50; x < 150; ++x) mask.pixels[size_t(y) * 200 + x] = 255;
  std::string error;
  ASSERT_TRUE(WriteImage(Path("mask.png"), mask, FileFormat::PNG, error)) << error;
  const Outcome grown = Run("pattern --selection " + Path("mask.png") +
                            " --set \"Emitter Type=1\" --set EffectKind=1 -o " + Path("p.txt"));
  ASSERT_EQ(grown.exitCode, 0) << grown.output;
  EXPECT_EQ(grown.output.find(" 0 triangles"), std::string::npos) << grown.output;
  EXPECT_NE(grown.output.find("triangles"), std::string::npos);

  const Outcome fromImage = Run("pattern --image " + Path("mask.png") + " --set \"Emitter Type=3\" -o " + Path("q.txt"));
  EXPECT_EQ(fromImage.exitCode, 0) << fromImage.output;
  EXPECT_EQ(Run("pattern --image " + Path("mask.png") + " --size 10x10").exitCode, 2);
  EXPECT_EQ(Run("pattern --image " + Path("missing.png")).exitCode, 1);
}

}  // namespace
}  // namespace rf::tools

namespace rf::tools {
namespace {

TEST_F(Cli, ABasicPresetChangesTheRender) {
  WriteTestImage("in.png", 160, 120);
  ASSERT_EQ(Run("apply " + Path("in.png") + " -o " + Path("defaults.png") + " --defaults --quiet").exitCode, 0);
  const Outcome preset = Run("apply " + Path("in.png") + " -o " + Path("glass.png") + " --preset \"Clear glass\" --quiet");
  ASSERT_EQ(preset.exitCode, 0) << preset.output;
  Image a, b;
  std::string error;
  ASSERT_TRUE(ReadImage(Path("defaults.png"), a, error)) << error;
  ASSERT_TRUE(ReadImage(Path("glass.png"), b, error)) << error;
  EXPECT_NE(a.pixels, b.pixels);
  EXPECT_EQ(Run("apply " + Path("in.png") + " -o " + Path("x.png") + " --preset \"No such preset\"").exitCode, 1);
  EXPECT_FALSE(fs::exists(Path("x.png")));
}

}  // namespace
}  // namespace rf::tools
