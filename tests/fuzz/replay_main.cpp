// Runs a fuzz target without libFuzzer: every file of the corpus folder
// given as the argument, then a fixed series of pseudo-random inputs of
// growing size (the same every run, so a failure reproduces).
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
  size_t runs = 0;
  if (argc > 1 && std::filesystem::is_directory(argv[1])) {
    for (const auto& entry : std::filesystem::directory_iterator(argv[1])) {
      if (!entry.is_regular_file()) continue;
      std::ifstream in(entry.path(), std::ios::binary);
      std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
      LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
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
