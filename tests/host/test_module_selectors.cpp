// The entry point driven selector by selector with a bare-bones host whose
// handle procedures count what the module does.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <vector>

#include "host/interface/host_interface.h"
#include "host/record/parameters.h"
#include "module_path.h"
#include "platform/platform.h"

namespace rf::host {
namespace {

struct Block {
  char* data;
  std::vector<char> bytes;
};

std::map<Handle, std::unique_ptr<Block>> g_blocks;
int g_locks = 0, g_unlocks = 0, g_news = 0;
bool g_failNew = false;

Handle NewH(int32_t size) {
  ++g_news;
  if (g_failNew) return nullptr;
  auto b = std::make_unique<Block>();
  b->bytes.assign(size_t(size), char(0x5A));
  b->data = b->bytes.data();
  Handle h = &b->data;
  g_blocks[h] = std::move(b);
  return h;
}
void DisposeH(Handle h) { g_blocks.erase(h); }
int32_t SizeH(Handle h) { return g_blocks.count(h) ? int32_t(g_blocks[h]->bytes.size()) : 0; }
Ptr LockH(Handle h, Boolean) {
  ++g_locks;
  return g_blocks.count(h) ? g_blocks[h]->data : nullptr;
}
void UnlockH(Handle) { ++g_unlocks; }

class ModuleSelectors : public ::testing::Test {
 protected:
  void SetUp() override {
    g_blocks.clear();
    g_locks = g_unlocks = g_news = 0;
    g_failNew = false;
    std::string error;
    module_ = platform::LoadModule(BuiltModulePath(), error);
    ASSERT_NE(module_, nullptr) << error;
    entry_ = reinterpret_cast<PluginMainProc>(platform::FindModuleSymbol(module_, "PluginMain"));
    ASSERT_NE(entry_, nullptr);
    procs_ = HandleProcs{1, 8, NewH, DisposeH, SizeH, nullptr, LockH, UnlockH, nullptr, DisposeH};
    record_ = FilterRecord{};
    record_.handleProcs = &procs_;
    record_.planes = 3;
    record_.imageMode = kModeRGBColor;
    record_.filterRect = PIRect{0, 0, 300, 400};
    record_.maxSpace = 1 << 30;
  }
  void TearDown() override {
    if (module_) platform::UnloadModule(module_);
  }

  int16_t Call(int16_t selector, void* record = nullptr) {
    int16_t result = 0;
    entry_(selector, record ? record : &record_, &slot_, &result);
    return result;
  }
  const ParameterRecord& Params() { return *reinterpret_cast<ParameterRecord*>(*record_.parameters); }
  const uint8_t* State() { return reinterpret_cast<uint8_t*>(*reinterpret_cast<Handle>(slot_)); }

  void* module_ = nullptr;
  PluginMainProc entry_ = nullptr;
  HandleProcs procs_{};
  FilterRecord record_{};
  intptr_t slot_ = 0;
};

TEST_F(ModuleSelectors, ParametersCreatesBothHandlesAndResets) {
  EXPECT_NE(platform::FindModuleSymbol(module_, "PluginMain1"), nullptr);  // the second entry name
  EXPECT_EQ(Call(kSelectorParameters), 0);
  ASSERT_NE(Handle(record_.parameters), nullptr);  // a copy: the field is packed
  ASSERT_NE(slot_, 0);
  EXPECT_EQ(SizeH(record_.parameters), 256);
  EXPECT_EQ(SizeH(reinterpret_cast<Handle>(slot_)), 20);
  EXPECT_EQ(Params().windowPlacement.width, 828);
  EXPECT_EQ(Params().SceneDirty, 1);
  EXPECT_EQ(State()[8], 1);  // ShowDialog
  EXPECT_EQ(g_locks, g_unlocks);
}

TEST_F(ModuleSelectors, MissingHandlesAreResultCodes) {
  EXPECT_EQ(Call(kSelectorStart), -30100);
  EXPECT_EQ(Call(kSelectorFinish), -30100);
  g_failNew = true;
  EXPECT_EQ(Call(kSelectorParameters), -108);
  EXPECT_EQ(Handle(record_.parameters), nullptr);
  EXPECT_EQ(g_locks, 0);
  g_failNew = false;
  ASSERT_EQ(Call(kSelectorParameters), 0);
  procs_.lockProc = [](Handle, Boolean) -> Ptr { return nullptr; };
  EXPECT_EQ(Call(kSelectorFinish), -108);
}

TEST_F(ModuleSelectors, AboutAndUnknownSelectorsTouchNoHandle) {
  ASSERT_EQ(Call(kSelectorParameters), 0);
  const int before = g_news + g_locks + g_unlocks;
  AboutRecord about{};
  PlatformData platform{};
  about.platformData = &platform;
  EXPECT_EQ(Call(kSelectorAbout, &about), 0);
  for (int16_t selector : {6, -1, 1000}) EXPECT_EQ(Call(selector), 0) << selector;
  EXPECT_EQ(g_news + g_locks + g_unlocks, before);
}

// Both sides of the buffer limited to 256, a plane more for a mask, 32-bit
// rectangles when offered, and a smaller limit the host set kept.
TEST_F(ModuleSelectors, PrepareCreatesMissingHandlesAndLimitsBufferMemory) {
  uint8_t mask = 0;
  const struct {
    PIRect rect;
    bool masked, big;
    int32_t maxSpace, expected;
  } cases[] = {{{0, 0, 300, 400}, false, false, 1 << 30, 2 * 3 * 256 * 256},
               {{0, 0, 10, 20}, true, false, 1 << 30, 2 * 4 * 20 * 10},
               {{0, 0, 10, 20}, true, false, 100, 100},
               {{0, 0, 300, 400}, false, true, 1 << 30, 2 * 3 * 50 * 256}};
  for (const auto& c : cases) {
    BigDocumentStruct big{};
    big.filterRect32 = VRect{0, 0, 100000, 50};
    record_.bigDocumentData = c.big ? &big : nullptr;
    record_.maskData = c.masked ? &mask : nullptr;
    record_.filterRect = c.rect;
    record_.maxSpace = c.maxSpace;
    record_.bufferSpace = 12345;
    EXPECT_EQ(Call(kSelectorPrepare), 0);
    EXPECT_EQ(record_.maxSpace, c.expected) << c.expected;
    EXPECT_EQ(record_.bufferSpace, 0);
    EXPECT_EQ(big.PluginUsing32BitCoordinates, c.big ? 1 : 0);
  }
  ASSERT_NE(Handle(record_.parameters), nullptr);  // a copy: the field is packed
  EXPECT_EQ(Params().windowPlacement.left, 100);
}

TEST_F(ModuleSelectors, ContinueAsksForNothingMore) {
  ASSERT_EQ(Call(kSelectorParameters), 0);
  record_.inRect = PIRect{0, 0, 10, 10};
  record_.outRect = PIRect{1, 1, 5, 5};
  record_.maskRect = PIRect{0, 0, 3, 3};
  EXPECT_EQ(Call(kSelectorContinue), 0);
  for (const PIRect& r : {record_.inRect, record_.outRect, record_.maskRect})
    EXPECT_TRUE(r.top == 0 && r.left == 0 && r.bottom == 0 && r.right == 0);
}

// The module finds its folders by cutting its own 16-character file name
// off its path: a copy under another name of that length still finds the
// settings file, a copy under a longer name does not.
TEST_F(ModuleSelectors, SettingsFileIsReadFromBesideTheModule) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::path(::testing::TempDir()) / "rf-module-copy";
  fs::remove_all(dir);
  fs::create_directories(dir);
  fs::copy_file(BuiltModulePath(), dir / "Rimeflower64.8bf");
  fs::copy_file(BuiltModulePath(), dir / "Rimeflower64-copy.8bf");
  {
    std::ofstream ini(dir / "Rimeflower.ini", std::ios::binary);
    ini << ";Parameters for Rimeflower plug-in UI\ntfeL 33 \t\t\t\t;Left of window\n poT 44 \t\t\t\t;Top\n";
  }
  for (const char* name : {"Rimeflower64.8bf", "Rimeflower64-copy.8bf"}) {
    std::string error;
    void* copy = platform::LoadModule((dir / name).string(), error);
    ASSERT_NE(copy, nullptr) << error;
    auto entry = reinterpret_cast<PluginMainProc>(platform::FindModuleSymbol(copy, "PluginMain"));
    FilterRecord record = record_;
    record.parameters = nullptr;
    intptr_t slot = 0;
    int16_t result = 0;
    entry(kSelectorPrepare, &record, &slot, &result);
    ASSERT_EQ(result, 0);
    const auto* p = reinterpret_cast<const ParameterRecord*>(*record.parameters);
    if (std::string(name) == "Rimeflower64.8bf") {
      EXPECT_EQ(p->windowPlacement.left, 33);
      EXPECT_EQ(p->windowPlacement.top, 44);
    } else {
      EXPECT_EQ(p->windowPlacement.left, 100);
    }
    platform::UnloadModule(copy);
  }
}

}  // namespace
}  // namespace rf::host
