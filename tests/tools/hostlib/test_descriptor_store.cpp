#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tools/hostlib/descriptor_store.h"

namespace rf::tools {
namespace {

TEST(HostDescriptor, SerialisesBothValueKinds) {
  HostDescriptor d;
  d.PutInteger(FourCC("RndS"), -5);
  d.PutFloat(FourCC("Scle"), 0.1);
  d.PutInteger(FourCC("RndS"), 9);  // a later put of a key wins
  const std::vector<uint8_t> bytes = d.Serialise();
  HostDescriptor back;
  ASSERT_TRUE(HostDescriptor::Deserialise(bytes.data(), bytes.size(), back));
  EXPECT_EQ(back.Find(FourCC("RndS"))->integer, 9);
  EXPECT_EQ(back.Find(FourCC("Scle"))->real, 0.1);
  EXPECT_EQ(back.Find(FourCC("zzzz")), nullptr);
  EXPECT_FALSE(HostDescriptor::Deserialise(bytes.data(), bytes.size() - 1, back));
  EXPECT_FALSE(HostDescriptor::Deserialise(bytes.data(), 2, back));
}

TEST(DescriptorRegistry, PersistentEntriesSurviveAReload) {
  const std::string path = std::string(::testing::TempDir()) + "rf-registry-test/sub/registry";
  std::filesystem::remove_all(std::string(::testing::TempDir()) + "rf-registry-test");
  ParameterRecord record;
  ResetToDefaults(record, true);
  record.MinInterval = 1.0f / 3.0f;
  record.Color = 0xFF00FF00u;
  {
    DescriptorRegistry registry(path);
    ASSERT_TRUE(registry.Load());
    registry.Register("key-a", DescriptorFromRecord(record), true);
    registry.Register("session-only", DescriptorFromRecord(record), false);
    ASSERT_TRUE(registry.Save());
  }
  DescriptorRegistry again(path);
  ASSERT_TRUE(again.Load());
  ASSERT_NE(again.Get("key-a"), nullptr);
  EXPECT_EQ(again.Get("session-only"), nullptr);
  ParameterRecord back;
  ResetToDefaults(back, true);
  ApplyDescriptor(*again.Get("key-a"), back);
  EXPECT_EQ(back.MinInterval, record.MinInterval);
  EXPECT_EQ(back.Color, record.Color);
}

TEST(DescriptorRegistry, DamagedLinesAreSkipped) {
  const std::string path = std::string(::testing::TempDir()) + "rf-registry-damaged";
  {
    std::ofstream out(path, std::ios::trunc);
    out << "k 52 6e 64 53 long\n"
        << "k zzzz long 4\n"
        << "k 526e6453 long 42\n"
        << "k 5363 6c65 doub\n"
        << "\n";
  }
  DescriptorRegistry registry(path);
  ASSERT_TRUE(registry.Load());
  ASSERT_NE(registry.Get("k"), nullptr);
  EXPECT_EQ(registry.Get("k")->Find(FourCC("RndS"))->integer, 42);
}

}  // namespace
}  // namespace rf::tools
