// Runs a careless or hostile user makes: damaged files, names that cannot
// be written, values outside their field, batches with a bad file. Each row
// is a whole command; it must end with its status and message and change no
// file but its target.
#include <functional>

#include "tests/tools/rimeflower/command_test.h"

namespace rf::tools::testing {
namespace {

struct Row {
  std::string what;
  std::function<std::string(class HostileRuns&)> arguments;  // prepares the situation, answers the command
  int status;
  std::string message;  // a part of standard error
  std::set<std::string> changed;
};

class HostileRuns : public CommandTest {
 public:
  using CommandTest::folder;
  using CommandTest::Path;
  using CommandTest::Quoted;
  using CommandTest::Write;
  using CommandTest::WriteImage;

  void Check(const std::vector<Row>& rows) {
    for (const Row& row : rows) {
      const std::string arguments = row.arguments(*this);
      const Snapshot before = Take();
      EXPECT_EQ(Run(arguments), row.status) << row.what << "\n" << err;
      EXPECT_NE(err.find(row.message), std::string::npos) << row.what << "\n" << err;
      ExpectOnlyChanged(before, row.changed, row.what);
    }
  }

  // A photograph-like JPEG of noise, which compresses poorly.
  std::string NoisyJpeg(const std::string& name, int width, int height) {
    Image image;
    image.width = width;
    image.height = height;
    image.pixels.resize(image.RowBytes() * size_t(height));
    uint32_t state = 7;
    for (uint8_t& b : image.pixels) b = uint8_t((state = state * 1103515245u + 12345u) >> 24);
    std::string error;
    EXPECT_TRUE(tools::WriteImage(Path(name), image, FileFormat::JPEG, error)) << error;
    return Read(name);
  }
};

std::string Cut(const std::string& bytes, size_t keep) { return bytes.substr(0, keep); }

// The frame header of a baseline JPEG with other sizes.
std::string WithJpegSize(std::string jpeg, int width, int height) {
  const size_t sof = jpeg.find("\xFF\xC0");
  jpeg[sof + 5] = char(height >> 8), jpeg[sof + 6] = char(height & 0xFF);
  jpeg[sof + 7] = char(width >> 8), jpeg[sof + 8] = char(width & 0xFF);
  return jpeg;
}

TEST_F(HostileRuns, InputsAreBoundedByTheirData) {
  WriteImage("small.png", 60, 40);
  const std::string jpeg = NoisyJpeg("noise.jpg", 96, 64);
  const std::string png = Read("small.png");
  auto apply = [](const std::string& input) {
    return [input](HostileRuns& t) { return "apply " + t.Quoted(input) + " -o " + t.Quoted("out.png") + " -q"; };
  };
  Check({
      {"a 44-byte PNG whose text chunk claims 2 GB",
       [&](HostileRuns& t) {
         t.Write("text.png", png.substr(0, 33) + std::string("\x7F\xFF\x00\x00tEXtabc", 11));
         return apply("text.png")(t);
       },
       1, "chunk 'tEXt' claims 2147418112 bytes, more than the file holds", {}},
      {"a JPEG whose header claims 20000 x 20000 over a few hundred bytes",
       [&](HostileRuns& t) {
         t.Write("huge.jpg", WithJpegSize(jpeg, 20000, 20000));
         return apply("huge.jpg")(t);
       },
       1, "header claims 20000 x 20000 pixels, more than the file's", {}},
      {"a JPEG cut in half",
       [&](HostileRuns& t) {
         t.Write("cut.jpg", Cut(jpeg, jpeg.size() / 2));
         return apply("cut.jpg")(t);
       },
       1, "cut.jpg': JPEG: ", {}},  // the system's decoder on Windows words it its own way
      {"a PGM whose header claims more samples than it holds",
       [&](HostileRuns& t) {
         t.Write("short.pgm", "P5\n20000 20000\n255\n" + std::string(100, 'x'));
         return apply("short.pgm")(t);
       },
       1, "PGM: the file is truncated", {}},
      {"an image above --max-megapixels",
       [&](HostileRuns& t) {
         t.WriteImage("wide.png", 1100, 1000, ImageMode::Gray);
         return apply("wide.png")(t) + " --max-megapixels 1";
       },
       1, "the limit is 1 megapixels (--max-megapixels)", {}},
      {"a folder as input",
       [&](HostileRuns& t) {
         std::filesystem::create_directories(t.folder / "folder.png");
         return apply("folder.png")(t);
       },
       1, "is a folder, not a file to read", {}},
      {"an input that does not exist", apply("missing.png"), 1, "missing.png", {}},
  });
}

TEST_F(HostileRuns, MultiPageTiffsFilterTheirFirstPageAndAreNotWrittenOver) {
  // Two pages: a TIFF whose first directory links to a copy of itself.
  WriteImage("one.tif", 20, 10);
  std::string tiff = Read("one.tif");
  ASSERT_EQ(tiff.compare(0, 2, "II"), 0);
  const uint32_t first = uint8_t(tiff[4]) | uint8_t(tiff[5]) << 8 | uint8_t(tiff[6]) << 16 | uint32_t(uint8_t(tiff[7])) << 24;
  const uint16_t entries = uint16_t(uint8_t(tiff[first]) | uint8_t(tiff[first + 1]) << 8);
  const size_t next = first + 2 + 12 * size_t(entries);
  const std::string directory = tiff.substr(first, next + 4 - first);
  const uint32_t second = uint32_t(tiff.size());
  for (int i = 0; i < 4; ++i) tiff[next + i] = char(second >> (8 * i));
  tiff += directory;  // same strips; its own "next" is 0
  Write("pages.tif", tiff);
  Check({
      {"filtered into another file", [](HostileRuns& t) { return "apply " + t.Quoted("pages.tif") + " -o " + t.Quoted("first.png") + " -q"; },
       0, "has 2 pages; only the first is filtered and written", {"first.png"}},
      {"written over itself", [](HostileRuns& t) { return "apply " + t.Quoted("pages.tif") + " -o " + t.Quoted("pages.tif") + " -q"; },
       1, "has 2 pages and only the first is filtered; writing it over itself would lose the others", {}},
  });
}

TEST_F(HostileRuns, OutputNamesThatCannotBeWrittenAreRefused) {
  WriteImage("in.png", 30, 20);
  auto run = [](const std::string& command, const std::string& output) {
    return [command, output](HostileRuns& t) {
      return command + " " + t.Quoted("in.png") + " -o " + t.Quoted(output) + (command == "apply" ? " -q" : "");
    };
  };
  Check({
      {"an extension that names no format", run("apply", "out.bmp"), 2, "names no image format; write one of PNG (.png)", {}},
      {"the same for the mask", run("mask", "mask.gif"), 2, "names no image format", {}},
      {"a pattern under an image's name", [](HostileRuns& t) { return "pattern -o " + t.Quoted("p.png"); }, 2,
       "names an image; the pattern is written as txt, obj or svg", {}},
      {"a device name", run("apply", "NUL.png"), 1, "is the name of a device on Windows", {}},
      {"a device name in any case, for text", run("contours", "com1.txt"), 1, "is the name of a device", {}},
      {"a folder as the target",
       [](HostileRuns& t) {
         std::filesystem::create_directories(t.folder / "dir.png");
         return "apply " + t.Quoted("in.png") + " -o " + t.Quoted("dir.png") + " -q";
       },
       1, "is a folder; only a regular file is replaced", {}},
      {"a name without an extension keeps the input's format", run("apply", "plain"), 0, "wrote", {"plain"}},
      {"--format decides whatever the name says",
       [](HostileRuns& t) { return "apply " + t.Quoted("in.png") + " -o " + t.Quoted("x.data") + " --format tiff -q"; },
       0, "wrote", {"x.data"}},
      {"an existing output is replaced whole", run("apply", "in.png"), 0, "wrote", {"in.png"}},
      {"presets save of a device name",
       [](HostileRuns&) { return std::string("presets save NUL --force"); }, 1, "is the name of a device", {}},
      {"presets delete of a device name",
       [](HostileRuns&) { return std::string("presets delete Com3"); }, 1, "is the name of a device", {}},
  });
  EXPECT_EQ(ReadImage("x.data").format, FileFormat::TIFF);
  EXPECT_EQ(ReadImage("plain").format, FileFormat::PNG);
}

TEST_F(HostileRuns, ValuesOutsideTheirFieldAreRefused) {
  WriteImage("in.png", 30, 20);
  auto apply = [](const std::string& extra) {
    return [extra](HostileRuns& t) { return "apply " + t.Quoted("in.png") + " -o " + t.Quoted("out.png") + " -q " + extra; };
  };
  Check({
      {"an integer wider than its field", apply("--set MaxIterations=4294967299"), 2,
       "'MaxIterations' takes a whole number from 0 to 4294967295, got '4294967299'", {}},
      {"a negative integer", apply("--set RandomSeed=-1"), 2, "from 0 to 4294967295", {}},
      {"a byte field", apply("--set MskK=256"), 2, "'MaskKind' takes 1 (Bottom)", {}},
      {"a choice outside its list", apply("--set RenderMode=9"), 2,
       "'RenderMode' takes 1 (Rough), 2 (Line), 3 (Wire), 4 (Flat) or 5 (Phong), got '9'", {}},
      {"a switch", apply("--set UseGlass=2"), 2, "'UseGlass' takes 0 (off) or 1 (on)", {}},
      {"--defaults with --play",
       [](HostileRuns& t) {
         t.Write("a.act", "RndS long 3\n");
         return "apply " + t.Quoted("in.png") + " -o " + t.Quoted("out.png") + " --defaults --play " + t.Quoted("a.act");
       },
       2, "--play and --defaults cannot be combined", {}},
      {"a preset whose values the filter reads as 0 is applied with warnings",
       [](HostileRuns& t) {
         t.Write("odd.rmfpst", "Rimeflower Preset;\nVersion 1;\nnInM nan\nlCkB text\nSdnR 5\n");
         return "apply " + t.Quoted("in.png") + " -o " + t.Quoted("out.png") + " -q --preset " + t.Quoted("odd.rmfpst");
       },
       0, "warning: '" + Path("odd.rmfpst") + "' line 3: MinInterval gives 'nan', which reads as 0", {"out.png"}},
      {"presets show says the same",
       [](HostileRuns& t) { return "presets show " + t.Quoted("odd.rmfpst"); }, 0,
       "line 4: Background Color gives 'text', which reads as 0", {}},
  });
}

TEST_F(HostileRuns, BatchesGoOnAfterAFailureAndSayHowManyFailed) {
  std::filesystem::create_directories(folder / "in");
  std::filesystem::create_directories(folder / "out");
  WriteImage("in/a.png", 30, 20);
  WriteImage("in/b.jpg", 24, 16);
  Write("in/bad.png", "not an image");
  const std::string inputs = Quoted("in/a.png") + " " + Quoted("in/bad.png") + " " + Quoted("in/b.jpg");
  Check({
      {"one bad file among three",
       [&](HostileRuns& t) { return "apply " + inputs + " --out-dir " + t.Quoted("out") + " --suffix -ice --jobs 2 -q"; }, 1,
       "2 written, 1 failed", {"out/a-ice.png", "out/b-ice.jpg"}},
      {"one format for all", [&](HostileRuns& t) { return "apply " + inputs + " --out-dir " + t.Quoted("out") + " --format tif -q"; },
       1, "'" + Path("in/bad.png") + "': unknown image format", {"out/a.tif", "out/b.tif"}},
      {"outputs that would be the inputs themselves",
       [](HostileRuns& t) { return "apply " + t.Quoted("in/a.png") + " --out-dir " + t.Quoted("in") + " -q"; }, 1,
       "is the input itself; give --suffix or another --out-dir", {}},
      {"two inputs of one name",
       [](HostileRuns& t) {
         return "apply " + t.Quoted("in/a.png") + " " + t.Quoted("in/../in/a.png") + " --out-dir " + t.Quoted("out") +
                " --suffix 2 -q";
       },
       1, "would both be written to", {"out/a2.png"}},
      {"-o with --out-dir", [&](HostileRuns& t) { return "apply " + inputs + " --out-dir " + t.Quoted("out") + " -o x.png"; }, 2,
       "a batch writes into --out-dir", {}},
      {"several inputs without --out-dir", [&](HostileRuns&) { return "apply " + inputs + " -o x.png"; }, 2,
       "give --out-dir DIR to filter them all", {}},
      {"an --out-dir that is no folder",
       [&](HostileRuns& t) { return "apply " + inputs + " --out-dir " + t.Quoted("in/a.png"); }, 1, "is not a folder", {}},
  });
  EXPECT_EQ(ReadImage("out/b-ice.jpg").width, 24);
}

}  // namespace
}  // namespace rf::tools::testing
