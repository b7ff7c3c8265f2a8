#include "tools/hostlib/pipl.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "resources/embedded_resources.h"

#if defined(_WIN32)
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#endif

namespace rf::tools {

namespace {

constexpr uint32_t Code(const char (&s)[5]) {
  return (uint32_t(uint8_t(s[0])) << 24) | (uint32_t(uint8_t(s[1])) << 16) | (uint32_t(uint8_t(s[2])) << 8) |
         uint32_t(uint8_t(s[3]));
}

constexpr uint32_t kVendor = Code("8BIM");
constexpr uint32_t kFilterKind = Code("8BFM");
constexpr uint16_t kLanguageEnglishUS = 1033;
// A filter module is a few megabytes; anything far larger is not one, and
// is not read into memory whole.
constexpr uint64_t kMaxModuleBytes = 256ull << 20;

// Little-endian reads that never step past the end; after a failed read the
// cursor stays failed, so a decoder checks once at the end of a block.
class Cursor {
 public:
  Cursor(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  bool Need(size_t n) {
    if (!ok_ || n > size_ - pos_) ok_ = false;
    return ok_;
  }
  uint8_t U8() { return Need(1) ? data_[pos_++] : 0; }
  uint16_t U16() {
    if (!Need(2)) return 0;
    const uint16_t v = uint16_t(data_[pos_] | (data_[pos_ + 1] << 8));
    pos_ += 2;
    return v;
  }
  uint32_t U32() {
    if (!Need(4)) return 0;
    const uint32_t v = uint32_t(data_[pos_]) | (uint32_t(data_[pos_ + 1]) << 8) |
                       (uint32_t(data_[pos_ + 2]) << 16) | (uint32_t(data_[pos_ + 3]) << 24);
    pos_ += 4;
    return v;
  }
  std::string Pascal() {
    const size_t n = U8();
    if (!Need(n)) return std::string();
    std::string s(reinterpret_cast<const char*>(data_ + pos_), n);
    pos_ += n;
    return s;
  }
  void Skip(size_t n) {
    if (Need(n)) pos_ += n;
  }
  const uint8_t* Here() const { return data_ + pos_; }
  size_t pos() const { return pos_; }
  size_t left() const { return size_ - pos_; }
  bool ok() const { return ok_; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
  bool ok_ = true;
};

uint32_t ReadU32(const std::vector<uint8_t>& d, size_t at) {
  return uint32_t(d[at]) | (uint32_t(d[at + 1]) << 8) | (uint32_t(d[at + 2]) << 16) | (uint32_t(d[at + 3]) << 24);
}

// A NUL-terminated string that must end inside `data`.
bool CString(const std::vector<uint8_t>& data, size_t from, std::string& out) {
  if (from > data.size()) return false;
  const auto end = std::find(data.begin() + long(from), data.end(), uint8_t(0));
  if (end == data.end()) return false;
  out.assign(data.begin() + long(from), end);
  return true;
}

bool PascalIn(const std::vector<uint8_t>& data, std::string& out) {
  if (data.empty() || size_t(data[0]) + 1 > data.size()) return false;
  out.assign(data.begin() + 1, data.begin() + 1 + data[0]);
  return true;
}

std::string Quoted(const std::string& s) {
  std::string out = "\"";
  for (unsigned char c : s) {
    if (c >= 0x20 && c < 0x7F && c != '"' && c != '\\') {
      out += char(c);
    } else {
      char hex[8];
      std::snprintf(hex, sizeof(hex), "\\x%02X", c);
      out += hex;
    }
  }
  return out + "\"";
}

std::string PropertyError(uint32_t key, const std::string& what) {
  return "malformed PiPL: property '" + FourCCText(key) + "' " + what;
}

// Fills the decoded field for one property of vendor '8BIM'.
bool DecodeProperty(const PiPLProperty& p, PiPLInfo& info, std::string& error) {
  const std::vector<uint8_t>& d = p.data;
  auto need = [&](size_t n) {
    if (d.size() >= n) return true;
    error = PropertyError(p.key, "has " + std::to_string(d.size()) + " bytes, needs " + std::to_string(n));
    return false;
  };
  auto string = [&](std::string& out, size_t from) {
    if (CString(d, from, out)) return true;
    error = PropertyError(p.key, "holds a string without its terminating zero");
    return false;
  };
  switch (p.key) {
    case Code("kind"):
      if (!need(4)) return false;
      info.kind = ReadU32(d, 0);
      return true;
    case Code("name"):
    case Code("catg"):
      if (!PascalIn(d, p.key == Code("name") ? info.name : info.category)) {
        error = PropertyError(p.key, "holds a string longer than the property");
        return false;
      }
      return true;
    case Code("vers"):
      if (!need(4)) return false;
      info.hasInterfaceVersion = true;
      info.interfaceVersion = int32_t(ReadU32(d, 0));
      return true;
    case Code("cmpt"):
      if (!need(5)) return false;
      info.hasComponent = true;
      info.componentVersion = int32_t(ReadU32(d, 0));
      return string(info.componentName, 4);
    case Code("8664"):
      return string(info.entryPoint, 0);
    case Code("mode"):
      if (!need(2)) return false;
      info.modeFlags = d;
      return true;
    case Code("enbl"):
      return string(info.enableExpression, 0);
    case Code("ms32"):
      if (!need(8)) return false;
      info.hasMaxSize = true;
      info.maxHeight = int32_t(ReadU32(d, 0));
      info.maxWidth = int32_t(ReadU32(d, 4));
      return true;
    case Code("flly"):
      if (!need(1)) return false;
      info.hasFilterLayers = true;
      info.filterLayers = (d[0] & 0x80) != 0;
      return true;
    case Code("fici"):
      if (d.size() != 28) {
        error = PropertyError(p.key, "has " + std::to_string(d.size()) + " bytes instead of 7 cases of 4");
        return false;
      }
      info.filterCases.clear();
      for (size_t i = 0; i < 28; i += 4) info.filterCases.push_back({d[i], d[i + 1], d[i + 2], d[i + 3]});
      return true;
    case Code("hstm"):
      if (!need(15)) return false;
      info.hasTerminology = true;
      info.terminologyVersion = int32_t(ReadU32(d, 0));
      info.terminologyClass = ReadU32(d, 4);
      info.terminologyEvent = ReadU32(d, 8);
      info.terminologyId = int16_t(d[12] | (d[13] << 8));
      return string(info.scope, 14);
    default:
      return true;  // not one a filter host needs
  }
}

// Image modes by number, as the 'enbl' expression names them.
struct ModeName {
  int16_t mode;
  const char* name;
};
constexpr ModeName kModeNames[] = {
    {0, "BitmapMode"},     {1, "GrayScaleMode"},    {2, "IndexedColorMode"}, {2, "IndexedMode"},
    {3, "RGBMode"},        {4, "CMYKMode"},         {5, "HSLMode"},          {6, "HSBMode"},
    {7, "MultichannelMode"}, {8, "DuotoneMode"},    {9, "LabMode"},          {10, "Gray16Mode"},
    {11, "RGB48Mode"},     {12, "Lab48Mode"},       {13, "CMYK64Mode"},
};

// The 'mode' flags have bits for the 8-bit modes only; a deep mode is
// flagged by its 8-bit counterpart and told apart by 'enbl'.
int16_t FlagModeOf(int16_t mode) {
  switch (mode) {
    case 10: return 1;
    case 11: return 3;
    case 12: return 9;
    case 13: return 4;
    default: return mode;
  }
}

std::string ModeText(int16_t mode) {
  for (const ModeName& m : kModeNames)
    if (m.mode == mode) return m.name;
  return "mode " + std::to_string(mode);
}

// The modes of an expression of the form "in (PSHOP_ImageMode, A, B, ...)";
// false for any other form, which this host does not evaluate.
bool EnabledModes(const std::string& expression, std::vector<int16_t>& modes) {
  std::string s;
  for (char c : expression)
    if (c != ' ' && c != '\t') s += c;
  const std::string head = "in(PSHOP_ImageMode,";
  if (s.compare(0, head.size(), head) != 0 || s.size() < head.size() + 1 || s.back() != ')') return false;
  std::string list = s.substr(head.size(), s.size() - head.size() - 1);
  size_t start = 0;
  while (start <= list.size()) {
    size_t comma = list.find(',', start);
    if (comma == std::string::npos) comma = list.size();
    const std::string name = list.substr(start, comma - start);
    bool known = false;
    for (const ModeName& m : kModeNames) {
      if (name == m.name) {
        modes.push_back(m.mode);
        known = true;
      }
    }
    if (!known) return false;
    start = comma + 1;
  }
  return true;
}

const char* const kCaseNames[7] = {
    "flat image, no selection",
    "flat image with selection",
    "floating selection",
    "editable transparency, no selection",
    "editable transparency with selection",
    "protected transparency, no selection",
    "protected transparency with selection",
};

bool ReadFile(const std::string& path, std::vector<uint8_t>& bytes, std::string& error) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) {
    error = "cannot open " + path;
    return false;
  }
  const std::streamoff size = in.tellg();
  if (size < 0 || uint64_t(size) > kMaxModuleBytes) {
    error = path + " is too large to be a filter module";
    return false;
  }
  bytes.resize(size_t(size));
  in.seekg(0);
  if (size > 0 && !in.read(reinterpret_cast<char*>(bytes.data()), size)) {
    error = "cannot read " + path;
    return false;
  }
  return true;
}

const resources::EmbeddedResource* FindEmbedded(const char* type, int id) {
  size_t count = 0;
  const resources::EmbeddedResource* table = resources::EmbeddedResources(&count);
  for (size_t i = 0; i < count; ++i)
    if (std::strcmp(table[i].type, type) == 0 && (id < 0 || table[i].id == id)) return &table[i];
  return nullptr;
}

// ---- PE resources -----------------------------------------------------------

struct PEImage {
  const std::vector<uint8_t>& file;
  struct Section {
    uint32_t virtualAddress, virtualSize, rawOffset, rawSize;
  };
  std::vector<Section> sections;

  // File offset of `length` bytes at `rva`, or false when they are not all
  // in one section's file data.
  bool Offset(uint32_t rva, uint32_t length, size_t& offset) const {
    for (const Section& s : sections) {
      const uint32_t span = std::max(s.virtualSize, s.rawSize);
      if (rva < s.virtualAddress || rva - s.virtualAddress >= span) continue;
      const uint64_t inSection = uint64_t(rva) - s.virtualAddress;
      if (inSection + length > s.rawSize) return false;
      const uint64_t at = uint64_t(s.rawOffset) + inSection;
      if (at + length > file.size()) return false;
      offset = size_t(at);
      return true;
    }
    return false;
  }
};

bool U16At(const std::vector<uint8_t>& f, size_t at, uint16_t& v) {
  if (at > f.size() || f.size() - at < 2) return false;
  v = uint16_t(f[at] | (f[at + 1] << 8));
  return true;
}

bool U32At(const std::vector<uint8_t>& f, size_t at, uint32_t& v) {
  if (at > f.size() || f.size() - at < 4) return false;
  v = ReadU32(f, at);
  return true;
}

struct DirectoryEntry {
  bool named = false;
  uint32_t id = 0;
  std::string name;  // ASCII of the UTF-16 name, upper case
  bool isDirectory = false;
  uint32_t offset = 0;  // from the start of the resource section
};

// The entries of the resource directory table at `dir` (an offset into the
// resource section of `limit` bytes starting at file offset `base`).
bool ReadDirectory(const std::vector<uint8_t>& f, size_t base, uint32_t limit, uint32_t dir,
                   std::vector<DirectoryEntry>& entries) {
  uint16_t named = 0, ids = 0;
  if (dir > limit || limit - dir < 16) return false;
  if (!U16At(f, base + dir + 12, named) || !U16At(f, base + dir + 14, ids)) return false;
  const uint64_t count = uint64_t(named) + ids;
  if ((limit - dir - 16) / 8 < count) return false;
  for (uint64_t i = 0; i < count; ++i) {
    const size_t at = base + dir + 16 + size_t(i) * 8;
    uint32_t nameField = 0, offsetField = 0;
    if (!U32At(f, at, nameField) || !U32At(f, at + 4, offsetField)) return false;
    DirectoryEntry e;
    e.isDirectory = (offsetField & 0x80000000u) != 0;
    e.offset = offsetField & 0x7FFFFFFFu;
    if (nameField & 0x80000000u) {
      e.named = true;
      const uint32_t nameAt = nameField & 0x7FFFFFFFu;
      uint16_t length = 0;
      if (nameAt > limit || limit - nameAt < 2 || !U16At(f, base + nameAt, length)) return false;
      if ((limit - nameAt - 2) / 2 < length) return false;
      for (uint16_t k = 0; k < length; ++k) {
        uint16_t c = 0;
        U16At(f, base + nameAt + 2 + 2u * k, c);
        e.name += c < 0x80 ? char(std::toupper(c)) : '?';
      }
    } else {
      e.id = nameField & 0xFFFFu;
    }
    entries.push_back(std::move(e));
  }
  return true;
}

}  // namespace

// ---- Decoding ---------------------------------------------------------------

std::string FourCCText(uint32_t code) {
  std::string s;
  for (int shift = 24; shift >= 0; shift -= 8) {
    const unsigned char c = uint8_t(code >> shift);
    if (c >= 0x20 && c < 0x7F) {
      s += char(c);
    } else {
      char hex[8];
      std::snprintf(hex, sizeof(hex), "\\x%02X", c);
      s += hex;
    }
  }
  return s;
}

bool DecodePiPL(const uint8_t* data, size_t size, PiPLInfo& info, std::string& error) {
  info = PiPLInfo{};
  Cursor c(data, size);
  const uint16_t word = c.U16();
  info.listVersion = int32_t(c.U32());
  const uint32_t count = c.U32();
  if (!c.ok()) {
    error = "malformed PiPL: " + std::to_string(size) + " bytes are too few for its header";
    return false;
  }
  if (word != 1) {
    error = "malformed PiPL: first word " + std::to_string(word) + " where a Windows PiPL has 1";
    return false;
  }
  if (info.listVersion != 0) {
    error = "unknown PiPL version " + std::to_string(info.listVersion);
    return false;
  }
  if (count > c.left() / 16) {
    error = "malformed PiPL: " + std::to_string(count) + " properties cannot fit in " + std::to_string(size) +
            " bytes";
    return false;
  }
  for (uint32_t i = 0; i < count; ++i) {
    PiPLProperty p;
    p.vendor = c.U32();
    p.key = c.U32();
    p.id = int32_t(c.U32());
    p.length = c.U32();
    if (!c.ok() || p.length > c.left()) {
      error = PropertyError(p.key, "(number " + std::to_string(i + 1) + ") runs past the end of the resource");
      return false;
    }
    p.data.assign(c.Here(), c.Here() + p.length);
    c.Skip(p.length);
    // The zero padding to the next multiple of 4; the last property may
    // come without it.
    c.Skip(std::min<size_t>((4 - p.length % 4) % 4, c.left()));
    if (p.vendor == kVendor && !DecodeProperty(p, info, error)) return false;
    info.properties.push_back(std::move(p));
  }
  return true;
}

bool DecodeAete(const uint8_t* data, size_t size, AeteInfo& aete, std::string& error) {
  aete = AeteInfo{};
  Cursor c(data, size);
  const uint16_t word = c.U16();
  aete.majorVersion = c.U8();
  aete.minorVersion = c.U8();
  aete.language = int16_t(c.U16());
  aete.script = int16_t(c.U16());
  const uint16_t suites = c.U16();
  if (c.ok() && word != 1) {
    error = "malformed terminology: first word " + std::to_string(word) + " where a Windows AETE has 1";
    return false;
  }
  if (c.ok() && suites == 0) {
    error = "malformed terminology: no suite";
    return false;
  }
  aete.suiteName = c.Pascal();
  aete.suiteDescription = c.Pascal();
  aete.suiteId = c.U32();
  aete.suiteLevel = int16_t(c.U16());
  aete.suiteVersion = int16_t(c.U16());
  const uint16_t events = c.U16();
  if (c.ok() && events == 0) {
    error = "malformed terminology: the suite has no event";
    return false;
  }
  aete.eventName = c.Pascal();
  aete.eventDescription = c.Pascal();
  aete.eventClass = c.U32();
  aete.eventId = c.U32();
  aete.replyType = c.U32();
  c.Pascal();
  aete.replyFlags = c.U16();
  aete.directParameterType = c.U32();
  c.Pascal();
  aete.directParameterFlags = c.U16();
  const uint16_t count = c.U16();
  // Each parameter takes at least 12 bytes: no allocation for a count the
  // data cannot hold.
  if (c.ok() && count > c.left() / 12) c.Need(size_t(count) * 12);
  for (uint16_t i = 0; i < count && c.ok(); ++i) {
    AeteParameter p;
    p.name = c.Pascal();
    p.key = c.U32();
    p.type = c.U32();
    p.description = c.Pascal();
    p.flags = c.U16();
    if (c.ok()) aete.parameters.push_back(std::move(p));
  }
  if (!c.ok()) {
    error = "malformed terminology: it ends inside its first event (" + std::to_string(size) + " bytes)";
    return false;
  }
  return true;
}

bool FindPEResource(const std::vector<uint8_t>& file, const std::string& type, int id,
                    std::vector<uint8_t>& out, std::string& error) {
  const std::vector<uint8_t>& f = file;
  uint32_t peAt = 0;
  if (f.size() < 64 || f[0] != 'M' || f[1] != 'Z' || !U32At(f, 0x3C, peAt) || uint64_t(peAt) + 24 > f.size() ||
      std::memcmp(&f[peAt], "PE\0\0", 4) != 0) {
    error = "not a Windows module (no PE header)";
    return false;
  }
  uint16_t sectionCount = 0, optionalSize = 0, magic = 0;
  U16At(f, peAt + 6, sectionCount);
  U16At(f, peAt + 20, optionalSize);
  const size_t optionalAt = size_t(peAt) + 24;
  if (!U16At(f, optionalAt, magic) || (magic != 0x20B && magic != 0x10B)) {
    error = "malformed PE file: unknown optional header";
    return false;
  }
  const size_t directoriesAt = optionalAt + (magic == 0x20B ? 112 : 96);
  uint32_t directoryCount = 0, resourceRva = 0, resourceSize = 0;
  if (!U32At(f, directoriesAt - 4, directoryCount) || directoryCount < 3 ||
      directoriesAt + 24 > optionalAt + optionalSize || !U32At(f, directoriesAt + 16, resourceRva) ||
      !U32At(f, directoriesAt + 20, resourceSize)) {
    error = "the module has no resources";
    return false;
  }
  PEImage image{f, {}};
  const size_t sectionsAt = optionalAt + optionalSize;
  for (uint16_t i = 0; i < sectionCount; ++i) {
    PEImage::Section s{};
    const size_t at = sectionsAt + size_t(i) * 40;
    if (!U32At(f, at + 8, s.virtualSize) || !U32At(f, at + 12, s.virtualAddress) || !U32At(f, at + 16, s.rawSize) ||
        !U32At(f, at + 20, s.rawOffset)) {
      error = "malformed PE file: section table runs past the end";
      return false;
    }
    image.sections.push_back(s);
  }
  // The resource section as far as the file holds it; every offset inside
  // the directory tree is relative to its start and checked against it.
  size_t base = 0;
  if (resourceRva == 0 || resourceSize < 16 || !image.Offset(resourceRva, 16, base)) {
    error = "the module has no resources";
    return false;
  }
  uint32_t limit = resourceSize;
  for (const PEImage::Section& s : image.sections) {
    if (resourceRva >= s.virtualAddress && resourceRva - s.virtualAddress < s.rawSize)
      limit = std::min<uint32_t>(limit, s.rawSize - (resourceRva - s.virtualAddress));
  }
  limit = uint32_t(std::min<uint64_t>(limit, f.size() - base));

  auto malformed = [&]() {
    error = "malformed resource directory in the module";
    return false;
  };
  std::vector<DirectoryEntry> types, names, languages;
  if (!ReadDirectory(f, base, limit, 0, types)) return malformed();
  const bool numericType = !type.empty() && type[0] == '#';
  const uint32_t typeId = numericType ? uint32_t(std::atoi(type.c_str() + 1)) : 0;
  std::string typeName;
  for (char ch : type) typeName += char(std::toupper(static_cast<unsigned char>(ch)));
  const DirectoryEntry* typeEntry = nullptr;
  for (const DirectoryEntry& e : types) {
    if (!e.isDirectory) continue;
    if (numericType ? (!e.named && e.id == typeId) : (e.named && e.name == typeName)) {
      typeEntry = &e;
      break;
    }
  }
  const std::string what = "resource " + type + (id >= 0 ? " " + std::to_string(id) : std::string());
  if (!typeEntry) {
    error = "the module has no " + type + " resource";
    return false;
  }
  if (!ReadDirectory(f, base, limit, typeEntry->offset, names)) return malformed();
  const DirectoryEntry* nameEntry = nullptr;
  for (const DirectoryEntry& e : names) {
    if (e.isDirectory && (id < 0 || (!e.named && e.id == uint32_t(id)))) {
      nameEntry = &e;
      break;
    }
  }
  if (!nameEntry) {
    error = "the module has no " + what;
    return false;
  }
  if (!ReadDirectory(f, base, limit, nameEntry->offset, languages)) return malformed();
  const DirectoryEntry* leaf = nullptr;
  for (const DirectoryEntry& e : languages) {
    if (e.isDirectory) continue;
    if (!leaf || (!e.named && e.id == kLanguageEnglishUS)) leaf = &e;
  }
  uint32_t dataRva = 0, dataSize = 0;
  if (!leaf || leaf->offset > limit || limit - leaf->offset < 16 || !U32At(f, base + leaf->offset, dataRva) ||
      !U32At(f, base + leaf->offset + 4, dataSize))
    return malformed();
  size_t dataAt = 0;
  if (!image.Offset(dataRva, dataSize, dataAt)) {
    error = "the module's " + what + " lies outside the file";
    return false;
  }
  out.assign(f.begin() + long(dataAt), f.begin() + long(dataAt) + long(dataSize));
  return true;
}

// ---- Reading a module -------------------------------------------------------

namespace {

#if defined(_WIN32)
// On Windows the system's own resource calls read the module, as a host's
// loader does; the module is mapped as data, so none of its code runs.
BOOL CALLBACK KeepFirstName(HMODULE, LPCSTR, LPSTR name, LONG_PTR found) {
  // Names that are strings live only during the enumeration: copy them.
  std::string& out = *reinterpret_cast<std::string*>(found);
  out = IS_INTRESOURCE(name) ? "#" + std::to_string(reinterpret_cast<uintptr_t>(name)) : std::string(name);
  return FALSE;
}

bool ReadPEResource(const std::string& path, const std::vector<uint8_t>&, const char* type, int id,
                    std::vector<uint8_t>& out, std::string& error) {
  HMODULE module = LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!module) {
    error = "cannot open the resources of " + path;
    return false;
  }
  std::string name = id >= 0 ? "#" + std::to_string(id) : std::string();
  if (id < 0) EnumResourceNamesA(module, type, KeepFirstName, reinterpret_cast<LONG_PTR>(&name));
  bool found = false;
  if (!name.empty()) {
    // "#16000" is the string form of a numeric name, which the calls accept.
    HRSRC info = FindResourceExA(module, type, name.c_str(), kLanguageEnglishUS);
    if (!info) info = FindResourceA(module, name.c_str(), type);
    HGLOBAL loaded = info ? LoadResource(module, info) : nullptr;
    const uint8_t* data = loaded ? static_cast<const uint8_t*>(LockResource(loaded)) : nullptr;
    if (data) {
      out.assign(data, data + SizeofResource(module, info));
      found = true;
    }
  }
  if (!found) error = std::string("the module has no ") + type + " resource";
  FreeLibrary(module);
  return found;
}
#else
bool ReadPEResource(const std::string&, const std::vector<uint8_t>& file, const char* type, int id,
                    std::vector<uint8_t>& out, std::string& error) {
  return FindPEResource(file, type, id, out, error);
}
#endif

void AttachAete(PiPLInfo& info, const std::vector<uint8_t>& aete) {
  if (!info.hasTerminology) return;
  if (aete.empty()) {
    info.aeteError = "the module has no AETE resource " + std::to_string(info.terminologyId);
    return;
  }
  std::string error;
  info.hasAete = DecodeAete(aete.data(), aete.size(), info.aete, error);
  if (!info.hasAete) info.aeteError = error;
}

}  // namespace

bool ReadEmbeddedPiPL(PiPLInfo& info, std::string& error) {
  const resources::EmbeddedResource* pipl = FindEmbedded("PIPL", -1);
  if (!pipl) {
    error = "this program carries no PiPL";
    return false;
  }
  if (!DecodePiPL(pipl->data, pipl->size, info, error)) return false;
  const resources::EmbeddedResource* aete = info.hasTerminology ? FindEmbedded("AETE", info.terminologyId) : nullptr;
  AttachAete(info, aete ? std::vector<uint8_t>(aete->data, aete->data + aete->size) : std::vector<uint8_t>());
  return true;
}

bool ReadModulePiPL(const std::string& modulePath, PiPLInfo& info, std::string& error) {
  std::vector<uint8_t> file;
  if (!ReadFile(modulePath, file, error)) return false;
  if (file.size() >= 2 && file[0] == 'M' && file[1] == 'Z') {
    std::vector<uint8_t> pipl, aete;
    if (!ReadPEResource(modulePath, file, "PIPL", -1, pipl, error)) return false;
    if (!DecodePiPL(pipl.data(), pipl.size(), info, error)) return false;
    std::string ignored;  // a missing AETE is reported in info.aeteError
    if (info.hasTerminology && !ReadPEResource(modulePath, file, "AETE", info.terminologyId, aete, ignored))
      aete.clear();
    AttachAete(info, aete);
    return true;
  }
  if (file.size() >= 4 && std::memcmp(file.data(), "\x7F" "ELF", 4) == 0) {
    // An ELF module has no resource section. Ours carries the bytes compiled
    // in; accept them only when the file holds exactly those bytes, so that
    // another library is not taken for this filter.
    const resources::EmbeddedResource* pipl = FindEmbedded("PIPL", -1);
    if (!pipl || std::search(file.begin(), file.end(), pipl->data, pipl->data + pipl->size) == file.end()) {
      error = modulePath + " carries no PiPL this host knows";
      return false;
    }
    return ReadEmbeddedPiPL(info, error);
  }
  error = modulePath + " is not a filter module (neither a PE nor an ELF file)";
  return false;
}

// ---- Checking before a call ---------------------------------------------------

std::string CheckFilterPiPL(const PiPLInfo& info, int16_t imageMode, int16_t filterCase) {
  if (info.properties.empty()) return "the module's PiPL is empty";
  if (info.kind != kFilterKind) return "the module is not a filter (kind '" + FourCCText(info.kind) + "')";
  if (info.hasInterfaceVersion && info.interfaceVersion > 0x00040000) {
    return "the module needs filter interface " + std::to_string(info.interfaceVersion >> 16) + "." +
           std::to_string(info.interfaceVersion & 0xFFFF) + "; this host offers 4.0";
  }
  if (info.entryPoint.empty()) return "the module has no entry point for 64-bit x86 code ('8664')";

  if (info.modeFlags.size() < 2) return "the module names no image modes ('mode')";
  const int16_t flagMode = FlagModeOf(imageMode);
  if (flagMode < 0 || flagMode > 9) return "unknown image mode " + std::to_string(imageMode);
  const uint8_t byte = info.modeFlags[size_t(flagMode / 8)];
  if ((byte & (0x80 >> (flagMode % 8))) == 0) return "the module does not filter " + ModeText(imageMode) + " images";
  std::vector<int16_t> enabled;
  if (!info.enableExpression.empty() && EnabledModes(info.enableExpression, enabled) &&
      std::find(enabled.begin(), enabled.end(), imageMode) == enabled.end())
    return "the module is not enabled for " + ModeText(imageMode) + " images";

  if (filterCase != 0) {
    if (filterCase < 1 || filterCase > 7) return "unknown filter case " + std::to_string(filterCase);
    if (!info.filterCases.empty()) {
      const FilterCaseInfo& c = info.filterCases[size_t(filterCase - 1)];
      if (c.inputHandling == 0 || c.outputHandling == 0)
        return std::string("the module cannot filter the case ") + kCaseNames[filterCase - 1];
    }
  }
  return std::string();
}

// ---- Printing -----------------------------------------------------------------

std::string FormatPiPL(const PiPLInfo& info) {
  std::string s;
  char line[256];
  auto add = [&](const char* format, auto... values) {
    std::snprintf(line, sizeof(line), format, values...);
    s += line;
  };
  add("PiPL: version %d, %zu properties\n", info.listVersion, info.properties.size());
  for (const PiPLProperty& p : info.properties) {
    const std::string key = FourCCText(p.key);
    if (p.vendor != kVendor) {
      add("  %-4s  vendor '%s', %u bytes\n", key.c_str(), FourCCText(p.vendor).c_str(), p.length);
      continue;
    }
    switch (p.key) {
      case Code("kind"):
        add("  kind  %s%s\n", FourCCText(info.kind).c_str(), info.kind == kFilterKind ? " (filter)" : "");
        break;
      case Code("name"): s += "  name  " + Quoted(info.name) + "\n"; break;
      case Code("catg"): s += "  catg  " + Quoted(info.category) + " (menu category)\n"; break;
      case Code("vers"):
        add("  vers  interface %d.%d\n", info.interfaceVersion >> 16, info.interfaceVersion & 0xFFFF);
        break;
      case Code("cmpt"):
        s += "  cmpt  version " + std::to_string(info.componentVersion) + ", " + Quoted(info.componentName) + "\n";
        break;
      case Code("8664"): s += "  8664  entry point " + Quoted(info.entryPoint) + " (x64)\n"; break;
      case Code("mode"): {
        s += "  mode ";
        for (uint8_t b : info.modeFlags) add(" %02X", b);
        std::string modes;
        for (int16_t m = 0; m <= 9; ++m)
          if (info.modeFlags[size_t(m / 8)] & (0x80 >> (m % 8))) modes += (modes.empty() ? "" : ", ") + ModeText(m);
        s += ": " + (modes.empty() ? std::string("none") : modes) + "\n";
        break;
      }
      case Code("hstm"):
        add("  hstm  version %d, class '%s', event '%s', terminology %d, scope ", info.terminologyVersion,
            FourCCText(info.terminologyClass).c_str(), FourCCText(info.terminologyEvent).c_str(),
            info.terminologyId);
        s += Quoted(info.scope) + "\n";
        break;
      case Code("enbl"): s += "  enbl  " + Quoted(info.enableExpression) + "\n"; break;
      case Code("ms32"): add("  ms32  at most %d x %d pixels\n", info.maxHeight, info.maxWidth); break;
      case Code("flly"):
        add("  flly  %s\n", info.filterLayers ? "filter layers supported" : "no filter layers");
        break;
      case Code("fici"):
        s += "  fici  filter cases (in, out, flags):\n";
        for (size_t i = 0; i < info.filterCases.size(); ++i) {
          const FilterCaseInfo& c = info.filterCases[i];
          add("          %zu %-38s %u %u 0x%02X\n", i + 1, kCaseNames[i], c.inputHandling, c.outputHandling, c.flags1);
        }
        break;
      default: {
        s += "  " + key + " ";
        for (size_t i = 0; i < p.data.size() && i < 32; ++i) add(" %02X", p.data[i]);
        s += p.data.size() > 32 ? " ...\n" : "\n";
      }
    }
  }
  if (!info.hasTerminology) return s;
  if (!info.hasAete) return s + "AETE: " + info.aeteError + "\n";
  const AeteInfo& a = info.aete;
  add("AETE %d: version %u.%u, language %d, script %d\n", info.terminologyId, a.majorVersion, a.minorVersion,
      a.language, a.script);
  s += "  suite " + Quoted(a.suiteName) + ", " + Quoted(a.suiteDescription);
  add(", ID '%s', level %d, version %d\n", FourCCText(a.suiteId).c_str(), a.suiteLevel, a.suiteVersion);
  s += "  event " + Quoted(a.eventName) + ", " + Quoted(a.eventDescription);
  add(", class '%s', ID '%s'\n", FourCCText(a.eventClass).c_str(), FourCCText(a.eventId).c_str());
  add("  reply '%s' (flags 0x%04X), direct parameter '%s' (flags 0x%04X)\n", FourCCText(a.replyType).c_str(),
      a.replyFlags, FourCCText(a.directParameterType).c_str(), a.directParameterFlags);
  add("  %zu parameters:\n", a.parameters.size());
  for (size_t i = 0; i < a.parameters.size(); ++i) {
    const AeteParameter& p = a.parameters[i];
    add("    %2zu '%s' %s ", i + 1, FourCCText(p.key).c_str(), FourCCText(p.type).c_str());
    s += Quoted(p.name);
    if (p.description != " ") s += " " + Quoted(p.description);
    if (p.flags != 0) add(" flags 0x%04X", p.flags);
    s += "\n";
  }
  return s;
}

}  // namespace rf::tools
