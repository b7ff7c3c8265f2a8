#include "ui/main_dialog.h"

namespace rf::ui {

// The dialog itself is Windows-only and comes with the dialog work; until
// then every build applies with the record as it stands.
DialogResult RunMainDialog(DialogHost&) { return DialogResult::Apply; }

#if !defined(_WIN32)
// Linux has no about box; Windows has ui/about_box_win32.cpp.
void RunAboutBox(intptr_t) {}
#endif

}  // namespace rf::ui
