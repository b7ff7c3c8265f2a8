// rimeflower presets: the plug-in's preset libraries from the command line.
#include <charconv>
#include <cstdio>

#include "platform/platform.h"
#include "presets/preset_file.h"
#include "presets/preset_library.h"
#include "tools/hostlib/last_used.h"
#include "tools/rimeflower/commands.h"

namespace rf::tools {

namespace {

const char kCommand[] = "presets";

const char kHelp[] =
    "usage: rimeflower presets list [--library basic|user] [--folder SUB]\n"
    "       rimeflower presets show NAME|FILE [--library basic|user] [--folder SUB]\n"
    "       rimeflower presets save NAME [--set NAME=VALUE]... [--folder SUB] [--force]\n"
    "       rimeflower presets delete NAME [--folder SUB]\n"
    "\n"
    "The libraries are the plug-in's: Rimeflower/Presets/Basic and .../User beside\n"
    "Rimeflower64.8bf (--plugin-dir DIR names another plug-in folder). --folder\n"
    "names a subfolder of the library, as the dialog's folder entries do.\n"
    "\n"
    "  list    the entries the dialog lists: \"Default\" first in Basic, then\n"
    "          folders (ending in a separator), then presets; both libraries\n"
    "          unless --library is given\n"
    "  show    the 47 parameters a preset gives, over the defaults; a FILE path\n"
    "          is read directly, a NAME is looked up in Basic, then User\n"
    "  save    the values last used, changed by --set, as a User preset; an\n"
    "          existing preset is overwritten only with --force\n"
    "  delete  a User preset\n";

struct Options {
  std::string action;
  std::string name;
  bool hasName = false;
  bool hasLibrary = false;
  presets::Library library = presets::Library::Basic;
  std::string folder;
  std::string pluginDir;
  std::vector<Assignment> sets;
  bool force = false;
  bool help = false;
};

bool ContainsSeparator(const std::string& s) {
  for (char c : s)
    if (platform::IsPathSeparator(c)) return true;
  return false;
}

// A subfolder stays inside its library: no absolute path and no "..".
bool IsPlainSubfolder(const std::string& folder) {
  if (!folder.empty() && platform::IsPathSeparator(folder[0])) return false;
  if (folder.find(':') != std::string::npos) return false;
  size_t start = 0;
  while (start <= folder.size()) {
    size_t end = start;
    while (end < folder.size() && !platform::IsPathSeparator(folder[end])) ++end;
    if (folder.compare(start, end - start, "..") == 0 && end - start == 2) return false;
    start = end + 1;
  }
  return true;
}

// Answers the exit code when the command ends here.
std::optional<int> ParseOptions(const Args& args, Options& o) {
  const CommandLine line{
      kCommand, nullptr, "unknown option",
      {{"--help", "-h", kFlag, SetTrue(o.help)},
       {"--force", nullptr, kFlag, SetTrue(o.force)},
       {"--library", nullptr, kValue,
        [&o](const std::string& value) {
          if (value == "basic" || value == "Basic")
            o.library = presets::Library::Basic;
          else if (value == "user" || value == "User")
            o.library = presets::Library::User;
          else
            return "--library takes basic or user, not '" + value + "'";
          o.hasLibrary = true;
          return std::string();
        },
        "--library needs basic or user"},
       {"--folder", nullptr, kValue,
        [&o](const std::string& value) {
          if (!IsPlainSubfolder(value)) return "--folder names a subfolder inside the library, not '" + value + "'";
          o.folder = value;
          return std::string();
        },
        "--folder needs a subfolder"},
       {"--plugin-dir", nullptr, kValue, StoreIn(o.pluginDir), "--plugin-dir needs a folder"},
       {"--set", nullptr, kValue, AddAssignment(o.sets), "--set needs NAME=VALUE"}},
      [&o](const std::string& word) {
        if (o.action.empty()) {
          o.action = word;
        } else if (!o.hasName) {
          o.name = word;
          o.hasName = true;
        } else {
          return "unexpected argument '" + word + "'";
        }
        return std::string();
      },
      /* dashIsWord: a lone "-" is read as an action or a name */ true};
  return ParseCommandLine(line, args);
}

std::string FormatValue(const ParameterRecord& record, const ScriptedParameter& p) {
  if (p.width != FieldWidth::F32) return std::to_string(GetIntegerValue(record, p));
  char buffer[64];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, static_cast<float>(GetFloatValue(record, p)));
  return ec == std::errc() ? std::string(buffer, end) : std::string("?");
}

void PrintEntries(const std::vector<std::string>& entries, const char* indent) {
  const char sep = platform::PathSeparator();
  for (const std::string& e : entries) {
    if (presets::IsFolderEntry(e))
      std::printf("%s%s%c\n", indent, presets::FolderEntryName(e).c_str(), sep);
    else
      std::printf("%s%s\n", indent, e.c_str());
  }
}

int List(const Options& o, presets::PresetLibraries& libraries) {
  if (o.hasName) return UsageError(kCommand, "list takes no name");
  if (o.hasLibrary) {
    PrintEntries(libraries.List(o.library), "");
    return 0;
  }
  for (presets::Library library : {presets::Library::Basic, presets::Library::User}) {
    std::printf("%s (%s):\n", presets::LibraryFolderName(library), libraries.CurrentFolder(library).c_str());
    PrintEntries(libraries.List(library), "  ");
  }
  return 0;
}

int Show(const Options& o, presets::PresetLibraries& libraries, const std::string& pluginDir) {
  if (!o.hasName) return UsageError(kCommand, "show needs a preset name or file");
  ParameterRecord record{};
  ResetToDefaults(record, true);
  if (o.hasLibrary || !o.folder.empty()) {
    const presets::Library library = o.hasLibrary ? o.library : presets::Library::Basic;
    if (libraries.PresetExists(library, o.name)) {
      if (!libraries.Load(library, o.name, record))
        return Fail("'" + libraries.PresetPath(library, o.name) + "' is not a Rimeflower preset");
      PrintPresetWarnings(libraries.PresetPath(library, o.name));
    } else if (library != presets::Library::Basic ||
               presets::StripPresetExtension(o.name) != presets::kDefaultEntry) {
      // "Default" heads every Basic list and shows the defaults.
      return Fail("no preset '" + o.name + "' in " + libraries.CurrentFolder(library));
    }
  } else {
    std::string error;
    if (!LoadPresetArgument(pluginDir, o.name, record, error)) return Fail(error);
  }
  for (const ScriptedParameter& p : kScriptedParameters)
    std::printf("%s=%s\n", p.name, FormatValue(record, p).c_str());
  return 0;
}

int CheckUserName(const Options& o, const char* action) {
  if (!o.hasName) return UsageError(kCommand, std::string(action) + " needs a preset name");
  if (ContainsSeparator(o.name))
    return UsageError(kCommand, "a preset name has no folders in it; use --folder for a subfolder");
  if (presets::StripPresetExtension(o.name).empty()) return UsageError(kCommand, "empty preset name");
  // The library's own rules (device names, reserved characters, ...).
  const std::string problem = presets::PresetNameProblem(presets::StripPresetExtension(o.name));
  if (!problem.empty()) return Fail(problem);
  return 0;
}

int Save(const Options& o, presets::PresetLibraries& libraries) {
  if (int rc = CheckUserName(o, "save")) return rc;
  if (o.hasLibrary && o.library != presets::Library::User)
    return UsageError(kCommand, "presets are saved into the User library only");
  ParameterRecord record{};
  ReadLastUsedValues(record);
  for (const Assignment& a : o.sets) ApplyAssignment(a, record);

  const std::string name = presets::StripPresetExtension(o.name);
  bool asked = false;
  const presets::SaveOutcome outcome =
      libraries.SaveUserPreset(name, record, [&](const std::string&) {
        asked = true;
        return o.force ? presets::OverwriteAnswer::Yes : presets::OverwriteAnswer::Cancel;
      });
  const std::string path = libraries.PresetPath(presets::Library::User, name);
  switch (outcome) {
    case presets::SaveOutcome::Saved:
    case presets::SaveOutcome::Overwritten:
      std::printf("%s %s\n", outcome == presets::SaveOutcome::Saved ? "saved" : "overwrote", path.c_str());
      return 0;
    case presets::SaveOutcome::Failed:
      return Fail(std::string(presets::kSaveErrorText) + " (could not write '" + path + "')");
    case presets::SaveOutcome::Refused:
      return Fail(presets::PresetNameProblem(name));
    default:
      if (asked) return Fail("the preset '" + path + "' already exists; add --force to overwrite it");
      return Fail("nothing saved");
  }
}

int Delete(const Options& o, presets::PresetLibraries& libraries) {
  if (int rc = CheckUserName(o, "delete")) return rc;
  if (o.hasLibrary && o.library != presets::Library::User)
    return UsageError(kCommand, "only User presets can be deleted");
  if (!libraries.PresetExists(presets::Library::User, o.name))
    return Fail("no preset '" + o.name + "' in " + libraries.CurrentFolder(presets::Library::User));
  const std::string path = libraries.PresetPath(presets::Library::User, o.name);
  if (!libraries.DeleteUserPreset(o.name)) return Fail("could not delete '" + path + "'");
  std::printf("deleted %s\n", path.c_str());
  return 0;
}

}  // namespace

int CmdPresets(const Args& args) {
  Options o;
  if (const std::optional<int> stop = ParseOptions(args, o)) return *stop;
  if (o.help || o.action.empty()) {
    std::fputs(kHelp, o.help ? stdout : stderr);
    return o.help ? 0 : 2;
  }
  if (o.action != "save" && (o.force || !o.sets.empty()))
    return UsageError(kCommand, "--set and --force go with save only");
  const std::string pluginDir = o.pluginDir.empty() ? DefaultPluginFolder() : o.pluginDir;
  presets::PresetLibraries libraries(presets::PresetsFolderFor(pluginDir));
  if (!o.folder.empty()) {
    libraries.SetSubfolder(presets::Library::Basic, o.folder);
    libraries.SetSubfolder(presets::Library::User, o.folder);
  }
  if (o.action == "list") return List(o, libraries);
  if (o.action == "show") return Show(o, libraries, pluginDir);
  if (o.action == "save") return Save(o, libraries);
  if (o.action == "delete") return Delete(o, libraries);
  return UsageError(kCommand, "unknown action '" + o.action + "' (list, show, save or delete)");
}

}  // namespace rf::tools
