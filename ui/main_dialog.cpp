#include "ui/main_dialog.h"

namespace rf::ui {

// The dialog itself is Windows-only and comes with the dialog work; until
// then every build applies with the record as it stands.
DialogResult RunMainDialog() { return DialogResult::Apply; }

void RunAboutBox(intptr_t) {}

}  // namespace rf::ui
