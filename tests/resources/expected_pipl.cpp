#include "tests/resources/expected_pipl.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/resources/expected_terminology.h"

namespace rf::testing {

namespace {

uint32_t Code(const char* s) {
  return (uint32_t(uint8_t(s[0])) << 24) | (uint32_t(uint8_t(s[1])) << 16) | (uint32_t(uint8_t(s[2])) << 8) |
         uint32_t(uint8_t(s[3]));
}

}  // namespace

void ExpectRimeflowerPiPL(const tools::PiPLInfo& info) {
  EXPECT_EQ(info.listVersion, 0);
  const char* const order[12] = {"kind", "name", "catg", "vers", "cmpt", "8664",
                                 "mode", "hstm", "enbl", "ms32", "flly", "fici"};
  ASSERT_EQ(info.properties.size(), 12u);
  for (size_t i = 0; i < 12; ++i) {
    EXPECT_EQ(tools::FourCCText(info.properties[i].key), order[i]) << "property " << i;
    EXPECT_EQ(info.properties[i].vendor, Code("8BIM")) << order[i];
    EXPECT_EQ(info.properties[i].id, 0) << order[i];
  }

  EXPECT_EQ(info.kind, Code("8BFM"));
  EXPECT_EQ(info.name, "Rimeflower...");
  EXPECT_EQ(info.category, "Kestrelworks");
  EXPECT_TRUE(info.hasInterfaceVersion);
  EXPECT_EQ(info.interfaceVersion, 0x00040000);
  EXPECT_TRUE(info.hasComponent);
  EXPECT_EQ(info.componentVersion, 0);
  EXPECT_EQ(info.componentName, "Rimeflower");
  EXPECT_EQ(info.entryPoint, "PluginMain");
  EXPECT_EQ(info.modeFlags, (std::vector<uint8_t>{0x18, 0x00}));
  EXPECT_EQ(info.enableExpression, "in (PSHOP_ImageMode, RGBMode, CMYKMode)");
  EXPECT_TRUE(info.hasMaxSize);
  EXPECT_EQ(info.maxHeight, 2000000);
  EXPECT_EQ(info.maxWidth, 2000000);
  EXPECT_TRUE(info.filterLayers);
  EXPECT_EQ(info.properties[10].data, (std::vector<uint8_t>{0x80, 0, 0, 0}));

  EXPECT_TRUE(info.hasTerminology);
  EXPECT_EQ(info.terminologyVersion, 0);
  EXPECT_EQ(info.terminologyClass, Code("RmFl"));
  EXPECT_EQ(info.terminologyEvent, Code("RmFl"));
  EXPECT_EQ(info.terminologyId, 16000);
  EXPECT_EQ(info.scope, "d9543b0c-3c91-11d4-97bc-00b004052017");

  // Straight data in and out everywhere; layer masks and blank data always,
  // writing outside the selection wherever there is a selection.
  const uint8_t flags[7] = {0x06, 0x0E, 0x0E, 0x06, 0x0E, 0x06, 0x0E};
  ASSERT_EQ(info.filterCases.size(), 7u);
  for (size_t i = 0; i < 7; ++i) {
    EXPECT_EQ(info.filterCases[i].inputHandling, 1) << "case " << i + 1;
    EXPECT_EQ(info.filterCases[i].outputHandling, 1) << "case " << i + 1;
    EXPECT_EQ(info.filterCases[i].flags1, flags[i]) << "case " << i + 1;
    EXPECT_EQ(info.filterCases[i].flags2, 0) << "case " << i + 1;
  }

  EXPECT_TRUE(info.hasAete) << info.aeteError;
  if (info.hasAete) ExpectRimeflowerTerminology(info.aete);
}

void ExpectRimeflowerTerminology(const tools::AeteInfo& a) {
  EXPECT_EQ(a.majorVersion, 1);
  EXPECT_EQ(a.minorVersion, 0);
  EXPECT_EQ(a.language, 1);
  EXPECT_EQ(a.script, 0);
  EXPECT_EQ(a.suiteName, "Kestrelworks");
  EXPECT_EQ(a.suiteDescription, "Adobe example plug-ins");
  EXPECT_EQ(a.suiteId, Code("RmFl"));
  EXPECT_EQ(a.suiteLevel, 1);
  EXPECT_EQ(a.suiteVersion, 1);
  EXPECT_EQ(a.eventName, "Rimeflower");
  EXPECT_EQ(a.eventDescription, "dissolve example filter plug-in");
  EXPECT_EQ(a.eventClass, Code("RmFl"));
  EXPECT_EQ(a.eventId, Code("RmFl"));
  EXPECT_EQ(a.replyType, Code("null"));
  EXPECT_EQ(a.directParameterType, Code("#ImR"));
  EXPECT_EQ(a.directParameterFlags, 0xB000);
  ASSERT_EQ(a.parameters.size(), 47u);
  for (size_t i = 0; i < 47; ++i) {
    const tools::AeteParameter& p = a.parameters[i];
    const ExpectedParameter& e = kExpectedParameters[i];
    EXPECT_EQ(p.name, e.name) << "parameter " << i + 1;
    EXPECT_EQ(tools::FourCCText(p.key), e.key) << e.name;
    EXPECT_EQ(tools::FourCCText(p.type), e.type) << e.name;
    EXPECT_EQ(p.description, " ") << e.name;
    EXPECT_EQ(p.flags, 0) << e.name;
  }
}

}  // namespace rf::testing
