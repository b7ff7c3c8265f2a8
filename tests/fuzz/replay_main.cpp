// Runs a fuzz target without libFuzzer: every file of the corpus folder
// given as the argument, then a fixed series of pseudo-random inputs of
// growing size (the same every run, so a failure reproduces).
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <random>
#include <vector>

#include "tests/test_files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
  size_t runs = 0;
  if (argc > 1 && std::filesystem::is_directory(argv[1])) {
    for (const auto& entry : std::filesystem::directory_iterator(argv[1])) {
      if (!entry.is_regular_file()) continue;
      const std::string bytes = rf::testing::ReadFile(entry.path());
      LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
      ++runs;
    }
  }
  std::mt19937 random(12345);
  for (int i = 0; i < 2000; ++i) {
    std::vector<uint8_t> bytes(random() % (16 + i * 2));
    for (uint8_t& b : bytes) b = uint8_t(random());
    LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    ++runs;
  }
  std::printf("%zu inputs replayed\n", runs);
  return 0;
}
