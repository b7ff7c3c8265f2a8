#include "platform/platform.h"
#include "presets/preset_file.h"
#include "presets/preset_library.h"
#include "tools/rimeflower/arguments.h"

namespace rf::tools {

namespace {

std::string NotAPreset(const std::string& path) {
  return "'" + path + "' is not a Rimeflower preset (its first line is not \"" + presets::kPresetHeader + "\")";
}

}  // namespace

// A file that exists is taken as the preset, so that a path always means
// that file; otherwise the name is looked up as the dialog would find it,
// Basic first, and "Default" is the dialog's reset entry.
bool LoadPresetArgument(const std::string& pluginFolder, const std::string& nameOrFile, ParameterRecord& record,
                        std::string& error) {
  if (nameOrFile.empty()) {
    error = "empty preset name";
    return false;
  }
  if (platform::FileExists(nameOrFile)) {
    if (presets::ReadPresetFile(nameOrFile, record)) return true;
    error = NotAPreset(nameOrFile);
    return false;
  }
  const presets::PresetLibraries libraries(presets::PresetsFolderFor(pluginFolder));
  for (presets::Library library : {presets::Library::Basic, presets::Library::User}) {
    if (!libraries.PresetExists(library, nameOrFile)) continue;
    if (libraries.Load(library, nameOrFile, record)) return true;
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

}  // namespace rf::tools
