#include "ui/main_dialog.h"

namespace rf::ui {

// The Linux module has no window system to show a dialog on; hosts there
// run the filter with the values they pass, as a recorded action does.
DialogResult RunMainDialog(DialogHost&) { return DialogResult::Apply; }
void RunAboutBox(intptr_t) {}

}  // namespace rf::ui
