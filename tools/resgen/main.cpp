// resgen: writes the module's resource files.
//
//   resgen DIR          writes DIR/pipl.bin, DIR/aete.bin, DIR/bump.bmp and
//                       DIR/embedded_data.inc
//
// The files are committed; run it (the `resources_regenerate` target does)
// after changing the generator or the scripted parameter table.
#include <cstdio>
#include <string>

#include "tools/resgen/resource_bytes.h"

namespace {

bool WriteFile(const std::string& path, const void* data, size_t size) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) {
    std::fprintf(stderr, "resgen: cannot write %s\n", path.c_str());
    return false;
  }
  const bool ok = std::fwrite(data, 1, size, f) == size;
  return std::fclose(f) == 0 && ok;
}

bool WriteBytes(const std::string& path, const rf::resgen::Bytes& bytes) {
  return WriteFile(path, bytes.data(), bytes.size());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: resgen DIR\n");
    return 2;
  }
  const std::string dir = std::string(argv[1]) + "/";
  const std::string source = rf::resgen::BuildEmbeddedSource();
  const bool ok = WriteBytes(dir + "pipl.bin", rf::resgen::BuildPiPL()) &&
                  WriteBytes(dir + "aete.bin", rf::resgen::BuildTerminology()) &&
                  WriteBytes(dir + "bump.bmp", rf::resgen::BuildBumpBmpFile()) &&
                  WriteFile(dir + "embedded_data.inc", source.data(), source.size());
  return ok ? 0 : 1;
}
