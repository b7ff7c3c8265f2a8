#include "tools/hostlib/descriptor_store.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/platform.h"

namespace rf::tools {

using host::kTypeFloat;
using host::kTypeInteger;

const DescriptorValue* HostDescriptor::Find(uint32_t key) const {
  // Later puts of a key replace earlier ones, as in a real descriptor.
  for (auto it = values.rbegin(); it != values.rend(); ++it)
    if (it->key == key) return &*it;
  return nullptr;
}

void HostDescriptor::PutInteger(uint32_t key, int32_t value) {
  DescriptorValue v;
  v.key = key;
  v.type = kTypeInteger;
  v.integer = value;
  values.push_back(v);
}

void HostDescriptor::PutFloat(uint32_t key, double value) {
  DescriptorValue v;
  v.key = key;
  v.type = kTypeFloat;
  v.real = value;
  values.push_back(v);
}

void HostDescriptor::PutBoolean(uint32_t key, bool value) {
  DescriptorValue v;
  v.key = key;
  v.type = host::kTypeBoolean;
  v.integer = value ? 1 : 0;
  values.push_back(v);
}

void HostDescriptor::PutText(uint32_t key, const std::string& utf8) {
  DescriptorValue v;
  v.key = key;
  v.type = host::kTypeText;
  v.text = utf8;
  values.push_back(v);
}

// Layout: a count, then per value key, type and 8 bytes of value, all
// little-endian.
std::vector<uint8_t> HostDescriptor::Serialise() const {
  std::vector<uint8_t> out(4 + values.size() * 16);
  const uint32_t count = uint32_t(values.size());
  std::memcpy(out.data(), &count, 4);
  for (size_t i = 0; i < values.size(); ++i) {
    uint8_t* p = out.data() + 4 + i * 16;
    std::memcpy(p, &values[i].key, 4);
    std::memcpy(p + 4, &values[i].type, 4);
    if (values[i].type == kTypeFloat) {
      std::memcpy(p + 8, &values[i].real, 8);
    } else {
      const int64_t v = values[i].integer;
      std::memcpy(p + 8, &v, 8);
    }
  }
  return out;
}

bool HostDescriptor::Deserialise(const uint8_t* data, size_t size, HostDescriptor& out) {
  out.values.clear();
  if (size < 4) return false;
  uint32_t count;
  std::memcpy(&count, data, 4);
  if (size != 4 + size_t(count) * 16) return false;
  for (uint32_t i = 0; i < count; ++i) {
    const uint8_t* p = data + 4 + size_t(i) * 16;
    DescriptorValue v;
    std::memcpy(&v.key, p, 4);
    std::memcpy(&v.type, p + 4, 4);
    if (v.type == kTypeFloat) {
      std::memcpy(&v.real, p + 8, 8);
    } else {
      int64_t x;
      std::memcpy(&x, p + 8, 8);
      v.integer = int32_t(x);
    }
    out.values.push_back(v);
  }
  return true;
}

HostDescriptor DescriptorFromRecord(const ParameterRecord& record,
                                    const std::vector<const ScriptedParameter*>& keys) {
  HostDescriptor d;
  for (const ScriptedParameter* p : keys) {
    if (p->type == ScriptType::Integer)
      d.PutInteger(p->key, int32_t(uint32_t(GetIntegerValue(record, *p))));
    else
      d.PutFloat(p->key, GetFloatValue(record, *p));
  }
  return d;
}

HostDescriptor DescriptorFromRecord(const ParameterRecord& record) {
  std::vector<const ScriptedParameter*> all;
  for (const ScriptedParameter& p : kScriptedParameters) all.push_back(&p);
  return DescriptorFromRecord(record, all);
}

void ApplyDescriptor(const HostDescriptor& descriptor, ParameterRecord& record) {
  for (const DescriptorValue& v : descriptor.values) {
    const ScriptedParameter* p = FindParameterByKey(v.key);
    if (!p) continue;
    if (v.type == kTypeFloat)
      SetFloatValue(record, *p, v.real);
    else
      SetIntegerValue(record, *p, v.integer);
  }
}

DescriptorRegistry::DescriptorRegistry(std::string path) : path_(std::move(path)) {}

// The file holds one value per line: registry key, 4-character key in hex,
// type and value. Doubles are written with 17 digits so that they survive.
bool DescriptorRegistry::Load() {
  persistent_.clear();
  if (path_.empty()) return true;
  std::ifstream in(path_);
  if (!in) return !platform::FileExists(path_);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string key, type;
    uint32_t code = 0;
    if (!(fields >> key >> std::hex >> code >> std::dec >> type)) continue;
    if (type == "long") {
      int64_t v;
      if (fields >> v) persistent_[key].PutInteger(code, int32_t(v));
    } else if (type == "doub") {
      double v;
      if (fields >> v) persistent_[key].PutFloat(code, v);
    }
  }
  return true;
}

bool DescriptorRegistry::Save() const {
  if (path_.empty()) return true;
  const size_t slash = path_.find_last_of("/\\");
  if (slash != std::string::npos) {
    // Create the folder and its parents.
    for (size_t i = 1; i <= slash; ++i)
      if (platform::IsPathSeparator(path_[i]) || i == slash) platform::MakeDirectory(path_.substr(0, i == slash ? slash : i));
  }
  const std::string temp = path_ + ".partial";
  {
    std::ofstream out(temp, std::ios::trunc);
    if (!out) return false;
    char buffer[64];
    for (const auto& [key, d] : persistent_) {
      for (const DescriptorValue& v : d.values) {
        if (v.type == kTypeFloat)
          std::snprintf(buffer, sizeof(buffer), "%08" PRIx32 " doub %.17g", v.key, v.real);
        else
          std::snprintf(buffer, sizeof(buffer), "%08" PRIx32 " long %" PRId32, v.key, v.integer);
        out << key << ' ' << buffer << '\n';
      }
    }
    if (!out.flush()) return false;
  }
  // Replacing in one step: Windows will not rename over an existing file.
  return platform::RenameReplacing(temp, path_);
}

void DescriptorRegistry::Register(const std::string& key, const HostDescriptor& d, bool persistent) {
  if (persistent) {
    session_.erase(key);
    persistent_[key] = d;
  } else {
    persistent_.erase(key);
    session_[key] = d;
  }
}

void DescriptorRegistry::Erase(const std::string& key) {
  persistent_.erase(key);
  session_.erase(key);
}

const HostDescriptor* DescriptorRegistry::Get(const std::string& key) const {
  auto it = session_.find(key);
  if (it != session_.end()) return &it->second;
  auto jt = persistent_.find(key);
  return jt != persistent_.end() ? &jt->second : nullptr;
}

}  // namespace rf::tools
