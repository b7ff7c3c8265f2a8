// The about box (dialog resource 128 of the module).
#if defined(_WIN32)

#include "ui/main_dialog.h"

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include "platform/win32/module_instance.h"

namespace rf::ui {

namespace {

INT_PTR CALLBACK AboutProc(HWND box, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        EndDialog(box, LOWORD(wParam));
        return TRUE;
      }
      break;
    case WM_CLOSE:
      EndDialog(box, IDCANCEL);
      return TRUE;
  }
  return FALSE;
}

}  // namespace

void RunAboutBox(intptr_t owner) {
  // The dialog lives in the module's resources, not the host's. Without a
  // desktop (a service, a headless test) DialogBoxParam fails at once and
  // there is nothing else to do.
  DialogBoxParamA(static_cast<HINSTANCE>(platform::win32::ModuleInstance()), MAKEINTRESOURCEA(128),
                  reinterpret_cast<HWND>(owner), AboutProc, 0);
}

}  // namespace rf::ui

#endif  // _WIN32
