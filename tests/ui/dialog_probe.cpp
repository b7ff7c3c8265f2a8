// Reads the filter dialog of another process, for the Windows dialog
// scenarios (scripts/windows-dialog-test.sh): where its controls are, what
// they show, and what the dialog itself answers to its query message.
//
//   dialog_probe layout   every control the driver aims at: "name x y w h"
//   dialog_probe state    what the controls show: "key value..." lines
//   dialog_probe check    the kept preview against one rendered afresh
//   dialog_probe renders  how many previews the dialog has rendered
//   dialog_probe wait N   waits (up to 60 s) until N previews were rendered
//   dialog_probe sys maximize|restore|close   a command of the system menu
//   dialog_probe resize W H   asks for an outer size of W x H
//
// The dialog is the top-level window titled "Rimeflower". Exit 0 when it
// answered, 1 when there is none or it did not answer.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "ui/dialog_resources.h"
#include "ui/dialog_win32.h"

namespace {

using namespace rf::ui;

HWND Dialog() {
  HWND found = nullptr;
  EnumWindows(
      [](HWND w, LPARAM out) -> BOOL {
        char title[64] = {}, cls[16] = {};
        GetWindowTextA(w, title, sizeof title);
        GetClassNameA(w, cls, sizeof cls);
        if (std::strcmp(title, "Rimeflower") == 0 && std::strcmp(cls, "#32770") == 0 && IsWindowVisible(w)) {
          *reinterpret_cast<HWND*>(out) = w;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

// A control anywhere in the dialog (the pages are dialogs of their own).
HWND Item(HWND dialog, int id) {
  struct Search {
    int id;
    HWND found;
  } s{id, nullptr};
  EnumChildWindows(
      dialog,
      [](HWND w, LPARAM p) -> BOOL {
        auto* s = reinterpret_cast<Search*>(p);
        if (GetDlgCtrlID(w) == s->id && GetParent(w) && GetDlgCtrlID(GetParent(w)) < 100) {
          s->found = w;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&s));
  if (id == IDOK || id == IDCANCEL) return GetDlgItem(dialog, id);
  return s.found;
}

LRESULT Query(HWND dialog, int what) {
  DWORD_PTR answer = 0;
  if (!SendMessageTimeoutA(dialog, RegisterWindowMessageA(kQueryMessageName), WPARAM(what), 0, SMTO_ABORTIFHUNG, 60000,
                           &answer))
    return -1;
  return LRESULT(answer);
}

std::string Text(HWND w) {
  char text[512] = {};
  if (w) SendMessageA(w, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
  return text;
}

void PrintRect(const char* name, HWND w) {
  RECT r = {};
  if (!w || !GetWindowRect(w, &r)) return;
  std::printf("%s %ld %ld %ld %ld\n", name, r.left, r.top, r.right - r.left, r.bottom - r.top);
}

struct Named {
  const char* name;
  int id;
};

const Named kItems[] = {
    {"preview", RF_ID_PREVIEW},         {"overview", RF_ID_OVERVIEW},     {"zoomin", RF_ID_ZOOM_IN},
    {"zoomout", RF_ID_ZOOM_OUT},        {"zoomlabel", RF_ID_ZOOM_LABEL},  {"tabs", RF_ID_TABS},
    {"ok", IDOK},                       {"cancel", IDCANCEL},             {"manual", RF_ID_MANUAL},
    {"product", RF_ID_PRODUCT},         {"effect", RF_ID_EFFECT},         {"rendermode", RF_ID_RENDER_MODE},
    {"maskkind", RF_ID_MASK_KIND},      {"alphacut", RF_ID_ALPHA_CUT},    {"paths", RF_ID_EMITTER_PATHS},
    {"contours", RF_ID_EMITTER_CONTOURS}, {"fixed", RF_ID_EMITTER_FIXED}, {"position", RF_ID_POSITION},
    {"rotate", RF_ID_ROTATE_X},         {"light", RF_ID_LIGHT},           {"basic", RF_ID_BASIC_LIST},
    {"user", RF_ID_USER_LIST},          {"save", RF_ID_SAVE},             {"delete", RF_ID_DELETE},
    {"diffuse", RF_ID_DIFFUSE},         {"glass", RF_ID_USE_GLASS},
};

bool In(int id, std::initializer_list<int> ids) { return std::find(ids.begin(), ids.end(), id) != ids.end(); }
bool IsField(int id) { return id >= RF_ID_FIELD_FIRST && id <= RF_ID_FIELD_LAST; }

int Layout(HWND dialog) {
  PrintRect("window", dialog);
  for (const Named& n : kItems) PrintRect(n.name, Item(dialog, n.id));
  // The tabs are drawn by the dialog, side by side at their fixed width.
  RECT tabs = {};
  GetWindowRect(Item(dialog, RF_ID_TABS), &tabs);
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  const int width = Scaled(118, dpi);
  for (int i = 0; i < 2; ++i)
    std::printf("tab%d %ld %ld %d %ld\n", i, tabs.left + i * width, tabs.top, width, tabs.bottom - tabs.top);
  // Numeric fields: their edit box (child 1) and slider (child 3), and the centre fields.
  char name[32];
  for (int id = RF_ID_FIELD_FIRST; id <= RF_ID_FIELD_LAST; ++id)
    if (HWND field = Item(dialog, id))
      for (const Named& part : {Named{"edit", 1}, Named{"slider", 3}}) {
        std::snprintf(name, sizeof name, "field%d.%s", id, part.name);
        PrintRect(name, GetDlgItem(field, part.id));
      }
  PrintRect("centrex.edit", GetDlgItem(Item(dialog, RF_ID_CENTER_X), 1));
  PrintRect("centrey.edit", GetDlgItem(Item(dialog, RF_ID_CENTER_Y), 1));
  return 0;
}

int State(HWND dialog) {
  std::vector<int> ids = {RF_ID_EMITTER_PATHS, RF_ID_EMITTER_CONTOURS, RF_ID_EMITTER_FIXED, RF_ID_ALPHA_CUT,
                          RF_ID_EFFECT,        RF_ID_RENDER_MODE,      RF_ID_MASK_KIND,     RF_ID_GROW_DIRECT,
                          RF_ID_BACKGROUND,    RF_ID_POSITION,         RF_ID_CENTER_X,      RF_ID_CENTER_Y,
                          RF_ID_ROTATE_X,      RF_ID_ZOOM_IN,          RF_ID_ZOOM_OUT,      RF_ID_DELETE,
                          RF_ID_USE_GLASS,     RF_ID_LIGHT};
  for (int id = RF_ID_FIELD_FIRST; id <= RF_ID_FIELD_LAST; ++id) ids.push_back(id);
  for (int id : ids) {
    HWND w = Item(dialog, id);
    if (!w) continue;
    std::printf("enabled %d %d\n", id, IsWindowEnabled(w) ? 1 : 0);
    if (IsField(id) || In(id, {RF_ID_CENTER_X, RF_ID_CENTER_Y, RF_ID_ROTATE_X}))
      std::printf("text %d %s\n", id, Text(GetDlgItem(w, 1)).c_str());
    if (In(id, {RF_ID_EMITTER_PATHS, RF_ID_EMITTER_CONTOURS, RF_ID_EMITTER_FIXED, RF_ID_ALPHA_CUT, RF_ID_USE_GLASS}))
      std::printf("check %d %d\n", id, int(SendMessageA(w, BM_GETCHECK, 0, 0)));
    if (In(id, {RF_ID_EFFECT, RF_ID_RENDER_MODE, RF_ID_MASK_KIND, RF_ID_GROW_DIRECT}))
      std::printf("combo %d %d\ndropped %d %d\n", id, int(SendMessageA(w, CB_GETCURSEL, 0, 0)), id,
                  int(SendMessageA(w, CB_GETDROPPEDSTATE, 0, 0)));
  }
  for (const Named& n : {Named{"basic", RF_ID_BASIC_LIST}, Named{"user", RF_ID_USER_LIST}}) {
    HWND list = Item(dialog, n.id);
    const int count = int(SendMessageA(list, LB_GETCOUNT, 0, 0));
    std::printf("list %s %d %d", n.name, count, int(SendMessageA(list, LB_GETCURSEL, 0, 0)));
    for (int i = 0; i < count && i < 64; ++i) {
      // Wide: the text crosses between the processes as UTF-16.
      wchar_t entry[300] = {};
      if (SendMessageW(list, LB_GETTEXTLEN, i, 0) < LRESULT(300)) SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(entry));
      char narrow[600] = {};
      WideCharToMultiByte(CP_UTF8, 0, entry, -1, narrow, sizeof narrow, nullptr, nullptr);
      std::printf(" |%s", narrow[0] == '\t' ? narrow + 1 : narrow);
    }
    std::printf("\n");
  }
  std::printf("zoom %s\n", Text(Item(dialog, RF_ID_ZOOM_LABEL)).c_str());
  std::printf("scale %ld\n", long(Query(dialog, kQueryScale)));
  std::printf("offset %ld %ld\n", long(Query(dialog, kQueryOffsetX)), long(Query(dialog, kQueryOffsetY)));
  std::printf("renders %ld\n", long(Query(dialog, kQueryRenders)));
  std::printf("crosshair %ld\n", long(Query(dialog, kQueryCrosshair)));
  // Where the keyboard is: the focused control's identifier and its parent's.
  GUITHREADINFO gui = {};
  gui.cbSize = sizeof gui;
  if (GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &gui) && gui.hwndFocus) {
    char cls[32] = {};
    GetClassNameA(gui.hwndFocus, cls, sizeof cls);
    std::printf("focus %d %d %s\n", GetDlgCtrlID(gui.hwndFocus), GetDlgCtrlID(GetParent(gui.hwndFocus)), cls);
  } else {
    std::printf("focus none\n");
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string what = argc > 1 ? argv[1] : "";
  HWND dialog = Dialog();
  if (what == "wait") {
    const long want = argc > 2 ? std::atol(argv[2]) : 1;
    for (int i = 0; i < 600; ++i) {
      dialog = Dialog();
      if (dialog && Query(dialog, kQueryRenders) >= want) return 0;
      Sleep(100);
    }
    std::fprintf(stderr, "dialog_probe: no dialog with %ld renders\n", want);
    return 1;
  }
  if (!dialog) {
    std::fprintf(stderr, "dialog_probe: no dialog\n");
    return 1;
  }
  if (what == "layout") return Layout(dialog);
  if (what == "state") return State(dialog);
  if (what == "renders") {
    std::printf("%ld\n", long(Query(dialog, kQueryRenders)));
    return 0;
  }
  if (what == "check") {
    const LRESULT answer = Query(dialog, kQueryPreviewCheck);
    std::printf("%s\n", answer == 1 ? "same" : answer == 2 ? "different" : "failed");
    return answer == 1 ? 0 : 1;
  }
  if (what == "sys" && argc > 2) {
    const std::string command = argv[2];
    const WPARAM code = command == "maximize" ? SC_MAXIMIZE : command == "restore" ? SC_RESTORE : SC_CLOSE;
    PostMessageA(dialog, WM_SYSCOMMAND, code, 0);
    return 0;
  }
  if (what == "resize" && argc > 3) {
    SetWindowPos(dialog, nullptr, 0, 0, std::atoi(argv[2]), std::atoi(argv[3]), SWP_NOMOVE | SWP_NOZORDER);
    return 0;
  }
  std::fprintf(stderr, "usage: dialog_probe layout|state|check|renders|wait N|sys COMMAND|resize W H\n");
  return 2;
}
