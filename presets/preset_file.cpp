#include "presets/preset_file.h"

#include <cstdio>
#include <cstring>

#include "presets/text_lines.h"

namespace rf::presets {

namespace {

constexpr size_t kExtensionWithPointLength = 7;  // ".rmfpst"

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualIgnoringCase(const char* a, const char* b, size_t n) {
  for (size_t i = 0; i < n; ++i)
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  return true;
}

bool EndsWithExtension(const std::string& name) {
  if (name.size() < kExtensionWithPointLength) return false;
  const char* tail = name.data() + name.size() - kExtensionWithPointLength;
  return tail[0] == '.' && EqualIgnoringCase(tail + 1, kPresetExtension, kExtensionWithPointLength - 1);
}

// `Emitter Type` is a one-byte field but is written in the form of the
// 32-bit fields, without the blank before the line end.
bool WrittenAsWideInteger(const ScriptedParameter& p) {
  return p.width == FieldWidth::U32 || p.key == FourCC("EmTp");
}

}  // namespace

std::string StripPresetExtension(const std::string& name) {
  if (name.size() > kExtensionWithPointLength && EndsWithExtension(name))
    return name.substr(0, name.size() - kExtensionWithPointLength);
  return name;
}

bool HasPresetExtension(const std::string& fileName) { return EndsWithExtension(fileName); }

std::string FormatParameterLine(const ParameterRecord& record, const ScriptedParameter& p) {
  std::string line = KeyAsWritten(p.key);
  line += ' ';
  if (p.width == FieldWidth::F32) {
    line += FormatFixed2(GetFloatValue(record, p));
  } else {
    // 32-bit fields go out as "%d" would print them: colours above 2^31
    // come back through the reader's low 32 bits unchanged.
    const auto value = static_cast<uint32_t>(GetIntegerValue(record, p));
    line += FormatInteger(static_cast<int32_t>(value));
  }
  line += " \t\t\t\t;";
  line += p.name;
  if (!WrittenAsWideInteger(p)) line += ' ';
  line += '\n';
  return line;
}

std::string FormatPreset(const ParameterRecord& record) {
  std::string text = "Rimeflower Preset;\nVersion 1;\n;------Emitter------\n";
  for (const ScriptedParameter& p : kScriptedParameters) text += FormatParameterLine(record, p);
  text += ";------The End------\n";
  return text;
}

bool WritePresetFile(const std::string& path, const ParameterRecord& record) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (f == nullptr) return false;
  const std::string text = FormatPreset(record);
  bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  ok = (std::fclose(f) == 0) && ok;
  return ok;
}

bool IsPresetHeader(const std::string& firstLine) {
  const size_t n = std::strlen(kPresetHeader);
  return firstLine.size() >= n && EqualIgnoringCase(firstLine.data(), kPresetHeader, n);
}

bool ApplyParameterLine(const std::string& line, ParameterRecord& record) {
  KeyedValue kv;
  if (!ParseKeyedLine(line, /*skipLeadingBlanks=*/true, kv)) return false;
  const ScriptedParameter* p = FindParameterByKey(KeyFromWritten(kv.key));
  if (p == nullptr) return false;
  if (p->width == FieldWidth::F32)
    SetFloatValue(record, *p, ValueRunAsDouble(kv.valueRun));
  else
    SetIntegerValue(record, *p, ValueRunAsInteger(kv.valueRun));
  return true;
}

namespace {

// Checks the first line, then applies the others. Nothing reaches the
// record before the header has been seen, so a refused file changes nothing.
class PresetReader {
 public:
  explicit PresetReader(ParameterRecord& record) : record_(record) {}

  bool operator()(const std::string& line) {
    if (!sawFirstLine_) {
      sawFirstLine_ = true;
      accepted_ = IsPresetHeader(line);
      return accepted_;
    }
    ApplyParameterLine(line, record_);
    return true;
  }

  bool Finish() {
    if (accepted_) record_.SceneDirty = 1;
    return accepted_;
  }

 private:
  ParameterRecord& record_;
  bool sawFirstLine_ = false;
  bool accepted_ = false;
};

}  // namespace

bool ParsePreset(const uint8_t* data, size_t size, ParameterRecord& record) {
  PresetReader reader(record);
  ForEachLine(data, size, std::ref(reader));
  return reader.Finish();
}

bool ReadPresetFile(const std::string& path, ParameterRecord& record) {
  PresetReader reader(record);
  if (!ForEachFileLine(path, std::ref(reader))) return false;
  return reader.Finish();
}

}  // namespace rf::presets
