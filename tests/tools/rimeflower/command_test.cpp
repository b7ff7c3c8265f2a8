#include "tests/tools/rimeflower/command_test.h"

#include <cstdlib>
#include <list>

#include "tests/test_files.h"

namespace rf::tools::testing {

namespace fs = std::filesystem;

namespace {

// putenv keeps the text it is given, so every text lives as long as the
// program (setenv is missing from MinGW).
void SetEnvironment(const std::string& name, const std::string& value) {
  static std::list<std::string> texts;
  texts.push_back(name + "=" + value);
  putenv(&texts.back()[0]);
}

// Console text as written on Linux: Windows ends the lines of standard
// output and error with CR LF.
std::string Text(std::string bytes) {
  size_t kept = 0;
  for (size_t i = 0; i < bytes.size(); ++i)
    if (!(bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')) bytes[kept++] = bytes[i];
  bytes.resize(kept);
  return bytes;
}

}  // namespace

void CommandTest::SetUp() {
  if (!fs::exists(RF_PROGRAM)) GTEST_SKIP() << "no " << RF_PROGRAM;
  const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
  folder = fs::path(::testing::TempDir()) / (std::string("rf-") + test->test_suite_name() + "-" + test->name());
  fs::remove_all(folder);
  fs::create_directories(folder);
  SetEnvironment("XDG_CONFIG_HOME", Path("config"));
  pluginDir = fs::path(RF_PLUGIN_DIR).make_preferred().string();
}

void CommandTest::TearDown() {
  std::error_code ignored;
  if (!folder.empty() && !HasFailure()) fs::remove_all(folder, ignored);
}

int CommandTest::Run(const std::string& arguments, const std::string& shell) {
  // The program's path is not quoted: Windows' command interpreter would
  // drop a leading quote and the last one. Build folders have no blanks.
  const std::string command = shell + fs::path(RF_PROGRAM).make_preferred().string() + " " + arguments + " >" +
                              Quoted("stdout") + " 2>" + Quoted("stderr");
  const int status = std::system(command.c_str());
  out = Text(Read("stdout"));
  err = Text(Read("stderr"));
  // A wait status on POSIX, the exit code itself on Windows.
  return status > 255 ? (status >> 8) & 0xFF : status;
}

CommandTest::Snapshot CommandTest::Take() const {
  Snapshot entries;
  std::error_code failed;
  for (auto it = fs::recursive_directory_iterator(folder, failed); it != fs::recursive_directory_iterator();
       it.increment(failed)) {
    const std::string name = fs::relative(it->path(), folder).generic_string();
    if (name == "stdout" || name == "stderr" || name.compare(0, 6, "config") == 0) continue;
    const fs::file_status status = it->symlink_status();
    if (fs::is_symlink(status)) {
      entries[name] = "link to " + fs::read_symlink(it->path()).string();
      it.disable_recursion_pending();
    } else if (fs::is_regular_file(status)) {
      entries[name] = Read(name) + "/mode " + std::to_string(int(status.permissions()));
    } else {
      entries[name] = fs::is_directory(status) ? "folder" : "special";
    }
  }
  return entries;
}

void CommandTest::ExpectOnlyChanged(const Snapshot& before, const std::set<std::string>& changed,
                                    const std::string& context) const {
  const Snapshot after = Take();
  for (const auto& [name, what] : after) {
    const auto was = before.find(name);
    if (changed.count(name)) continue;
    EXPECT_TRUE(was != before.end() && was->second == what) << context << ": '" << name << "' appeared or changed";
  }
  for (const auto& [name, what] : before)
    EXPECT_TRUE(after.count(name) || changed.count(name)) << context << ": '" << name << "' disappeared";
}

std::string CommandTest::Path(const std::string& name) const { return (folder / name).string(); }

std::string CommandTest::Quoted(const std::string& name) const { return "\"" + Path(name) + "\""; }

bool CommandTest::Exists(const std::string& name) const { return fs::exists(folder / name); }

std::string CommandTest::Read(const std::string& name) const { return rf::testing::ReadFile(folder / name); }

void CommandTest::Write(const std::string& name, const std::string& bytes) const { rf::testing::WriteFile(folder / name, bytes); }

void CommandTest::WriteImage(const std::string& name, int width, int height, ImageMode mode) const {
  Image image;
  image.width = width;
  image.height = height;
  image.mode = mode;
  image.pixels.resize(image.RowBytes() * size_t(height));
  for (size_t i = 0; i < image.pixels.size(); ++i) image.pixels[i] = uint8_t(i % 251);
  std::string error;
  ASSERT_TRUE(tools::WriteImage(Path(name), image, FileFormat::Unknown, error)) << error;
}

Image CommandTest::ReadImage(const std::string& name) const {
  Image image;
  std::string error;
  EXPECT_TRUE(tools::ReadImage(Path(name), image, error)) << error;
  return image;
}

}  // namespace rf::tools::testing
