// The safe writer stopped by a signal while it writes: the temporary file
// goes with the process, and the old target stays as it was.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>

#include "tools/imagefile/safe_file.h"

namespace rf::tools {
namespace {

namespace fs = std::filesystem;

TEST(SafeFile, AnInterruptedWriteLeavesNoTemporaryAndTheOldTarget) {
  const fs::path folder = fs::path(::testing::TempDir()) / "rf-safe-file-interrupt";
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    fs::remove_all(folder);
    fs::create_directories(folder);
    const std::string target = (folder / "out.txt").string();
    std::ofstream(target) << "old";
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      std::string error;
      WriteFileSafely(
          target,
          [signal](TempFile& file, std::string&) {
            std::fputs("half of it", file.Stream());
            std::fflush(file.Stream());
            raise(signal);
            return true;
          },
          error);
      _exit(0);  // not reached: the signal ends the process
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << signal;
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    EXPECT_EQ(names, std::vector<std::string>{"out.txt"}) << signal;
    std::ifstream in(target);
    std::string text;
    std::getline(in, text);
    EXPECT_EQ(text, "old") << signal;
  }
  fs::remove_all(folder);
}

}  // namespace
}  // namespace rf::tools
