// Rimeflower host: descriptors as this host keeps them.
//
// A descriptor is a list of keyed values. The module builds and reads them
// through the host's procedure tables and suites; this host keeps them as
// `HostDescriptor` objects, serialises them into handles for the scripting
// parameters, and keeps the registry of persistent descriptors in a file.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "host/interface/host_interface.h"
#include "host/record/parameters.h"

namespace rf::tools {

struct DescriptorValue {
  uint32_t key = 0;
  uint32_t type = 0;  // 'long', 'doub', 'bool' (in `integer`) or 'TEXT'
  int32_t integer = 0;
  double real = 0.0;
  // Text lives only in the descriptors the host answers layer queries with;
  // files and handles carry numbers, and a text value goes there as 0.
  std::string text;  // UTF-8
};

struct HostDescriptor {
  std::vector<DescriptorValue> values;  // in the order they were put

  const DescriptorValue* Find(uint32_t key) const;
  void PutInteger(uint32_t key, int32_t value);
  void PutFloat(uint32_t key, double value);
  void PutBoolean(uint32_t key, bool value);
  void PutText(uint32_t key, const std::string& utf8);

  std::vector<uint8_t> Serialise() const;
  static bool Deserialise(const uint8_t* data, size_t size, HostDescriptor& out);
};

// A descriptor of all 47 parameters of a record, as the module writes it.
HostDescriptor DescriptorFromRecord(const ParameterRecord& record);
// A descriptor of only the given parameters of a record.
HostDescriptor DescriptorFromRecord(const ParameterRecord& record, const std::vector<const ScriptedParameter*>& keys);
// Overlays a record with the values of a descriptor (keys it does not know
// are ignored, as the module does).
void ApplyDescriptor(const HostDescriptor& descriptor, ParameterRecord& record);

// The host's descriptor registry: persistent entries are kept in a file.
class DescriptorRegistry {
 public:
  explicit DescriptorRegistry(std::string path);
  bool Load();  // false when the file exists but cannot be read; missing file is fine
  bool Save() const;
  void Register(const std::string& key, const HostDescriptor& d, bool persistent);
  void Erase(const std::string& key);
  const HostDescriptor* Get(const std::string& key) const;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  std::map<std::string, HostDescriptor> persistent_;
  std::map<std::string, HostDescriptor> session_;
};

}  // namespace rf::tools
