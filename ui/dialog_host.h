// Rimeflower: what the dialog asks of the filter run while it is open.
//
// The entry point runs the dialog at the start selector and hands it this
// interface over the host's record, the run state and the scene cache, so
// that the dialog reaches the host only through calls it is given and never
// through the entry point's globals.
#pragma once

#include <cstdint>

#include "host/record/module_folders.h"
#include "host/record/parameters.h"
#include "presets/preset_library.h"

namespace rf::ui {

class DialogHost {
 public:
  virtual ~DialogHost() = default;

  // The locked parameter record; every control writes its field at once.
  virtual ParameterRecord& Record() = 0;
  virtual const ModuleFolders& Folders() const = 0;
  // The preset libraries, with the current subfolders the module keeps
  // while it is loaded.
  virtual presets::PresetLibraries& Presets() = 0;
  // The host's window that owns the dialog (0: none).
  virtual intptr_t OwnerWindow() const = 0;

  // Reads the whole filter area once per dialog, for the overview image:
  // 8-bit RGBA, filter width x height, rows packed. Answers a host result;
  // the user has been told of a failure.
  virtual int16_t LoadPreviewSource() = 0;
  // The buffer LoadPreviewSource filled, or null.
  virtual const uint8_t* PreviewSource() const = 0;
};

}  // namespace rf::ui
