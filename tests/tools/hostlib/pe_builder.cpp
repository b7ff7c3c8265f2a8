#include "tests/tools/hostlib/pe_builder.h"

#include <algorithm>
#include <map>

namespace rf::testing {

namespace {

void Put16(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  b[at] = uint8_t(v);
  b[at + 1] = uint8_t(v >> 8);
}

void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  Put16(b, at, v & 0xFFFF);
  Put16(b, at + 2, v >> 16);
}

constexpr uint32_t kSectionRva = 0x1000;
constexpr uint32_t kSubdirectory = 0x80000000u, kNamed = 0x80000000u;

}  // namespace

std::vector<uint8_t> BuildPEImage(const std::vector<TestResource>& resources) {
  // type -> id -> language -> index of the resource
  std::map<std::string, std::map<int, std::map<int, size_t>>> tree;
  for (size_t i = 0; i < resources.size(); ++i)
    tree[resources[i].type][resources[i].id][resources[i].language] = i;

  // The section depth first: each directory, then what its entries point to
  // (a type's name string after its subtree, a leaf's data right after it).
  std::vector<uint8_t> s;
  auto grow = [&](size_t bytes) {
    const size_t at = s.size();
    s.resize((at + bytes + 3) / 4 * 4, 0);
    return at;
  };
  // Returns the offset of the first entry, which the caller fills.
  auto directory = [&](size_t named, size_t count) {
    const size_t at = grow(16 + 8 * count);
    Put16(s, at + 12, uint16_t(named));
    Put16(s, at + 14, uint16_t(count - named));
    return at + 16;
  };
  // Named entries must come first; std::map orders "#..." before letters.
  std::vector<std::string> types;
  for (const auto& entry : tree) types.push_back(entry.first);
  const auto numbered = std::stable_partition(types.begin(), types.end(), [](auto& t) { return t[0] != '#'; });
  size_t rootEntry = directory(size_t(numbered - types.begin()), types.size());
  for (const std::string& type : types) {
    Put32(s, rootEntry + 4, kSubdirectory | uint32_t(s.size()));
    size_t idEntry = directory(0, tree[type].size());
    for (const auto& [id, languages] : tree[type]) {
      Put32(s, idEntry, uint32_t(id));
      Put32(s, idEntry + 4, kSubdirectory | uint32_t(s.size()));
      idEntry += 8;
      size_t languageEntry = directory(0, languages.size());
      for (const auto& [language, index] : languages) {
        const std::vector<uint8_t>& data = resources[index].data;
        const size_t leaf = grow(16), at = grow(data.size());
        Put32(s, languageEntry, uint32_t(language));
        Put32(s, languageEntry + 4, uint32_t(leaf));
        languageEntry += 8;
        Put32(s, leaf, kSectionRva + uint32_t(at));
        Put32(s, leaf + 4, uint32_t(data.size()));
        std::copy(data.begin(), data.end(), s.begin() + std::ptrdiff_t(at));
      }
    }
    if (type[0] == '#') {
      Put32(s, rootEntry, uint32_t(std::stoi(type.substr(1))));
    } else {
      const size_t name = grow(2 + 2 * type.size());
      Put32(s, rootEntry, kNamed | uint32_t(name));
      Put16(s, name, uint16_t(type.size()));
      for (size_t k = 0; k < type.size(); ++k) Put16(s, name + 2 + 2 * k, uint8_t(type[k]));
    }
    rootEntry += 8;
  }

  std::vector<uint8_t> f(kResourceSectionOffset + s.size(), 0);
  f[0] = 'M';
  f[1] = 'Z';
  const size_t pe = 0x80;
  Put32(f, 0x3C, pe);
  std::copy_n("PE\0\0", 4, f.begin() + pe);
  Put16(f, pe + 4, 0x8664);  // machine
  Put16(f, pe + 6, 1);       // one section
  Put16(f, pe + 20, 240);    // optional header size of PE32+
  const size_t opt = pe + 24;
  Put16(f, opt, 0x20B);
  Put32(f, opt + 108, 16);  // data directories
  Put32(f, opt + 112 + 2 * 8, kSectionRva);
  Put32(f, opt + 112 + 2 * 8 + 4, uint32_t(s.size()));
  const size_t section = opt + 240;
  std::copy_n(".rsrc\0\0\0", 8, f.begin() + section);
  Put32(f, section + 8, uint32_t(s.size()));
  Put32(f, section + 12, kSectionRva);
  Put32(f, section + 16, uint32_t(s.size()));
  Put32(f, section + 20, uint32_t(kResourceSectionOffset));
  std::copy(s.begin(), s.end(), f.begin() + kResourceSectionOffset);
  return f;
}

}  // namespace rf::testing
