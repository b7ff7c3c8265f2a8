// Arbitrary bytes as a preset file. A refused file must leave the record
// exactly as it was; an accepted one may change only the scripted fields
// (and mark the scene dirty), never to a non-finite float, and what it
// leaves must survive being written and read again.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "tests/fuzz/fuzz_support.h"
#include "presets/preset_file.h"

using rf::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  rf::ParameterRecord record;
  std::memset(&record, 0xA5, sizeof record);
  rf::ResetToDefaults(record, true);
  record.TextureCache = reinterpret_cast<uint8_t*>(&record);
  record.CachedTriangleCount = 17;
  record.SceneDirty = 0;
  uint8_t before[sizeof record];
  std::memcpy(before, &record, sizeof record);

  const bool accepted = rf::presets::ParsePreset(data, size, record);
  const auto* after = reinterpret_cast<const uint8_t*>(&record);

  // Nothing but the first line decides: it must begin with the header.
  const size_t headerLength = std::strlen(rf::presets::kPresetHeader);
  auto lower = [](uint8_t c) { return c == '\t' ? ' ' : c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : int(c); };
  bool headerFirst = size > headerLength;
  for (size_t i = 0; headerFirst && i < headerLength; ++i)
    headerFirst = lower(data[i]) == lower(uint8_t(rf::presets::kPresetHeader[i]));
  if (!accepted) {
    Check(std::memcmp(before, after, sizeof record) == 0);
    return 0;
  }
  Check(headerFirst);
  Check(record.SceneDirty == 1);
  for (size_t i = 0; i < sizeof record; ++i)
    Check(before[i] == after[i] || rf::fuzz::IsScriptedByte(i) || i == offsetof(rf::ParameterRecord, SceneDirty));

  rf::ParameterRecord again;
  std::memset(&again, 0, sizeof again);
  const std::string text = rf::presets::FormatPreset(record);
  Check(rf::presets::ParsePreset(reinterpret_cast<const uint8_t*>(text.data()), text.size(), again));
  rf::fuzz::CheckScriptedFloatsFinite(record);
  for (const rf::ScriptedParameter& p : rf::kScriptedParameters) {
    const double a = rf::GetFloatValue(record, p), b = rf::GetFloatValue(again, p);
    Check(p.width == rf::FieldWidth::F32 ? std::fabs(a - b) <= 0.005 + 1e-6 * std::fabs(a) : a == b);
  }
  return 0;
}
