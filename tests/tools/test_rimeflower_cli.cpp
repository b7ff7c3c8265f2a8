// The rimeflower program as a user runs it.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
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
    setenv("XDG_CONFIG_HOME", (dir_ / "config").c_str(), 1);
  }

  Outcome Run(const std::string& arguments) {
    const char* bin = std::getenv("RF_BINARY_DIR");
    const std::string command = std::string(bin ? bin : ".") + "/bin/rimeflower " + arguments + " 2>&1";
    Outcome outcome{-1, ""};
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return outcome;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof(buffer), pipe)) > 0) outcome.output.append(buffer, n);
    const int status = pclose(pipe);
    outcome.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
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
