// Rimeflower: the preset libraries.
//
// Presets live under the presets folder in two libraries: "Basic" for the
// presets delivered with the plug-in and "User" for the ones the user saves.
// Each library may hold nested folders; each has a current subfolder that
// the user moves through and that is kept for the life of the module, so
// that the dialog opens where it was left.
//
// PresetLibraries is the folder side (paths, listing, load, save, delete).
// PresetPanel is what the dialog's preset panel shows: the two lists, their
// selections and what selecting, opening, saving and deleting do to them.
// Neither shows anything; the dialog draws the lists and asks the questions
// through callbacks.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "host/record/parameters.h"

namespace rf::presets {

enum class Library { Basic, User };

// ---- Texts the panel shows ----------------------------------------------------

constexpr const char* kOverwriteQuestion = "The file already exist!\n Do you want rewrite it?";
constexpr const char* kOverwriteTitle = "File Save Warning";
constexpr const char* kSaveErrorText = "Cannot Save File!";
constexpr const char* kSaveErrorTitle = "Save Preset Error";

// ---- List entries -----------------------------------------------------------

// The first entry of the Basic list: selecting it resets the parameters.
constexpr const char* kDefaultEntry = "Default";
constexpr const char* kParentFolder = "..";

// Folder entries are a tab followed by the folder's name; the list draws
// them with a folder picture. Every other entry is a preset name without
// its extension.
bool IsFolderEntry(const std::string& entry);
std::string FolderEntry(const std::string& folderName);
std::string FolderEntryName(const std::string& entry);

// ---- Paths ------------------------------------------------------------------

// Separators of either kind become this platform's, and a folder gets its
// missing final separator.
std::string NormalizeSeparators(std::string path);
std::string WithFinalSeparator(std::string folder);
// The presets folder below the folder that holds the module:
// <module folder>/Rimeflower/Presets/.
std::string PresetsFolderFor(const std::string& moduleFolder);
const char* LibraryFolderName(Library library);  // "Basic" or "User"

// "Default" everywhere except the window placement. The texture and the
// cached scene belong to whoever made them, so their pointers are kept for
// their owner to release; the dirty flag makes the scene be rebuilt.
void ApplyDefaultParameters(ParameterRecord& record);

// ---- Names --------------------------------------------------------------------

// Why `name` (without the extension) cannot be a preset's name, or an empty
// text when it can. A name never reaches outside its library's folder: no
// folder separators, no "." or "..", none of the characters a Windows file
// name cannot hold (< > : " | ? * and control characters), no device name
// (CON, PRN, AUX, NUL, COM1 to COM9, LPT1 to LPT9, with or without an
// extension, in any case), no final dot or blank, at most 200 characters.
// The same rules hold on every system, so that a library copied between
// them keeps working.
std::string PresetNameProblem(const std::string& name);

// ---- Libraries --------------------------------------------------------------

enum class OverwriteAnswer { Yes, No, Cancel };

enum class SaveOutcome {
  Saved,        // a new file
  Overwritten,  // an existing file, after a Yes
  Declined,     // the file exists and the answer was No
  Cancelled,    // an empty name, or Cancel
  Refused,      // the name cannot be a preset's (PresetNameProblem)
  Failed,       // the file could not be created or written
};

class PresetLibraries {
 public:
  PresetLibraries() = default;
  explicit PresetLibraries(const std::string& presetsFolder) { SetPresetsFolder(presetsFolder); }

  // The folder may be set again (at every prepare); the current subfolders
  // stay as they are.
  void SetPresetsFolder(const std::string& presetsFolder);
  const std::string& PresetsFolder() const { return presetsFolder_; }

  std::string LibraryFolder(Library library) const;
  // Relative to the library, empty at the top, else ending in a separator.
  const std::string& Subfolder(Library library) const { return subfolder_[Index(library)]; }
  void SetSubfolder(Library library, const std::string& subfolder);
  std::string CurrentFolder(Library library) const;

  // ".." goes up one level (nothing at the top); any other name goes down.
  void EnterFolder(Library library, const std::string& folderName);

  // The entries of the current folder, sorted without regard to case:
  // "Default" first in Basic, then ".." below the top, the folders, and the
  // presets.
  std::vector<std::string> List(Library library) const;

  // The path of a preset in the current folder. When no file has exactly
  // that name but one differs only in the case of its extension or name
  // (a case-sensitive file system), that one is answered.
  std::string PresetPath(Library library, const std::string& name) const;
  bool PresetExists(Library library, const std::string& name) const;

  // Applies a preset of the current folder; false, with the record as it
  // was, when it cannot be opened or is not a preset.
  bool Load(Library library, const std::string& name, ParameterRecord& record) const;

  // Saves `record` as a user preset in the current User folder. The name
  // loses a typed extension; an existing file is overwritten only on Yes; a
  // name PresetNameProblem refuses writes nothing.
  SaveOutcome SaveUserPreset(const std::string& name, const ParameterRecord& record,
                             const std::function<OverwriteAnswer(const std::string& name)>& confirmOverwrite);
  // Deletes a user preset of the current User folder, without asking;
  // false for a name PresetNameProblem refuses.
  bool DeleteUserPreset(const std::string& name);

 private:
  static int Index(Library library) { return library == Library::Basic ? 0 : 1; }

  std::string presetsFolder_;
  std::string subfolder_[2];
};

// ---- The preset panel ---------------------------------------------------------

enum class SelectOutcome {
  Nothing,         // no such entry
  DefaultApplied,  // the record is back at its defaults
  Folder,          // a folder entry: nothing is loaded
  Loaded,          // the preset was applied
  LoadFailed,      // the preset could not be read; the record is unchanged
};

enum class DeleteOutcome {
  Nothing,      // no selection
  FolderHidden, // a folder entry left the list; the folder stays
  Deleted,      // the file was deleted and its entry removed
  Failed,       // the file could not be deleted; the entry stays
};

class PresetPanel {
 public:
  explicit PresetPanel(PresetLibraries& libraries);

  // Lists a library again from its current folder; clears its selection.
  void Refresh(Library library);
  const std::vector<std::string>& Entries(Library library) const { return entries_[Index(library)]; }
  int Selection(Library library) const { return selection_[Index(library)]; }

  // A single click. After DefaultApplied or Loaded the dialog refreshes its
  // controls and renders the preview again.
  SelectOutcome Select(Library library, int index, ParameterRecord& record);
  // A double click: a folder entry is entered and the list made again.
  // True when the list changed.
  bool Open(Library library, int index);

  // Enabled only while the User list has a selection that is not a folder.
  bool DeleteEnabled() const;

  struct SaveQuestions {
    // Asks for a name (empty at first, at most 255 characters taken);
    // false when the user cancels.
    std::function<bool(std::string& name)> askName;
    // Asked when a preset of that name exists: No asks for a name again.
    std::function<OverwriteAnswer(const std::string& name)> confirmOverwrite;
    // Told why a typed name cannot be used; a name is then asked again.
    // Without it, Save answers Refused.
    std::function<void(const std::string& problem)> refuseName;
  };
  // The Save button. On Failed the dialog reports kSaveErrorText.
  SaveOutcome Save(const ParameterRecord& record, const SaveQuestions& questions);
  // The Delete button.
  DeleteOutcome DeleteSelected();

 private:
  static int Index(Library library) { return library == Library::Basic ? 0 : 1; }

  PresetLibraries& libraries_;
  std::vector<std::string> entries_[2];
  int selection_[2] = {-1, -1};
};

}  // namespace rf::presets
