#include "presets/preset_library.h"

#include <algorithm>
#include <cstddef>

#include "platform/platform.h"
#include "presets/preset_file.h"

namespace rf::presets {

namespace {

constexpr size_t kMaxTypedName = 255;

std::string AsciiLowered(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

bool LessIgnoringCase(const std::string& a, const std::string& b) {
  const std::string la = AsciiLowered(a), lb = AsciiLowered(b);
  return la != lb ? la < lb : a < b;
}

std::string PresetFileName(const std::string& stem) { return stem + "." + kPresetExtension; }

constexpr size_t kMaxPresetName = 200;

bool IsDeviceName(const std::string& name) {
  // A device name stays a device with any extension: "NUL.txt" is NUL.
  const std::string base = AsciiLowered(name.substr(0, name.find('.')));
  for (const char* device : {"con", "prn", "aux", "nul", "conin$", "conout$"})
    if (base == device) return true;
  return base.size() == 4 && (base.compare(0, 3, "com") == 0 || base.compare(0, 3, "lpt") == 0) &&
         base[3] >= '1' && base[3] <= '9';
}

}  // namespace

// ---- Names --------------------------------------------------------------------

std::string PresetNameProblem(const std::string& name) {
  if (name.empty()) return "A preset needs a name.";
  if (name.size() > kMaxPresetName) return "A preset name may have at most 200 characters.";
  if (name == "." || name == "..") return "\"" + name + "\" cannot name a preset.";
  for (unsigned char c : name) {
    if (c < 32 || std::string("<>:\"/\\|?*").find(char(c)) != std::string::npos)
      return "A preset name cannot hold the characters < > : \" / \\ | ? * or control characters.";
  }
  if (name.back() == '.' || name.back() == ' ') return "A preset name cannot end with a dot or a blank.";
  if (IsDeviceName(name)) return "\"" + name + "\" is the name of a device and cannot name a preset.";
  return std::string();
}

// ---- List entries -----------------------------------------------------------

bool IsFolderEntry(const std::string& entry) { return !entry.empty() && entry[0] == '\t'; }

std::string FolderEntry(const std::string& folderName) { return "\t" + folderName; }

std::string FolderEntryName(const std::string& entry) {
  return IsFolderEntry(entry) ? entry.substr(1) : entry;
}

// ---- Paths ------------------------------------------------------------------

std::string NormalizeSeparators(std::string path) {
  for (char& c : path)
    if (platform::IsPathSeparator(c)) c = platform::PathSeparator();
  return path;
}

std::string WithFinalSeparator(std::string folder) {
  if (!folder.empty() && !platform::IsPathSeparator(folder.back())) folder += platform::PathSeparator();
  return folder;
}

std::string PresetsFolderFor(const std::string& moduleFolder) {
  const char sep = platform::PathSeparator();
  return WithFinalSeparator(NormalizeSeparators(moduleFolder)) + "Rimeflower" + sep + "Presets" + sep;
}

const char* LibraryFolderName(Library library) { return library == Library::Basic ? "Basic" : "User"; }

void ApplyDefaultParameters(ParameterRecord& record) {
  const WindowPlacement placement = record.windowPlacement;
  uint8_t* const texture = record.TextureCache;
  __Triangle3ds* const triangles = record.CachedTriangles;
  __Point3ds* const points = record.CachedPoints;
  const uint32_t triangleCount = record.CachedTriangleCount;
  const uint32_t pointCount = record.CachedPointCount;
  ResetToDefaults(record, /*includeWindowPlacement=*/false);
  record.windowPlacement = placement;
  record.TextureCache = texture;
  record.CachedTriangles = triangles;
  record.CachedPoints = points;
  record.CachedTriangleCount = triangleCount;
  record.CachedPointCount = pointCount;
  record.SceneDirty = 1;
}

// ---- Libraries --------------------------------------------------------------

void PresetLibraries::SetPresetsFolder(const std::string& presetsFolder) {
  presetsFolder_ = WithFinalSeparator(NormalizeSeparators(presetsFolder));
}

std::string PresetLibraries::LibraryFolder(Library library) const {
  return presetsFolder_ + LibraryFolderName(library) + platform::PathSeparator();
}

void PresetLibraries::SetSubfolder(Library library, const std::string& subfolder) {
  subfolder_[Index(library)] = WithFinalSeparator(NormalizeSeparators(subfolder));
}

std::string PresetLibraries::CurrentFolder(Library library) const {
  return LibraryFolder(library) + Subfolder(library);
}

void PresetLibraries::EnterFolder(Library library, const std::string& folderName) {
  std::string& sub = subfolder_[Index(library)];
  if (folderName == kParentFolder) {
    if (sub.empty()) return;
    // Drop the final separator, then everything after the one before it.
    size_t end = sub.size() - 1;
    while (end > 0 && !platform::IsPathSeparator(sub[end - 1])) --end;
    sub.resize(end);
    return;
  }
  if (folderName.empty()) return;
  sub = WithFinalSeparator(sub + NormalizeSeparators(folderName));
}

std::vector<std::string> PresetLibraries::List(Library library) const {
  std::vector<std::string> folders, presets;
  for (const platform::DirectoryEntry& e : platform::ListDirectory(CurrentFolder(library))) {
    if (e.isFolder) {
      // ".." is put back below when there is somewhere to go up to; other
      // names with a leading point are the system's or hidden.
      if (!e.name.empty() && e.name[0] != '.') folders.push_back(FolderEntry(e.name));
    } else if (e.isListedFile && HasPresetExtension(e.name)) {
      std::string stem = StripPresetExtension(e.name);
      if (stem.size() == e.name.size()) stem.clear();  // ".rmfpst" alone names nothing
      if (!stem.empty()) presets.push_back(std::move(stem));
    }
  }
  std::sort(folders.begin(), folders.end(), LessIgnoringCase);
  std::sort(presets.begin(), presets.end(), LessIgnoringCase);

  std::vector<std::string> entries;
  if (library == Library::Basic) entries.push_back(kDefaultEntry);
  if (!Subfolder(library).empty()) entries.push_back(FolderEntry(kParentFolder));
  entries.insert(entries.end(), folders.begin(), folders.end());
  entries.insert(entries.end(), presets.begin(), presets.end());
  return entries;
}

std::string PresetLibraries::PresetPath(Library library, const std::string& name) const {
  const std::string full = NormalizeSeparators(CurrentFolder(library) + PresetFileName(StripPresetExtension(name)));
  if (platform::FileExists(full)) return full;
  const size_t cut = full.find_last_of(platform::PathSeparator());
  const std::string folder = cut == std::string::npos ? std::string() : full.substr(0, cut + 1);
  const std::string wanted = AsciiLowered(full.substr(folder.size()));
  for (const platform::DirectoryEntry& e : platform::ListDirectory(folder))
    if (e.isListedFile && AsciiLowered(e.name) == wanted) return folder + e.name;
  return full;
}

bool PresetLibraries::PresetExists(Library library, const std::string& name) const {
  return platform::FileExists(PresetPath(library, name));
}

bool PresetLibraries::Load(Library library, const std::string& name, ParameterRecord& record) const {
  return ReadPresetFile(PresetPath(library, name), record);
}

SaveOutcome PresetLibraries::SaveUserPreset(
    const std::string& name, const ParameterRecord& record,
    const std::function<OverwriteAnswer(const std::string& name)>& confirmOverwrite) {
  const std::string stem = StripPresetExtension(name);
  if (stem.empty()) return SaveOutcome::Cancelled;
  if (!PresetNameProblem(stem).empty()) return SaveOutcome::Refused;
  const std::string path = PresetPath(Library::User, stem);
  const bool existed = platform::FileExists(path);
  if (existed) {
    switch (confirmOverwrite ? confirmOverwrite(stem) : OverwriteAnswer::Cancel) {
      case OverwriteAnswer::Yes:
        break;
      case OverwriteAnswer::No:
        return SaveOutcome::Declined;
      case OverwriteAnswer::Cancel:
        return SaveOutcome::Cancelled;
    }
  }
  if (!WritePresetFile(path, record)) {
    // A new file that could not be written whole is not left behind half
    // written; an overwritten one is already lost either way.
    if (!existed) platform::RemoveFile(path);
    return SaveOutcome::Failed;
  }
  return existed ? SaveOutcome::Overwritten : SaveOutcome::Saved;
}

bool PresetLibraries::DeleteUserPreset(const std::string& name) {
  if (!PresetNameProblem(StripPresetExtension(name)).empty()) return false;
  return platform::RemoveFile(PresetPath(Library::User, name));
}

// ---- The preset panel ---------------------------------------------------------

PresetPanel::PresetPanel(PresetLibraries& libraries) : libraries_(libraries) {
  Refresh(Library::Basic);
  Refresh(Library::User);
}

void PresetPanel::Refresh(Library library) {
  entries_[Index(library)] = libraries_.List(library);
  selection_[Index(library)] = -1;
}

SelectOutcome PresetPanel::Select(Library library, int index, ParameterRecord& record) {
  const std::vector<std::string>& entries = entries_[Index(library)];
  if (index < 0 || static_cast<size_t>(index) >= entries.size()) {
    selection_[Index(library)] = -1;
    return SelectOutcome::Nothing;
  }
  selection_[Index(library)] = index;
  const std::string& entry = entries[static_cast<size_t>(index)];
  if (library == Library::Basic && index == 0) {
    ApplyDefaultParameters(record);
    return SelectOutcome::DefaultApplied;
  }
  if (IsFolderEntry(entry)) return SelectOutcome::Folder;
  return libraries_.Load(library, entry, record) ? SelectOutcome::Loaded : SelectOutcome::LoadFailed;
}

bool PresetPanel::Open(Library library, int index) {
  const std::vector<std::string>& entries = entries_[Index(library)];
  if (index < 0 || static_cast<size_t>(index) >= entries.size()) return false;
  const std::string& entry = entries[static_cast<size_t>(index)];
  if (!IsFolderEntry(entry)) return false;
  libraries_.EnterFolder(library, FolderEntryName(entry));
  Refresh(library);
  return true;
}

bool PresetPanel::DeleteEnabled() const {
  const int sel = selection_[Index(Library::User)];
  const std::vector<std::string>& entries = entries_[Index(Library::User)];
  return sel >= 0 && static_cast<size_t>(sel) < entries.size() && !IsFolderEntry(entries[static_cast<size_t>(sel)]);
}

SaveOutcome PresetPanel::Save(const ParameterRecord& record, const SaveQuestions& questions) {
  for (;;) {
    std::string typed;
    if (!questions.askName || !questions.askName(typed)) return SaveOutcome::Cancelled;
    if (typed.size() > kMaxTypedName) typed.resize(kMaxTypedName);
    const std::string name = StripPresetExtension(typed);
    if (name.empty()) return SaveOutcome::Cancelled;

    const std::string problem = PresetNameProblem(name);
    if (!problem.empty()) {
      if (!questions.refuseName) return SaveOutcome::Refused;
      questions.refuseName(problem);
      continue;
    }
    const SaveOutcome outcome = libraries_.SaveUserPreset(name, record, questions.confirmOverwrite);
    if (outcome == SaveOutcome::Declined) continue;
    if (outcome == SaveOutcome::Cancelled) return outcome;
    selection_[Index(Library::User)] = -1;
    if (outcome == SaveOutcome::Saved) entries_[Index(Library::User)].push_back(name);
    return outcome;
  }
}

DeleteOutcome PresetPanel::DeleteSelected() {
  if (selection_[Index(Library::User)] < 0) return DeleteOutcome::Nothing;
  std::vector<std::string>& entries = entries_[Index(Library::User)];
  const auto sel = static_cast<size_t>(selection_[Index(Library::User)]);
  if (sel >= entries.size()) return DeleteOutcome::Nothing;
  if (!IsFolderEntry(entries[sel]) && !libraries_.DeleteUserPreset(entries[sel])) return DeleteOutcome::Failed;
  const bool folder = IsFolderEntry(entries[sel]);
  entries.erase(entries.begin() + static_cast<std::ptrdiff_t>(sel));
  selection_[Index(Library::User)] = -1;
  return folder ? DeleteOutcome::FolderHidden : DeleteOutcome::Deleted;
}

}  // namespace rf::presets
