// Arbitrary bytes as the host's two descriptor files: a recorded action and
// the registry of last-used values. An action is either refused with the
// line that failed or read into values that write and read back unchanged;
// the registry reader skips what it cannot read, and either way the values
// then overlay a parameter record without leaving a non-finite float.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>

#include "tests/fuzz/fuzz_support.h"
#include "tools/hostlib/action_file.h"
#include "tools/hostlib/descriptor_store.h"

namespace {

using rf::fuzz::Check;

void CheckOverlay(const rf::tools::HostDescriptor& d) {
  rf::ParameterRecord record;
  rf::ResetToDefaults(record, true);
  rf::tools::ApplyDescriptor(d, record);
  rf::fuzz::CheckScriptedFloatsFinite(record);
}

bool Same(const rf::tools::HostDescriptor& a, const rf::tools::HostDescriptor& b) {
  if (a.values.size() != b.values.size()) return false;
  for (size_t i = 0; i < a.values.size(); ++i) {
    const rf::tools::DescriptorValue &x = a.values[i], &y = b.values[i];
    if (x.key != y.key || x.type != y.type || x.integer != y.integer) return false;
    if (x.real != y.real && !(std::isnan(x.real) && std::isnan(y.real))) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > rf::tools::kMaxActionFileBytes) return 0;
  const std::string text(reinterpret_cast<const char*>(data), size);

  rf::tools::HostDescriptor action;
  std::string error;
  if (rf::tools::ParseActionText(text, "fuzz", action, error)) {
    for (const rf::tools::DescriptorValue& v : action.values)
      if (v.type == rf::host::kTypeFloat) Check(std::isfinite(v.real));
    CheckOverlay(action);
    // The serialised form the module receives reads back the same.
    const std::vector<uint8_t> bytes = action.Serialise();
    rf::tools::HostDescriptor back;
    Check(rf::tools::HostDescriptor::Deserialise(bytes.data(), bytes.size(), back) && Same(action, back));
  } else {
    Check(action.values.empty() && error.find("line ") != std::string::npos);
  }

  rf::tools::DescriptorRegistry registry("");
  std::istringstream in(text);
  registry.Parse(in);
  if (const rf::tools::HostDescriptor* d = registry.Get(rf::host::kRegistryKey)) CheckOverlay(*d);

  // And the same bytes as a serialised descriptor handle.
  rf::tools::HostDescriptor handle;
  if (rf::tools::HostDescriptor::Deserialise(data, size, handle)) Check(handle.values.size() == (size - 4) / 16);
  return 0;
}
