#include "tests/windows/pe_tables.h"

#include <cstring>

namespace rf::testing {

namespace {

struct Image {
  const std::vector<uint8_t>& f;
  struct Section {
    uint32_t va, vsize, raw, rawSize;
  };
  std::vector<Section> sections;

  bool U16(size_t at, uint32_t& v) const {
    if (at + 2 > f.size()) return false;
    v = f[at] | f[at + 1] << 8;
    return true;
  }
  bool U32(size_t at, uint32_t& v) const {
    if (at + 4 > f.size()) return false;
    v = uint32_t(f[at]) | uint32_t(f[at + 1]) << 8 | uint32_t(f[at + 2]) << 16 | uint32_t(f[at + 3]) << 24;
    return true;
  }
  bool Offset(uint32_t rva, size_t& at) const {
    for (const Section& s : sections) {
      if (rva >= s.va && rva - s.va < s.rawSize) {
        at = size_t(s.raw) + (rva - s.va);
        return at < f.size();
      }
    }
    return false;
  }
  bool String(uint32_t rva, std::string& out) const {
    size_t at = 0;
    if (!Offset(rva, at)) return false;
    const void* end = std::memchr(&f[at], 0, f.size() - at);
    if (!end) return false;
    out.assign(reinterpret_cast<const char*>(&f[at]), static_cast<const char*>(end));
    return true;
  }
};

}  // namespace

bool ReadPETables(const std::vector<uint8_t>& file, PETables& tables, std::string& error) {
  tables = PETables{};
  Image image{file, {}};
  uint32_t pe = 0, sectionCount = 0, optionalSize = 0, magic = 0;
  if (file.size() < 64 || file[0] != 'M' || file[1] != 'Z' || !image.U32(0x3C, pe) || pe + 24 > file.size() ||
      std::memcmp(&file[pe], "PE\0\0", 4) != 0) {
    error = "not a PE image";
    return false;
  }
  image.U16(pe + 6, sectionCount);
  image.U16(pe + 20, optionalSize);
  const size_t optional = pe + 24;
  if (!image.U16(optional, magic) || magic != 0x20B) {
    error = "not a 64-bit PE image";
    return false;
  }
  for (uint32_t i = 0; i < sectionCount; ++i) {
    const size_t at = optional + optionalSize + i * 40;
    Image::Section s{};
    if (!image.U32(at + 8, s.vsize) || !image.U32(at + 12, s.va) || !image.U32(at + 16, s.rawSize) ||
        !image.U32(at + 20, s.raw)) {
      error = "section table past the end";
      return false;
    }
    image.sections.push_back(s);
  }
  uint32_t exportRva = 0, importRva = 0;
  image.U32(optional + 112, exportRva);
  image.U32(optional + 112 + 8, importRva);

  if (exportRva != 0) {
    size_t dir = 0;
    uint32_t count = 0, namesRva = 0;
    if (!image.Offset(exportRva, dir) || !image.U32(dir + 24, count) || !image.U32(dir + 32, namesRva)) {
      error = "malformed export directory";
      return false;
    }
    size_t names = 0;
    if (count > 0 && !image.Offset(namesRva, names)) {
      error = "malformed export name table";
      return false;
    }
    for (uint32_t i = 0; i < count && i < 100000; ++i) {
      uint32_t nameRva = 0;
      std::string name;
      if (!image.U32(names + 4 * i, nameRva) || !image.String(nameRva, name)) {
        error = "malformed export name";
        return false;
      }
      tables.exports.push_back(name);
    }
  }
  if (importRva != 0) {
    size_t at = 0;
    if (!image.Offset(importRva, at)) {
      error = "malformed import directory";
      return false;
    }
    // 20-byte descriptors, closed by an all-zero one.
    for (int i = 0; i < 1000; ++i, at += 20) {
      uint32_t nameRva = 0, thunks = 0;
      if (!image.U32(at + 12, nameRva) || !image.U32(at + 16, thunks)) {
        error = "malformed import descriptor";
        return false;
      }
      if (nameRva == 0 && thunks == 0) break;
      std::string name;
      if (!image.String(nameRva, name)) {
        error = "malformed import name";
        return false;
      }
      tables.importedDlls.push_back(name);
    }
  }
  return true;
}

}  // namespace rf::testing
