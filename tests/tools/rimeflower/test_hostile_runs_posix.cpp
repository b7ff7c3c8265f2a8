// Hostile situations only a POSIX system sets up: memory limits, FIFOs and
// devices, planted links, permission bits, names at the system's limit and
// two runs at once. Each row is a whole command run.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <functional>

#include "tests/tools/rimeflower/command_test.h"

namespace rf::tools::testing {
namespace {

using HostileRunsPosix = CommandTest;

TEST_F(HostileRunsPosix, OutOfMemoryIsAMessageAndWritesNothing) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "the address sanitizer reserves more address space than any limit allows";
#endif
  // A 4000 x 3000 picture of one colour: a small file, a large image.
  Image image;
  image.width = 4000;
  image.height = 3000;
  image.pixels.assign(image.RowBytes() * size_t(image.height), 90);
  std::string error;
  ASSERT_TRUE(tools::WriteImage(Path("big.png"), image, FileFormat::PNG, error)) << error;
  image = Image{};
  // Limits that stop the run while the file is decoded and in the module.
  const struct {
    const char* arguments;
    int limitKb;
  } rows[] = {
      {"apply big.png -o out.png -q", 30000},
      {"apply big.png -o out.png -q", 60000},
      {"mask big.png -o out.pgm", 60000},
      {"pattern --image big.png -o out.txt", 60000},
      {"demo --size 20000x15000 -o out.png", 200000},
  };
  for (const auto& row : rows) {
    const Snapshot before = Take();
    const std::string context = std::string(row.arguments) + " under " + std::to_string(row.limitKb) + " KB";
    const int status = Run(row.arguments, "cd " + Quoted("") + " && ulimit -v " + std::to_string(row.limitKb) + " && ");
    EXPECT_EQ(status, 1) << context << "\n" << err;
    EXPECT_TRUE(err.find("not enough memory") != std::string::npos || err.find("out of memory (-108)") != std::string::npos)
        << context << "\n" << err;
    EXPECT_EQ(err.find("terminate called"), std::string::npos) << context;
    ExpectOnlyChanged(before, {}, context);
  }
}

TEST_F(HostileRunsPosix, SpecialFilesAreRefusedBeforeTheyAreOpened) {
  WriteImage("in.png", 30, 20);
  ASSERT_EQ(mkfifo(Path("fifo").c_str(), 0600), 0);
  const struct {
    std::string arguments, message;
  } rows[] = {
      {"apply " + Quoted("fifo") + " -o " + Quoted("out.png"), "'" + Path("fifo") + "' is a FIFO, not a file to read"},
      {"apply " + Quoted("in.png") + " -o " + Quoted("fifo"), "is a FIFO; only a regular file is replaced"},
      {"apply /dev/zero -o " + Quoted("out.png"), "'/dev/zero' is a character device, not a file to read"},
      {"apply " + Quoted("in.png") + " -o /dev/null -q", "'/dev/null' is a character device; only a regular file"},
      {"contours " + Quoted("in.png") + " -o /dev/null", "is a character device"},
      {"pattern -o /dev/null", "is a character device"},
      {"apply " + Quoted("in.png") + " -o " + Quoted("out.png") + " --path " + Quoted("fifo"), "is not a regular file"},
      {"apply " + Quoted("in.png") + " -o " + Quoted("out.png") + " --play " + Quoted("fifo"), "is a FIFO"},
      {"apply " + Quoted("in.png") + " -o " + Quoted("out.png") + " --preset " + Quoted("fifo"), "is a FIFO"},
      {"info " + Quoted("fifo"), "is a FIFO"},
  };
  for (const auto& row : rows) {
    const Snapshot before = Take();
    EXPECT_EQ(Run(row.arguments), 1) << row.arguments << "\n" << err;
    EXPECT_NE(err.find(row.message), std::string::npos) << row.arguments << "\n" << err;
    ExpectOnlyChanged(before, {}, row.arguments);
  }
}

TEST_F(HostileRunsPosix, OutputsAreReplacedSafely) {
  WriteImage("in.png", 30, 20);
  Write("victim", "precious");
  const std::string longName = std::string(251, 'n') + ".png";  // 255 characters, the usual limit
  const struct {
    std::string what;
    std::function<void()> prepare;
    std::string output;
    std::set<std::string> changed;
  } rows[] = {
      {"a link planted at the old temporary name", [&] { ASSERT_EQ(symlink(Path("victim").c_str(), Path("out.png.partial").c_str()), 0); },
       "out.png", {"out.png"}},
      {"a link as the target is replaced, not written through",
       [&] { ASSERT_EQ(symlink(Path("victim").c_str(), Path("link.png").c_str()), 0); }, "link.png", {"link.png"}},
      {"an existing target keeps its permission bits",
       [&] {
         Write("kept.png", "old");
         chmod(Path("kept.png").c_str(), 0604);
       },
       "kept.png", {"kept.png"}},
      {"a name at the system's limit", [] {}, longName, {longName}},
  };
  for (const auto& row : rows) {
    row.prepare();
    const Snapshot before = Take();
    EXPECT_EQ(Run("apply " + Quoted("in.png") + " -o " + Quoted(row.output) + " -q"), 0) << row.what << "\n" << err;
    ExpectOnlyChanged(before, row.changed, row.what);
    EXPECT_EQ(ReadImage(row.output).width, 30) << row.what;
  }
  EXPECT_EQ(Read("victim"), "precious");
  struct stat st {};
  ASSERT_EQ(stat(Path("kept.png").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0604u);
}

TEST_F(HostileRunsPosix, TwoRunsOnOneTargetEachWriteAWholeImageOfTheirOwnOrFail) {
  WriteImage("in.png", 80, 60);
  const std::string seven = "apply " + Quoted("in.png") + " -q --forget --defaults --set RandomSeed=7 -o ";
  const std::string nine = "apply " + Quoted("in.png") + " -q --forget --defaults --set RandomSeed=9 -o ";
  ASSERT_EQ(Run(seven + Quoted("seven.png")), 0) << err;
  ASSERT_EQ(Run(nine + Quoted("nine.png")), 0) << err;
  const Image a = ReadImage("seven.png"), b = ReadImage("nine.png");
  ASSERT_NE(a.pixels, b.pixels);
  const std::string program = RF_PROGRAM;
  for (int round = 0; round < 3; ++round) {
    const Snapshot before = Take();
    // Both in one shell, started together; each keeps its own status.
    const std::string both = program + " " + seven + Quoted("same.png") + " 2>" + Quoted("e7") + "; echo $? >" +
                             Quoted("s7") + " & " + program + " " + nine + Quoted("same.png") + " 2>" + Quoted("e9") +
                             "; echo $? >" + Quoted("s9") + " & wait";
    ASSERT_EQ(std::system(both.c_str()), 0);
    const bool sevenOk = Read("s7") == "0\n", nineOk = Read("s9") == "0\n";
    EXPECT_TRUE(sevenOk || nineOk) << Read("e7") << Read("e9");
    const Image same = ReadImage("same.png");
    EXPECT_TRUE((sevenOk && same.pixels == a.pixels) || (nineOk && same.pixels == b.pixels)) << "round " << round;
    for (const char* e : {"e7", "e9"}) {
      const std::string text = Read(e);
      EXPECT_TRUE(text.find("wrote") != std::string::npos || text.find("another run replaced") != std::string::npos)
          << text;
    }
    ExpectOnlyChanged(before, {"same.png", "s7", "s9", "e7", "e9"}, "round " + std::to_string(round));
  }
}

}  // namespace
}  // namespace rf::tools::testing
