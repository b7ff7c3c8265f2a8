#include <charconv>
#include <cstdio>
#include <filesystem>

#include "platform/platform.h"
#include "presets/preset_file.h"
#include "presets/preset_library.h"
#include "presets/text_lines.h"
#include "tools/imagefile/safe_file.h"
#include "tools/rimeflower/arguments.h"

namespace rf::tools {

namespace {

std::string NotAPreset(const std::string& path) {
  return "'" + path + "' is not a Rimeflower preset (its first line is not \"" + presets::kPresetHeader + "\")";
}

}  // namespace

// Anything that exists under that name is taken as the preset (and a FIFO
// or a folder refused), so that a path always means that file; otherwise the name is looked up as the dialog would find it,
// Basic first, and "Default" is the dialog's reset entry.
bool LoadPresetArgument(const std::string& pluginFolder, const std::string& nameOrFile, ParameterRecord& record,
                        std::string& error) {
  if (nameOrFile.empty()) {
    error = "empty preset name";
    return false;
  }
  std::error_code failed;
  if (std::filesystem::exists(std::filesystem::symlink_status(nameOrFile, failed))) {
    uint64_t bytes = 0;
    if (!CheckInputFile(nameOrFile, bytes, error)) return false;
    if (presets::ReadPresetFile(nameOrFile, record)) {
      PrintPresetWarnings(nameOrFile);
      return true;
    }
    error = NotAPreset(nameOrFile);
    return false;
  }
  const presets::PresetLibraries libraries(presets::PresetsFolderFor(pluginFolder));
  for (presets::Library library : {presets::Library::Basic, presets::Library::User}) {
    if (!libraries.PresetExists(library, nameOrFile)) continue;
    uint64_t bytes = 0;
    if (!CheckInputFile(libraries.PresetPath(library, nameOrFile), bytes, error)) return false;
    if (libraries.Load(library, nameOrFile, record)) {
      PrintPresetWarnings(libraries.PresetPath(library, nameOrFile));
      return true;
    }
    error = NotAPreset(libraries.PresetPath(library, nameOrFile));
    return false;
  }
  if (presets::StripPresetExtension(nameOrFile) == presets::kDefaultEntry) {
    presets::ApplyDefaultParameters(record);
    return true;
  }
  error = "no preset file '" + nameOrFile + "', and no preset of that name in " +
          libraries.LibraryFolder(presets::Library::Basic) + " or " +
          libraries.LibraryFolder(presets::Library::User);
  return false;
}

// Mirrors the plug-in's reading: after the header, a line whose first four
// characters (after blanks) are a parameter's written key gives its value as
// the run of number characters that follows; a run that does not begin a
// number reads as 0.
std::vector<std::string> PresetValueWarnings(const std::string& path) {
  std::vector<std::string> warnings;
  int number = 0;
  presets::ForEachFileLine(path, [&](const std::string& line) {
    if (++number == 1) return true;
    presets::KeyedValue kv;
    if (!presets::ParseKeyedLine(line, /*skipLeadingBlanks=*/true, kv)) return true;
    const ScriptedParameter* p = FindParameterByKey(presets::KeyFromWritten(kv.key));
    if (!p) return true;
    double value = 0;
    const char* first = kv.valueRun.data();
    if (std::from_chars(first, first + kv.valueRun.size(), value).ptr != first) return true;
    // What the line says after its key, for the message.
    size_t start = line.find_first_not_of(' ');
    start = line.find_first_not_of(' ', start + 4);
    std::string given = start == std::string::npos ? std::string() : line.substr(start, 24);
    given = given.substr(0, given.find_first_of(" \t;"));
    warnings.push_back("'" + path + "' line " + std::to_string(number) + ": " + p->name +
                       (given.empty() ? std::string(" has no value") : " gives '" + given + "'") +
                       ", which reads as 0");
    return warnings.size() < 100;
  });
  return warnings;
}

void PrintPresetWarnings(const std::string& path) {
  for (const std::string& w : PresetValueWarnings(path)) std::fprintf(stderr, "rimeflower: warning: %s\n", w.c_str());
}

}  // namespace rf::tools
