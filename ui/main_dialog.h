// Rimeflower: the modal dialog and the about box.
#pragma once

#include <cstdint>

#include "ui/dialog_host.h"

namespace rf::ui {

enum class DialogResult { Apply, Cancel };

// Runs the modal dialog over the host's record. Builds without a dialog
// (Linux) apply at once with the record as it stands.
DialogResult RunMainDialog(DialogHost& host);

// Shows the about box, owned by the host window `owner` (0: none).
void RunAboutBox(intptr_t owner);

}  // namespace rf::ui
