// Arbitrary bytes as a module file's resources: the PE resource walk, the
// PiPL and the AETE decoders never read past what they were given, and what
// they accept can be checked and printed.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/fuzz/fuzz_support.h"
#include "tools/hostlib/pipl.h"

using rf::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (size_t(1) << 20)) return 0;
  std::string error;
  // The same bytes as a PiPL and as an AETE (exact-size copies, so that the
  // address sanitizer sees any read past the end).
  const std::vector<uint8_t> bytes(data, data + size);
  rf::tools::PiPLInfo info;
  if (rf::tools::DecodePiPL(bytes.data(), bytes.size(), info, error)) {
    rf::tools::CheckFilterPiPL(info, 3, 1);
    rf::tools::CheckFilterPiPL(info, 4, 0);
    Check(!rf::tools::FormatPiPL(info).empty());
  } else {
    Check(!error.empty());
  }
  error.clear();
  rf::tools::AeteInfo aete;
  if (!rf::tools::DecodeAete(bytes.data(), bytes.size(), aete, error)) Check(!error.empty());

  // And as a whole PE file carrying them.
  std::vector<uint8_t> found;
  error.clear();
  if (rf::tools::FindPEResource(bytes, "PIPL", -1, found, error)) {
    Check(found.size() <= bytes.size());
    rf::tools::PiPLInfo fromFile;
    std::string why;
    rf::tools::DecodePiPL(found.data(), found.size(), fromFile, why);
  } else {
    Check(!error.empty());
  }
  found.clear();
  rf::tools::FindPEResource(bytes, "AETE", 16000, found, error);
  rf::tools::FindPEResource(bytes, "#2", 1, found, error);
  return 0;
}
