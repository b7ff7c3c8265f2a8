#include "tests/tools/hostlib/pe_builder.h"

#include <cstring>
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
constexpr size_t kSectionFileOffset = 0x400;

}  // namespace

std::vector<uint8_t> BuildPEImage(const std::vector<TestResource>& resources, size_t* resourceSectionOffset) {
  // type -> id -> language -> index of the resource
  std::map<std::string, std::map<int, std::map<int, size_t>>> tree;
  for (size_t i = 0; i < resources.size(); ++i)
    tree[resources[i].type][resources[i].id][resources[i].language] = i;

  // Sizes of the parts of the section, laid out in this order: root, type
  // directories, name directories, data entries, type name strings, data.
  size_t nameDirs = 0, leaves = 0, strings = 0;
  for (auto& [type, ids] : tree) {
    nameDirs += ids.size();
    for (auto& [id, langs] : ids) leaves += langs.size();
    if (type[0] != '#') strings += 2 + 2 * type.size();
  }
  const size_t rootSize = 16 + 8 * tree.size();
  size_t typeDirsSize = 0, nameDirsSize = 0;
  for (auto& [type, ids] : tree) {
    typeDirsSize += 16 + 8 * ids.size();
    for (auto& [id, langs] : ids) nameDirsSize += 16 + 8 * langs.size();
  }
  const size_t leavesAt = rootSize + typeDirsSize + nameDirsSize;
  const size_t stringsAt = leavesAt + 16 * leaves;
  size_t dataAt = (stringsAt + strings + 3) / 4 * 4;
  size_t sectionSize = dataAt;
  for (const TestResource& r : resources) sectionSize += (r.data.size() + 3) / 4 * 4;

  std::vector<uint8_t> s(sectionSize, 0);
  auto directory = [&](size_t at, uint16_t named, uint16_t ids) {
    Put16(s, at + 12, named);
    Put16(s, at + 14, ids);
  };

  size_t typeAt = rootSize, nameAt = rootSize + typeDirsSize, leafAt = leavesAt, stringAt = stringsAt;
  uint16_t namedTypes = 0;
  for (auto& [type, ids] : tree) namedTypes += type[0] != '#';
  directory(0, namedTypes, uint16_t(tree.size() - namedTypes));
  size_t rootEntry = 16;
  // std::map orders "#..." before letters; named entries must come first.
  for (int pass = 0; pass < 2; ++pass) {
    for (auto& [type, ids] : tree) {
      const bool named = type[0] != '#';
      if (named != (pass == 0)) continue;
      if (named) {
        Put32(s, rootEntry, 0x80000000u | uint32_t(stringAt));
        Put16(s, stringAt, uint16_t(type.size()));
        for (size_t k = 0; k < type.size(); ++k) Put16(s, stringAt + 2 + 2 * k, uint8_t(type[k]));
        stringAt += 2 + 2 * type.size();
      } else {
        Put32(s, rootEntry, uint32_t(std::stoi(type.substr(1))));
      }
      Put32(s, rootEntry + 4, 0x80000000u | uint32_t(typeAt));
      rootEntry += 8;

      directory(typeAt, 0, uint16_t(ids.size()));
      size_t typeEntry = typeAt + 16;
      typeAt += 16 + 8 * ids.size();
      for (auto& [id, langs] : ids) {
        Put32(s, typeEntry, uint32_t(id));
        Put32(s, typeEntry + 4, 0x80000000u | uint32_t(nameAt));
        typeEntry += 8;
        directory(nameAt, 0, uint16_t(langs.size()));
        size_t nameEntry = nameAt + 16;
        nameAt += 16 + 8 * langs.size();
        for (auto& [language, index] : langs) {
          const TestResource& r = resources[index];
          Put32(s, nameEntry, uint32_t(language));
          Put32(s, nameEntry + 4, uint32_t(leafAt));
          nameEntry += 8;
          Put32(s, leafAt, kSectionRva + uint32_t(dataAt));
          Put32(s, leafAt + 4, uint32_t(r.data.size()));
          leafAt += 16;
          if (!r.data.empty()) std::memcpy(&s[dataAt], r.data.data(), r.data.size());
          dataAt += (r.data.size() + 3) / 4 * 4;
        }
      }
    }
  }

  std::vector<uint8_t> f(kSectionFileOffset + sectionSize, 0);
  f[0] = 'M';
  f[1] = 'Z';
  const size_t pe = 0x80;
  Put32(f, 0x3C, pe);
  std::memcpy(&f[pe], "PE\0\0", 4);
  Put16(f, pe + 4, 0x8664);  // machine
  Put16(f, pe + 6, 1);       // one section
  Put16(f, pe + 20, 240);    // optional header size of PE32+
  const size_t opt = pe + 24;
  Put16(f, opt, 0x20B);
  Put32(f, opt + 108, 16);  // data directories
  Put32(f, opt + 112 + 2 * 8, kSectionRva);
  Put32(f, opt + 112 + 2 * 8 + 4, uint32_t(sectionSize));
  const size_t section = opt + 240;
  std::memcpy(&f[section], ".rsrc\0\0\0", 8);
  Put32(f, section + 8, uint32_t(sectionSize));
  Put32(f, section + 12, kSectionRva);
  Put32(f, section + 16, uint32_t(sectionSize));
  Put32(f, section + 20, uint32_t(kSectionFileOffset));
  if (!s.empty()) std::memcpy(&f[kSectionFileOffset], s.data(), s.size());
  if (resourceSectionOffset) *resourceSectionOffset = kSectionFileOffset;
  return f;
}

}  // namespace rf::testing
