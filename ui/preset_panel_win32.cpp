// The preset panel: the delivered and the user's presets, loading on
// selection, folders, Save (with the name question) and Delete.
#include <algorithm>
#include <string>

#include "ui/dialog_resources.h"
#include "ui/dialog_win32.h"

namespace rf::ui {

using presets::Library;

namespace {

int32_t ListId(Library library) { return library == Library::Basic ? RF_ID_BASIC_LIST : RF_ID_USER_LIST; }

void Move(HWND control, const Rect& r) {
  if (control) MoveWindow(control, r.x, r.y, r.width, r.height, TRUE);
}

}  // namespace

bool PresetPanelWindow::Create(HWND parent) {
  window_ = CreateDialogParamA(dialog_.Instance(), MAKEINTRESOURCEA(RF_IDD_PRESETS), parent, Proc,
                               reinterpret_cast<LPARAM>(this));
  if (!window_) return false;
  RECT r = {};
  GetWindowRect(window_, &r);
  templateSize_ = {r.right - r.left, r.bottom - r.top};
  folder_ = LoadBitmapA(dialog_.Instance(), MAKEINTRESOURCEA(RF_IDB_FOLDER));
  folderUp_ = LoadBitmapA(dialog_.Instance(), MAKEINTRESOURCEA(RF_IDB_FOLDER_UP));
  const DialogFonts& fonts = dialog_.Fonts();
  for (HWND c = GetWindow(window_, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
    SendMessageA(c, WM_SETFONT, reinterpret_cast<WPARAM>(fonts.normal), FALSE);
  for (int32_t id : {RF_ID_BASIC_TITLE, RF_ID_USER_TITLE})
    SendDlgItemMessageA(window_, id, WM_SETFONT, reinterpret_cast<WPARAM>(fonts.caption), FALSE);
  const int32_t itemHeight = std::max(FontHeight(13, dialog_.Density()) + 5, Scaled(17, dialog_.Density()));
  for (Library library : {Library::Basic, Library::User}) {
    HWND list = GetDlgItem(window_, ListId(library));
    SendMessageA(list, WM_SETFONT, reinterpret_cast<WPARAM>(fonts.list), FALSE);
    SendMessageA(list, LB_SETITEMHEIGHT, 0, itemHeight);
    Fill(library);
  }
  controls::AttachTip(GetDlgItem(window_, RF_ID_SAVE), "Save the current values as a preset of your own");
  controls::AttachTip(GetDlgItem(window_, RF_ID_DELETE), "Delete the chosen preset of your own");
  UpdateDelete();
  ShowWindow(window_, SW_SHOW);
  return true;
}

void PresetPanelWindow::Layout() {
  RECT r = {};
  GetClientRect(window_, &r);
  const PresetPanelLayout l = LayoutPresetPanel({r.right, r.bottom}, dialog_.Density());
  Move(GetDlgItem(window_, RF_ID_BASIC_TITLE), l.basicTitle);
  Move(GetDlgItem(window_, RF_ID_BASIC_PATH), l.basicPath);
  Move(GetDlgItem(window_, RF_ID_BASIC_LIST), l.basicList);
  Move(GetDlgItem(window_, RF_ID_USER_TITLE), l.userTitle);
  Move(GetDlgItem(window_, RF_ID_USER_PATH), l.userPath);
  Move(GetDlgItem(window_, RF_ID_USER_LIST), l.userList);
  Move(GetDlgItem(window_, RF_ID_SAVE), l.save);
  Move(GetDlgItem(window_, RF_ID_DELETE), l.remove);
}

void PresetPanelWindow::Fill(Library library) {
  HWND list = GetDlgItem(window_, ListId(library));
  SendMessageA(list, WM_SETREDRAW, FALSE, 0);
  SendMessageA(list, LB_RESETCONTENT, 0, 0);
  for (const std::string& entry : panel_.Entries(library))
    SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.c_str()));
  const int selection = panel_.Selection(library);
  SendMessageA(list, LB_SETCURSEL, WPARAM(selection), 0);
  SendMessageA(list, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list, nullptr, TRUE);
  // Where in the library the list is: nothing at its top.
  const std::string& sub = dialog_.Host().Presets().Subfolder(library);
  SetDlgItemTextA(window_, library == Library::Basic ? RF_ID_BASIC_PATH : RF_ID_USER_PATH, sub.c_str());
}

void PresetPanelWindow::UpdateDelete() { EnableWindow(GetDlgItem(window_, RF_ID_DELETE), panel_.DeleteEnabled()); }

void PresetPanelWindow::Selected(Library library) {
  HWND list = GetDlgItem(window_, ListId(library));
  const int index = int(SendMessageA(list, LB_GETCURSEL, 0, 0));
  // One preset is chosen at a time, in either list.
  const Library other = library == Library::Basic ? Library::User : Library::Basic;
  SendDlgItemMessageA(window_, ListId(other), LB_SETCURSEL, WPARAM(-1), 0);
  HWND main = dialog_.Window();
  EnableWindow(main, FALSE);
  const presets::SelectOutcome outcome = panel_.Select(library, index, dialog_.Record());
  EnableWindow(main, TRUE);
  SetFocus(list);
  switch (outcome) {
    case presets::SelectOutcome::DefaultApplied:
    case presets::SelectOutcome::Loaded:
      dialog_.RefreshFromRecord();
      break;
    case presets::SelectOutcome::LoadFailed:
      // Gone or damaged since it was listed: the list shows what is there now.
      MessageBeep(MB_ICONWARNING);
      panel_.Refresh(library);
      Fill(library);
      break;
    default:
      break;
  }
  UpdateDelete();
}

void PresetPanelWindow::Opened(Library library) {
  const int index = int(SendDlgItemMessageA(window_, ListId(library), LB_GETCURSEL, 0, 0));
  if (panel_.Open(library, index)) Fill(library);
  UpdateDelete();
}

void PresetPanelWindow::Save() {
  HWND main = dialog_.Window();
  presets::PresetPanel::SaveQuestions questions;
  questions.askName = [this, main](std::string& name) {
    return AskPresetName(main, dialog_.Instance(), dialog_.Background(), name);
  };
  questions.confirmOverwrite = [main](const std::string&) {
    const int answer = MessageBoxA(main, presets::kOverwriteQuestion, presets::kOverwriteTitle,
                                   MB_YESNOCANCEL | MB_ICONWARNING);
    return answer == IDYES ? presets::OverwriteAnswer::Yes
                           : answer == IDNO ? presets::OverwriteAnswer::No : presets::OverwriteAnswer::Cancel;
  };
  questions.refuseName = [main](const std::string& problem) {
    MessageBoxA(main, problem.c_str(), presets::kSaveErrorTitle, MB_OK | MB_ICONERROR);
  };
  const presets::SaveOutcome outcome = panel_.Save(dialog_.Record(), questions);
  if (outcome == presets::SaveOutcome::Failed)
    MessageBoxA(main, presets::kSaveErrorText, presets::kSaveErrorTitle, MB_OK | MB_ICONERROR);
  Fill(Library::User);
  UpdateDelete();
}

void PresetPanelWindow::Delete() {
  const presets::DeleteOutcome outcome = panel_.DeleteSelected();
  if (outcome == presets::DeleteOutcome::Failed) MessageBeep(MB_ICONWARNING);
  Fill(Library::User);
  UpdateDelete();
}

void PresetPanelWindow::DrawItem(const DRAWITEMSTRUCT& item) {
  if (item.itemID == UINT(-1)) return;
  HDC dc = item.hDC;
  RECT r = item.rcItem;
  const bool selected = (item.itemState & ODS_SELECTED) != 0;
  HBRUSH fill = CreateSolidBrush(selected ? RGB(0x3A, 0x7B, 0xC8) : RGB(0xFF, 0xFF, 0xFF));
  FillRect(dc, &r, fill);
  DeleteObject(fill);
  char text[300] = {};
  if (SendMessageA(item.hwndItem, LB_GETTEXTLEN, item.itemID, 0) < LRESULT(sizeof text))
    SendMessageA(item.hwndItem, LB_GETTEXT, item.itemID, reinterpret_cast<LPARAM>(text));
  std::string entry = text;
  int32_t x = r.left + 4;
  if (presets::IsFolderEntry(entry)) {
    entry = presets::FolderEntryName(entry);
    HBITMAP picture = entry == presets::kParentFolder ? folderUp_ : folder_;
    if (picture) {
      HDC memory = CreateCompatibleDC(dc);
      HGDIOBJ old = SelectObject(memory, picture);
      // The picture's white is the list's own ground.
      GdiTransparentBlt(dc, x, r.top + (r.bottom - r.top - 14) / 2, 16, 14, memory, 0, 0, 16, 14,
                        RGB(0xFF, 0xFF, 0xFF));
      SelectObject(memory, old);
      DeleteDC(memory);
    }
    x += 20;
  }
  HGDIOBJ oldFont = SelectObject(dc, dialog_.Fonts().list);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, selected ? RGB(0xFF, 0xFF, 0xFF) : RGB(0x1E, 0x22, 0x28));
  RECT t = {x, r.top, r.right - 2, r.bottom};
  DrawTextA(dc, entry.c_str(), -1, &t, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS);
  SelectObject(dc, oldFont);
  if (item.itemState & ODS_FOCUS) DrawFocusRect(dc, &r);
}

INT_PTR CALLBACK PresetPanelWindow::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return RouteDialogMessage<PresetPanelWindow>(window, message, wParam, lParam);
}

INT_PTR PresetPanelWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      return FALSE;
    case WM_COMMAND: {
      const int32_t id = LOWORD(wParam), code = HIWORD(wParam);
      const Library library = id == RF_ID_BASIC_LIST ? Library::Basic : Library::User;
      if ((id == RF_ID_BASIC_LIST || id == RF_ID_USER_LIST) && code == LBN_SELCHANGE) Selected(library);
      if ((id == RF_ID_BASIC_LIST || id == RF_ID_USER_LIST) && code == LBN_DBLCLK) Opened(library);
      if (id == RF_ID_SAVE && code == BN_CLICKED) Save();
      if (id == RF_ID_DELETE && code == BN_CLICKED) Delete();
      return TRUE;
    }
    case WM_DRAWITEM:
      if (lParam) DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
      return TRUE;
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      return MainDialog::ControlColour(reinterpret_cast<HDC>(wParam), dialog_.Background());
    case WM_DESTROY:
      for (HBITMAP* b : {&folder_, &folderUp_}) {
        if (*b) DeleteObject(*b);
        *b = nullptr;
      }
      return FALSE;
  }
  return FALSE;
}

// ---- The name question -------------------------------------------------------------------------

namespace {

struct NameQuestion {
  std::string* name;
  HBRUSH background;
};

INT_PTR CALLBACK NameProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam) {
  const auto* question = reinterpret_cast<const NameQuestion*>(GetWindowLongPtrA(box, GWLP_USERDATA));
  switch (message) {
    case WM_INITDIALOG:
      SetWindowLongPtrA(box, GWLP_USERDATA, lParam);
      SendDlgItemMessageA(box, RF_ID_PRESET_NAME, EM_LIMITTEXT, 255, 0);
      SetFocus(GetDlgItem(box, RF_ID_PRESET_NAME));
      return FALSE;
    case WM_COMMAND: {
      const int32_t id = LOWORD(wParam);
      if (id == RF_ID_PRESET_NAME && HIWORD(wParam) == EN_CHANGE)
        EnableWindow(GetDlgItem(box, IDOK), GetWindowTextLengthA(GetDlgItem(box, RF_ID_PRESET_NAME)) > 0);
      if (id == IDOK) {
        // Enter reaches here even while OK is grey: an empty name is no answer.
        if (GetWindowTextLengthA(GetDlgItem(box, RF_ID_PRESET_NAME)) == 0) return TRUE;
        char text[256] = {};
        GetDlgItemTextA(box, RF_ID_PRESET_NAME, text, sizeof text);
        if (question) *question->name = text;
        EndDialog(box, IDOK);
      }
      if (id == IDCANCEL) EndDialog(box, IDCANCEL);
      return TRUE;
    }
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
      return question ? MainDialog::ControlColour(reinterpret_cast<HDC>(wParam), question->background) : FALSE;
  }
  return FALSE;
}

}  // namespace

bool AskPresetName(HWND owner, HINSTANCE instance, HBRUSH background, std::string& name) {
  name.clear();
  NameQuestion question{&name, background};
  return DialogBoxParamA(instance, MAKEINTRESOURCEA(RF_IDD_PRESET_NAME), owner, NameProc,
                         reinterpret_cast<LPARAM>(&question)) == IDOK;
}

}  // namespace rf::ui
