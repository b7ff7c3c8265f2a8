// The Windows module as a host meets it: its resources, and (on Windows) a
// call through the entry point its PiPL names. Its export and import tables
// are checked by scripts/windows-test.sh.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "resources/embedded_resources.h"
#include "tests/resources/expected_pipl.h"
#include "tests/test_files.h"
#include "tools/hostlib/pipl.h"

#if defined(_WIN32)
#include <windows.h>

#include <atomic>
#include <thread>

#include "host/interface/host_interface.h"
#endif

namespace {

using Bytes = std::vector<uint8_t>;

// The cross-built module: RF_WINDOWS_MODULE, else (in the Windows build) the
// one in the build's plug-in folder next to tests/resources/.
std::string ModuleUnderTest() {
  if (const char* path = std::getenv("RF_WINDOWS_MODULE")) return path;
#if defined(_WIN32)
  std::string exe = rf::platform::ExecutablePath();
  for (int up = 0; up < 3; ++up) {
    const size_t cut = exe.find_last_of("\\/");
    if (cut == std::string::npos) return std::string();
    exe.resize(cut);
  }
  return exe + "\\plugin\\Rimeflower64.8bf";
#else
  return std::string();
#endif
}

Bytes Embedded(const char* type, int id) {
  size_t count = 0;
  const rf::resources::EmbeddedResource* table = rf::resources::EmbeddedResources(&count);
  for (size_t i = 0; i < count; ++i)
    if (std::strcmp(table[i].type, type) == 0 && table[i].id == id)
      return Bytes(table[i].data, table[i].data + table[i].size);
  return Bytes();
}

class WindowsModule : public ::testing::Test {
 protected:
  void SetUp() override {
    path = ModuleUnderTest();
    if (path.empty()) GTEST_SKIP() << "no Windows module: set RF_WINDOWS_MODULE to a cross-built Rimeflower64.8bf";
    const std::string bytes = rf::testing::ReadFile(path);
    ASSERT_FALSE(bytes.empty()) << "cannot read " << path;
    file.assign(bytes.begin(), bytes.end());
  }
  std::string path;
  Bytes file;
};

TEST_F(WindowsModule, ResourcesAreByteForByteTheLinuxModulesCopies) {
  Bytes out;
  std::string error;
  ASSERT_TRUE(rf::tools::FindPEResource(file, "PIPL", 16000, out, error)) << error;
  EXPECT_EQ(out, Embedded("PIPL", 16000));
  ASSERT_TRUE(rf::tools::FindPEResource(file, "AETE", 16000, out, error)) << error;
  EXPECT_EQ(out, Embedded("AETE", 16000));
  ASSERT_TRUE(rf::tools::FindPEResource(file, "#2", 998, out, error)) << error;
  EXPECT_EQ(out, Embedded("#2", 998));
  EXPECT_TRUE(rf::tools::FindPEResource(file, "#5", 128, out, error)) << "about dialog: " << error;
}

TEST_F(WindowsModule, HostReadsThePiPLAndTheTerminologyItNames) {
  rf::tools::PiPLInfo info;
  std::string error;
  ASSERT_TRUE(rf::tools::ReadModulePiPL(path, info, error)) << error;
  rf::testing::ExpectRimeflowerPiPL(info);
  EXPECT_EQ(rf::tools::CheckFilterPiPL(info, 3, 1), "");
}

#if defined(_WIN32)

// Closes the about box, if one appears, the way a user would.
class AboutBoxCloser {
 public:
  AboutBoxCloser()
      : thread_([this] {
          for (int i = 0; i < 200 && !done_; ++i) {
            if (HWND box = FindWindowA(nullptr, "About Rimeflower")) {
              PostMessageA(box, WM_COMMAND, IDOK, 0);
              sawBox = true;
            }
            Sleep(50);
          }
        }) {}
  ~AboutBoxCloser() {
    done_ = true;
    thread_.join();
  }
  std::atomic<bool> sawBox{false};

 private:
  std::atomic<bool> done_{false};
  std::thread thread_;
};

using EntryPoint = void (*)(int16_t, void*, intptr_t*, int16_t*);

class LoadedModule : public WindowsModule {
 protected:
  void SetUp() override {
    WindowsModule::SetUp();
    if (IsSkipped() || HasFatalFailure()) return;
    std::string error;
    module = rf::platform::LoadModule(path, error);
    ASSERT_NE(module, nullptr) << error;
    rf::tools::PiPLInfo info;
    ASSERT_TRUE(rf::tools::ReadModulePiPL(path, info, error)) << error;
    entry = reinterpret_cast<EntryPoint>(rf::platform::FindModuleSymbol(module, info.entryPoint.c_str()));
    ASSERT_NE(entry, nullptr) << info.entryPoint;
  }
  void TearDown() override { rf::platform::UnloadModule(module); }
  void* module = nullptr;
  EntryPoint entry = nullptr;
};

TEST_F(LoadedModule, AboutReturnsWithoutTouchingTheHostsSlots) {
  rf::host::PlatformData platform{0};
  rf::host::AboutRecord about{};
  about.platformData = &platform;
  intptr_t data = 0x5EED;
  int16_t result = 0;
  bool sawBox = false;
  {
    AboutBoxCloser closer;
    entry(rf::host::kSelectorAbout, &about, &data, &result);
    sawBox = closer.sawBox;
  }
  // Under Wine with an X display (and on a Windows desktop) the box must
  // have been there to close; headless, the dialog call fails at once.
  if (GetEnvironmentVariableA("DISPLAY", nullptr, 0) > 0) {
    EXPECT_TRUE(sawBox) << "no about box appeared";
  }
  EXPECT_EQ(data, 0x5EED);
  EXPECT_EQ(result, 0);
  EXPECT_EQ(platform.hwnd, 0);
}

TEST_F(LoadedModule, MissingHostServicesGiveResultCodesNotCrashes) {
  // No handle procedures: the parameters handle cannot be created.
  rf::host::FilterRecord record{};
  intptr_t data = 0;
  int16_t result = 0;
  entry(rf::host::kSelectorParameters, &record, &data, &result);
  EXPECT_EQ(result, -108);
  // Start without the handles the parameters selector makes.
  result = 0;
  entry(rf::host::kSelectorStart, &record, &data, &result);
  EXPECT_EQ(result, -30100);
  result = 0;
  entry(rf::host::kSelectorFinish, &record, &data, &result);
  EXPECT_EQ(result, -30100);
  // Unknown selectors do nothing.
  result = 0;
  entry(42, &record, &data, &result);
  EXPECT_EQ(result, 0);
}

#endif  // _WIN32

}  // namespace
