// The Win32 side of the platform layer, run under Wine or on Windows. This
// program carries the module's resource script, so the resource lookup is
// checked against the bytes the Linux module has compiled in.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "platform/win32/module_instance.h"
#include "resources/embedded_resources.h"

namespace {

namespace platform = rf::platform;

std::vector<uint8_t> Embedded(const char* type, int id) {
  size_t count = 0;
  const rf::resources::EmbeddedResource* table = rf::resources::EmbeddedResources(&count);
  for (size_t i = 0; i < count; ++i)
    if (std::strcmp(table[i].type, type) == 0 && table[i].id == id)
      return std::vector<uint8_t>(table[i].data, table[i].data + table[i].size);
  return {};
}

std::vector<uint8_t> Found(const char* type, int id) {
  const platform::ResourceBytes r = platform::FindModuleResource(type, id);
  return r ? std::vector<uint8_t>(r.data, r.data + r.size) : std::vector<uint8_t>();
}

TEST(Win32Resources, ResourceCompilerProducedTheSameBytesAsLinuxCarries) {
  for (const auto& [type, id] : std::vector<std::pair<const char*, int>>{{"PIPL", 16000}, {"AETE", 16000}, {platform::kBitmapResource, 998}}) {
    const std::vector<uint8_t> bytes = Found(type, id);
    EXPECT_FALSE(bytes.empty()) << type << " " << id;
    EXPECT_EQ(bytes, Embedded(type, id)) << type << " " << id;
  }
}

TEST(Win32Resources, AbsentResourcesAndBadArgumentsGiveNothing) {
  EXPECT_FALSE(platform::FindModuleResource("PIPL", 16001));
  EXPECT_FALSE(platform::FindModuleResource("XXXX", 16000));
  EXPECT_FALSE(platform::FindModuleResource(platform::kBitmapResource, 997));
  EXPECT_FALSE(platform::FindModuleResource(nullptr, 16000));
  EXPECT_FALSE(platform::FindModuleResource("PIPL", 0));
  EXPECT_FALSE(platform::FindModuleResource("PIPL", 70000));
}

TEST(Win32Module, PathsNameThisProgramWithWindowsSeparators) {
  // In a program DllMain never runs; the instance is the program's own.
  EXPECT_EQ(platform::win32::ModuleInstance(), static_cast<void*>(GetModuleHandleA(nullptr)));
  const std::string exe = platform::ExecutablePath();
  EXPECT_EQ(platform::ModulePath(), exe);
  ASSERT_GT(exe.size(), 4u);
  EXPECT_EQ(exe.substr(exe.size() - 4), ".exe");
  EXPECT_NE(exe.find('\\'), std::string::npos);
  EXPECT_TRUE(platform::IsPathSeparator('/'));
}

TEST(Win32Pages, CommittedZeroedAndImpossibleSizesRefused) {
  const size_t size = 3 * 1024 * 1024 + 17;
  auto* p = static_cast<uint8_t*>(platform::AllocPages(size));
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(p) % 16, 0u);
  EXPECT_TRUE(std::all_of(p, p + size, [](uint8_t b) { return b == 0; }));
  p[0] = 1;
  p[size - 1] = 2;
  platform::FreePages(p);
  platform::FreePages(nullptr);

  EXPECT_EQ(platform::AllocPages(0), nullptr);
  EXPECT_EQ(platform::AllocPages(SIZE_MAX), nullptr);
  const uint64_t physical = platform::PhysicalMemoryBytes();
  ASSERT_GT(physical, 0u);
  EXPECT_EQ(platform::AllocPages(size_t(physical / 10 * 8)), nullptr);
}

class Win32Files : public ::testing::Test {
 protected:
  void SetUp() override {
    char temp[MAX_PATH];
    ASSERT_GT(GetTempPathA(MAX_PATH, temp), 0u);
    folder = std::string(temp) + "rf_platform_test_" + std::to_string(GetCurrentProcessId());
    ASSERT_TRUE(platform::MakeDirectory(folder));
  }
  void TearDown() override {
    platform::RemoveFile(folder + "\\a.rmfpst");
    RemoveDirectoryA((folder + "\\Sub").c_str());
    RemoveDirectoryA(folder.c_str());
  }
  std::string folder;
};

TEST_F(Win32Files, ListingMarksFoldersAndUserFiles) {
  std::ofstream(folder + "\\a.rmfpst") << "x\n";
  ASSERT_TRUE(platform::MakeDirectory(folder + "\\Sub"));
  EXPECT_TRUE(platform::MakeDirectory(folder + "\\Sub"));  // already there is fine

  std::vector<platform::DirectoryEntry> entries = platform::ListDirectory(folder);
  auto find = [&](const char* name) {
    for (const platform::DirectoryEntry& e : entries)
      if (e.name == name) return e.isFolder ? 'D' : e.isListedFile ? 'F' : '?';
    return '-';
  };
  EXPECT_EQ(find("."), '-');
  EXPECT_EQ(find(".."), 'D');
  EXPECT_EQ(find("Sub"), 'D');
  EXPECT_EQ(find("a.rmfpst"), 'F');
  // A trailing separator, or a forward slash, lists the same folder.
  EXPECT_EQ(platform::ListDirectory(folder + "\\").size(), entries.size());
  EXPECT_TRUE(platform::ListDirectory(folder + "\\missing").empty());

  EXPECT_TRUE(platform::FileExists(folder + "\\a.rmfpst"));
  EXPECT_FALSE(platform::FileExists(folder + "\\Sub"));
  EXPECT_TRUE(platform::RemoveFile(folder + "\\a.rmfpst"));
  EXPECT_FALSE(platform::RemoveFile(folder + "\\a.rmfpst"));
}

TEST(Win32Modules, LoadingAMissingModuleExplainsWhy) {
  std::string error;
  EXPECT_EQ(platform::LoadModule("Z:\\no\\such\\module.8bf", error), nullptr);
  EXPECT_NE(error.find("module.8bf"), std::string::npos) << error;
  EXPECT_EQ(platform::FindModuleSymbol(nullptr, "PluginMain"), nullptr);
  platform::UnloadModule(nullptr);

  void* kernel = platform::LoadModule("kernel32.dll", error);
  ASSERT_NE(kernel, nullptr) << error;
  EXPECT_NE(platform::FindModuleSymbol(kernel, "GetTickCount"), nullptr);
  EXPECT_EQ(platform::FindModuleSymbol(kernel, "NoSuchFunction"), nullptr);
  platform::UnloadModule(kernel);
}

}  // namespace
