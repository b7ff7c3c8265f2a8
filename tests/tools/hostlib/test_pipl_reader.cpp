// Reading a module's PiPL and terminology: decoding, the host's check before
// a call, PE resource lookup, and refusal of anything malformed. (Damaged
// PiPL and AETE bytes are tests/fuzz/fuzz_pipl.cpp's, whose corpus grew from
// the module's own; its inputs are never PE files, so those are damaged here.)
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "tests/resources/expected_pipl.h"
#include "tests/tools/hostlib/pe_builder.h"
#include "tools/hostlib/pipl.h"
#include "tools/resgen/resource_bytes.h"

namespace {

using rf::resgen::Bytes;
using rf::testing::BuildPEImage;
using namespace rf::tools;

PiPLInfo Decoded(const Bytes& bytes) {
  PiPLInfo info;
  std::string error;
  EXPECT_TRUE(DecodePiPL(bytes.data(), bytes.size(), info, error)) << error;
  return info;
}

std::string WriteTemp(const std::string& name, const Bytes& bytes) {
  const std::string path = ::testing::TempDir() + name;
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  return path;
}

// Offset of the data of a property in the generated PiPL.
size_t PropertyData(const Bytes& p, const char* key) {
  size_t at = 10;
  while (at + 16 <= p.size()) {
    const uint32_t length = p[at + 12] | p[at + 13] << 8 | p[at + 14] << 16 | uint32_t(p[at + 15]) << 24;
    if (p[at + 7] == key[0] && p[at + 6] == key[1] && p[at + 5] == key[2] && p[at + 4] == key[3]) return at + 16;
    at += 16 + (length + 3) / 4 * 4;
  }
  return 0;
}

// ---- Decoding ---------------------------------------------------------------

TEST(DecodePiPL, EveryTruncationIsRefused) {
  const Bytes full = rf::resgen::BuildPiPL();
  for (size_t n = 0; n < full.size(); ++n) {
    PiPLInfo info;
    std::string error;
    EXPECT_FALSE(DecodePiPL(full.data(), n, info, error)) << n << " bytes";
    EXPECT_FALSE(error.empty());
  }
}

TEST(DecodePiPL, MalformedFieldsAreRefusedWithTheReason) {
  const Bytes good = rf::resgen::BuildPiPL();
  struct Case {
    const char* what;
    void (*change)(Bytes&);
    const char* message;
  };
  const Case cases[] = {
      {"first word", [](Bytes& b) { b[0] = 2; }, "first word"},
      {"list version", [](Bytes& b) { b[2] = 1; }, "version"},
      {"property count", [](Bytes& b) { b[6] = 0xFF; }, "cannot fit"},
      {"length past the end", [](Bytes& b) { b[10 + 12] = 0xF0; }, "runs past the end"},
      {"entry point without terminator",
       [](Bytes& b) {
         const size_t at = PropertyData(b, "8664");
         b[at + 10] = 'X';  // the zero after "PluginMain"
         b[at + 11] = 'X';  // and the padding
       },
       "terminating zero"},
      {"name longer than its property",
       [](Bytes& b) { b[PropertyData(b, "name")] = 200; }, "longer than the property"},
      {"fici of 6 cases",
       [](Bytes& b) { b[PropertyData(b, "fici") - 4] = 24; }, "7 cases"},
      {"hstm too short",
       [](Bytes& b) { b[PropertyData(b, "hstm") - 4] = 14; }, "needs 15"},
  };
  for (const Case& c : cases) {
    Bytes bad = good;
    c.change(bad);
    PiPLInfo info;
    std::string error;
    EXPECT_FALSE(DecodePiPL(bad.data(), bad.size(), info, error)) << c.what;
    EXPECT_NE(error.find(c.message), std::string::npos) << c.what << ": " << error;
  }
}

TEST(DecodeAete, EveryTruncationInsideTheParametersIsRefused) {
  const Bytes full = rf::resgen::BuildTerminology();
  // Everything up to the last parameter is needed; the three trailing
  // counts are not read by hosts.
  for (size_t n = 0; n + 6 < full.size(); ++n) {
    AeteInfo aete;
    std::string error;
    EXPECT_FALSE(DecodeAete(full.data(), n, aete, error)) << n << " bytes";
  }
  AeteInfo aete;
  std::string error;
  ASSERT_TRUE(DecodeAete(full.data(), full.size(), aete, error)) << error;
  rf::testing::ExpectRimeflowerTerminology(aete);
}

TEST(FindPEResource, RandomlyDamagedImagesNeverReadOutOfBounds) {
  const Bytes good = BuildPEImage({{"PIPL", 16000, 1033, rf::resgen::BuildPiPL()}, {"#2", 998, 1033, {1, 2, 3}}});
  std::mt19937 random(99);
  for (int round = 0; round < 3000; ++round) {
    Bytes f = good;
    for (int k = 0; k < 3; ++k) {
      // Mostly the headers and the directory tree, where offsets live.
      const size_t at = random() % 2 ? random() % 0x500 : random() % f.size();
      if (at < f.size()) f[at] = uint8_t(random());
    }
    if (random() % 4 == 0) f.resize(random() % f.size());
    Bytes out;
    std::string error;
    FindPEResource(f, "PIPL", -1, out, error);
    FindPEResource(f, "#2", 998, out, error);
  }
}

// ---- The host's check before a call -------------------------------------------

TEST(CheckFilterPiPL, OnlyRgbAndCmykInKnownCasesAreCalled) {
  const PiPLInfo info = Decoded(rf::resgen::BuildPiPL());
  for (int16_t mode : {3, 4})
    for (int16_t filterCase = 0; filterCase <= 7; ++filterCase)
      EXPECT_EQ(CheckFilterPiPL(info, mode, filterCase), "") << mode << " " << filterCase;
  EXPECT_NE(CheckFilterPiPL(info, 1, 1).find("GrayScaleMode"), std::string::npos);
  EXPECT_NE(CheckFilterPiPL(info, -1, 1), "");
  // 16-bit modes pass the 'mode' flags (they have no bit of their own) but
  // the enable expression lists only the 8-bit modes.
  EXPECT_NE(CheckFilterPiPL(info, 11, 1).find("not enabled for RGB48Mode"), std::string::npos);
  EXPECT_NE(CheckFilterPiPL(info, 3, 8).find("unknown filter case"), std::string::npos);
  EXPECT_NE(CheckFilterPiPL(info, 3, -1), "");
}

TEST(CheckFilterPiPL, RefusesWhatAHostCannotCall) {
  const PiPLInfo good = Decoded(rf::resgen::BuildPiPL());
  PiPLInfo info = good;
  info.kind = 0x3842494D;  // '8BIM'
  EXPECT_NE(CheckFilterPiPL(info, 3, 1).find("not a filter"), std::string::npos);
  info = good;
  info.interfaceVersion = 0x00050000;
  EXPECT_NE(CheckFilterPiPL(info, 3, 1).find("interface 5.0"), std::string::npos);
  info = good;
  info.entryPoint.clear();
  EXPECT_NE(CheckFilterPiPL(info, 3, 1).find("'8664'"), std::string::npos);
  info = good;
  info.modeFlags = {0x10, 0x00};  // RGB only
  EXPECT_NE(CheckFilterPiPL(info, 4, 1), "");
  info = good;
  info.filterCases[2].inputHandling = 0;  // cannot filter a floating selection
  EXPECT_NE(CheckFilterPiPL(info, 3, 3).find("floating selection"), std::string::npos);
  EXPECT_EQ(CheckFilterPiPL(info, 3, 2), "");
  info = good;
  info.enableExpression = "PSHOP_ImageDepth == 8";  // a form this host does not evaluate: flags decide
  EXPECT_EQ(CheckFilterPiPL(info, 11, 1), "");
  EXPECT_NE(CheckFilterPiPL(PiPLInfo{}, 3, 1), "");
}

// ---- PE resources ---------------------------------------------------------------

TEST(FindPEResource, PrefersUsEnglishAndFindsNamedAndNumericTypes) {
  const Bytes f = BuildPEImage({
      {"PIPL", 16000, 0, {1, 2, 3}},
      {"PIPL", 16000, 1033, {4, 5, 6, 7, 8}},
      {"AETE", 16000, 1033, {9}},
      {"#2", 998, 1033, {10, 11}},
      {"#2", 999, 1033, {12}},
  });
  Bytes out;
  std::string error;
  ASSERT_TRUE(FindPEResource(f, "PIPL", 16000, out, error)) << error;
  EXPECT_EQ(out, (Bytes{4, 5, 6, 7, 8}));
  ASSERT_TRUE(FindPEResource(f, "pipl", -1, out, error)) << error;
  EXPECT_EQ(out, (Bytes{4, 5, 6, 7, 8}));
  ASSERT_TRUE(FindPEResource(f, "#2", 998, out, error)) << error;
  EXPECT_EQ(out, (Bytes{10, 11}));
  EXPECT_FALSE(FindPEResource(f, "#2", 1000, out, error));
  EXPECT_NE(error.find("#2 1000"), std::string::npos) << error;
  EXPECT_FALSE(FindPEResource(f, "DLGX", -1, out, error));
  // Only US English and neutral copies: the first one is taken.
  const Bytes neutral = BuildPEImage({{"PIPL", 1, 0, {7}}});
  ASSERT_TRUE(FindPEResource(neutral, "PIPL", -1, out, error)) << error;
  EXPECT_EQ(out, Bytes{7});
}

TEST(FindPEResource, BrokenHeadersDirectoriesAndDataOffsetsAreRefused) {
  const size_t section = rf::testing::kResourceSectionOffset;
  const Bytes good = BuildPEImage({{"PIPL", 16000, 1033, {1, 2, 3, 4}}});
  Bytes out;
  std::string error;
  ASSERT_TRUE(FindPEResource(good, "PIPL", -1, out, error)) << error;
  EXPECT_FALSE(FindPEResource(Bytes(200, 0), "PIPL", -1, out, error));

  Bytes f = good;
  f[0x3C] = 0xF0;  // PE header beyond the end
  f[0x3D] = 0xFF;
  EXPECT_FALSE(FindPEResource(f, "PIPL", -1, out, error));
  EXPECT_NE(error.find("PE header"), std::string::npos);

  f = good;
  f[section + 14] = 0xFF;  // root: 0xFFxx ID entries cannot fit
  f[section + 15] = 0xFF;
  EXPECT_FALSE(FindPEResource(f, "PIPL", -1, out, error));

  // The data entry is the only 16-byte leaf; point its RVA past the file.
  f = good;
  const size_t leaf = section + 16 + 8 + 16 + 8 + 16 + 8;
  f[leaf + 3] = 0x7F;
  EXPECT_FALSE(FindPEResource(f, "PIPL", -1, out, error));
  EXPECT_NE(error.find("outside the file"), std::string::npos) << error;

  f = good;
  f[leaf + 4] = 0xFF;  // size beyond the section
  f[leaf + 5] = 0xFF;
  EXPECT_FALSE(FindPEResource(f, "PIPL", -1, out, error));
}

// ---- Reading a module file ------------------------------------------------------

TEST(ReadModulePiPL, MissingTerminologyStillAllowsTheCall) {
  const std::string path = WriteTemp("rf_noaete.8bf", BuildPEImage({{"PIPL", 16000, 1033, rf::resgen::BuildPiPL()}}));
  PiPLInfo info;
  std::string error;
  ASSERT_TRUE(ReadModulePiPL(path, info, error)) << error;
  EXPECT_FALSE(info.hasAete);
  EXPECT_NE(info.aeteError.find("AETE"), std::string::npos);
  EXPECT_EQ(CheckFilterPiPL(info, 3, 1), "");
  EXPECT_NE(FormatPiPL(info).find("AETE: the module has no AETE"), std::string::npos);
  std::remove(path.c_str());
}

TEST(ReadModulePiPL, ModulesWithoutAUsablePiPLAreRefused) {
  PiPLInfo info;
  std::string error;
  EXPECT_FALSE(ReadModulePiPL(::testing::TempDir() + "no_such_module.8bf", info, error));
  EXPECT_NE(error.find("cannot open"), std::string::npos);

  Bytes broken = rf::resgen::BuildPiPL();
  broken.resize(broken.size() - 3);
  // An ELF file that does not carry this filter's PiPL.
  Bytes elf = {0x7F, 'E', 'L', 'F', 2, 1, 1, 0};
  elf.resize(4096, 0);
  const std::pair<Bytes, const char*> cases[] = {
      {BuildPEImage({{"#2", 998, 1033, {1}}}), "no PIPL resource"},
      {BuildPEImage({{"PIPL", 16000, 1033, broken}}), "malformed PiPL"},
      {elf, "carries no PiPL"},
  };
  for (const auto& [bytes, message] : cases) {
    const std::string path = WriteTemp("rf_bad.8bf", bytes);
    EXPECT_FALSE(ReadModulePiPL(path, info, error)) << message;
    EXPECT_NE(error.find(message), std::string::npos) << error;
    std::remove(path.c_str());
  }
}

TEST(ReadModulePiPL, WindowsAndLinuxModulesAreReadFromTheFilesBytes) {
  Bytes elf = {0x7F, 'E', 'L', 'F', 2, 1, 1, 0};
  elf.resize(512, 0);
  const Bytes pipl = rf::resgen::BuildPiPL();
  elf.insert(elf.end(), pipl.begin(), pipl.end());
  elf.resize(elf.size() + 64, 0);
  const Bytes pe = BuildPEImage({{"PIPL", 16000, 1033, pipl}, {"AETE", 16000, 1033, rf::resgen::BuildTerminology()}});
  for (const std::string& path : {WriteTemp("rf_module.8bf", pe), WriteTemp("rf_linux.8bf", elf)}) {
    PiPLInfo info;
    std::string error;
    ASSERT_TRUE(ReadModulePiPL(path, info, error)) << path << ": " << error;
    rf::testing::ExpectRimeflowerPiPL(info);
    std::remove(path.c_str());
  }
}

TEST(FormatPiPL, NamesEveryFieldReadably) {
  PiPLInfo info;
  std::string error;
  ASSERT_TRUE(ReadEmbeddedPiPL(info, error)) << error;
  const std::string text = FormatPiPL(info);
  for (const char* expected :
       {"kind  8BFM (filter)", "vers  interface 4.0", "mode  18 00: RGBMode, CMYKMode",
        "ms32  at most 2000000 x 2000000", "7 protected transparency with selection",
        "direct parameter '#ImR' (flags 0xB000)", "47 'Colr' long \"Color\""})
    EXPECT_NE(text.find(expected), std::string::npos) << expected << "\n" << text;
}

}  // namespace
