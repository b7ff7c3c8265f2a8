// Rimeflower: the dialog's windows (Windows only; shared by the Win32 files
// of ui/, not a public header).
//
// One MainDialog object lives for one run of the dialog; the window
// procedures find it (and the pages theirs) through the window's user data.
// Everything the dialog decides without a window lives in dialog_model.h,
// dialog_layout.h and preview_zoom.h; these classes turn messages into those
// calls, and reach the host only through the DialogHost they were given.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "presets/preset_library.h"
#include "ui/controls/controls_win32.h"
#include "ui/dialog_host.h"
#include "ui/dialog_layout.h"
#include "ui/dialog_model.h"
#include "ui/main_dialog.h"
#include "ui/preview_zoom.h"

namespace rf::ui {

class MainDialog;

// The dialog procedure of a window whose object came as the creation
// parameter: WM_INITDIALOG keeps the object in the window's user data, and
// every message it sees goes to the object's Handle. Nothing may unwind into
// the system's dialog manager or the host: an exception answers "not
// handled". Owner names this function its friend.
template <class Owner>
INT_PTR RouteDialogMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Owner* self = nullptr;
  if (message == WM_INITDIALOG) {
    self = reinterpret_cast<Owner*>(lParam);
    SetWindowLongPtrA(window, GWLP_USERDATA, lParam);
    self->window_ = window;
  } else {
    self = reinterpret_cast<Owner*>(GetWindowLongPtrA(window, GWLP_USERDATA));
  }
  if (!self) return FALSE;
  try {
    return self->Handle(message, wParam, lParam);
  } catch (...) {
    return FALSE;
  }
}

// The fonts of the dialog, Arial at heights that follow the density.
struct DialogFonts {
  HFONT caption = nullptr;  // 13 pixels bold: field captions and group titles
  HFONT tab = nullptr;      // 14 pixels bold: the tabs
  HFONT normal = nullptr;   // 12 pixels: everything else
  HFONT list = nullptr;     // 13 pixels: the preset lists
  void Create(int32_t density);
  void Release();
};

// A page under its tab, created from its template the first time the tab
// is chosen.
class PageWindow {
 public:
  PageWindow(MainDialog& dialog, DialogPage which) : dialog_(dialog), which_(which) {}
  bool Create(HWND parent);
  HWND Window() const { return window_; }
  DialogPage Which() const { return which_; }
  // Every control from the record (a preset was applied).
  void Refresh();
  // The Geometry page's enabling rules; the crosshair is the dialog's.
  void ApplyEnabling();
  // The centre the preview placed: the pad and the X and Y fields.
  void ShowCentre(float x, float y);
  controls::TSpinEdit* CentreXField() const { return centreX_; }
  controls::TSpinEdit* CentreYField() const { return centreY_; }

 private:
  static INT_PTR CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  template <class Owner>
  friend INT_PTR RouteDialogMessage(HWND, UINT, WPARAM, LPARAM);
  INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam);
  void Setup();
  void SetupGeometry();
  void SetupMaterial();
  void Command(int32_t id, int32_t code, LPARAM lParam);
  controls::TContanerColor* Swatch(int32_t id) const;

  MainDialog& dialog_;
  DialogPage which_;
  HWND window_ = nullptr;
  controls::TSpinEdit* fields_[kFieldCount] = {};
  controls::TSpinEdit* centreX_ = nullptr;
  controls::TSpinEdit* centreY_ = nullptr;
  controls::TRotor* position_ = nullptr;
  controls::TRotor* rotate_ = nullptr;
  controls::TRotor* light_ = nullptr;
  bool refreshing_ = false;  // controls being filled: their notifications are echoes
};

// The preset panel (template 143) over presets::PresetPanel.
class PresetPanelWindow {
 public:
  PresetPanelWindow(MainDialog& dialog, presets::PresetLibraries& libraries)
      : dialog_(dialog), panel_(libraries) {}
  bool Create(HWND parent);
  HWND Window() const { return window_; }
  Size TemplateSize() const { return templateSize_; }
  void Layout();

 private:
  static INT_PTR CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  template <class Owner>
  friend INT_PTR RouteDialogMessage(HWND, UINT, WPARAM, LPARAM);
  INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam);
  void Fill(presets::Library library);
  void Selected(presets::Library library);
  void Opened(presets::Library library);
  void Save();
  void Delete();
  void UpdateDelete();
  void DrawItem(const DRAWITEMSTRUCT& item);

  MainDialog& dialog_;
  presets::PresetPanel panel_;
  HWND window_ = nullptr;
  Size templateSize_;
  HBITMAP folder_ = nullptr, folderUp_ = nullptr;
};

// Asks for a preset's name (template 147); false when the user cancels.
bool AskPresetName(HWND owner, HINSTANCE instance, HBRUSH background, std::string& name);

class MainDialog {
 public:
  MainDialog(DialogHost& host, HINSTANCE instance);
  ~MainDialog();
  MainDialog(const MainDialog&) = delete;
  MainDialog& operator=(const MainDialog&) = delete;

  DialogResult Run();

  // ---- For the pages and the panel ------------------------------------------------
  DialogHost& Host() { return host_; }
  ParameterRecord& Record() { return host_.Record(); }
  HINSTANCE Instance() const { return instance_; }
  HWND Window() const { return window_; }
  int32_t Density() const { return density_; }
  const DialogFonts& Fonts() const { return fonts_; }
  HBRUSH Background() const { return background_; }
  const DocumentInfo& Document() const { return document_; }
  // A control wrote the record: the rules are applied again where they
  // depend on it and the preview is rendered at once.
  void Changed(int32_t id);
  // Every control from the record, then a render (a preset was applied).
  void RefreshFromRecord();
  // Shows the effect centre in the preview (the position control moved).
  void CentreMoved();
  // Enables or disables the preview's crosshair (single family).
  void SetCrosshair(bool on);
  PageWindow* Geometry() { return geometry_.get(); }

  // The background of static controls and buttons on the dialog's grey.
  static LRESULT ControlColour(HDC dc, HBRUSH background);
  // The dialog procedure (exported as DissolveProc).
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

 private:
  template <class Owner>
  friend INT_PTR RouteDialogMessage(HWND, UINT, WPARAM, LPARAM);
  INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam);
  bool Init();
  void Destroy();
  void Layout();
  void SelectTab(int index);
  void BuildOverview();
  void Render(bool reloadSource);
  void ShowZoom();
  void Zoomed(bool changed);
  void PanEnded();
  void FrameMoved();
  void Command(int32_t id, int32_t code, HWND control);
  void OnHotKey(int32_t id);
  void OpenHelp(const char* page);
  void OpenInShell(const std::string& target);
  void EndShellThread();
  void DrawOwnerItem(const DRAWITEMSTRUCT& item);
  LRESULT Query(WPARAM what);
  static void Progress(void* context, int32_t done, int32_t total);
  static void CentreSetter(void* context, float x, float y);
  static void PreviewRefresh(void* context);
  static DWORD WINAPI ShellThread(void* parameter);

  DialogHost& host_;
  HINSTANCE instance_;
  HWND window_ = nullptr;
  int32_t density_ = 96;
  HBRUSH background_ = nullptr;
  HCURSOR panCursor_ = nullptr;
  DialogFonts fonts_;
  HBITMAP header_ = nullptr, headerSide_ = nullptr, tabOn_ = nullptr, tabOff_ = nullptr, product_ = nullptr;
  DocumentInfo document_;
  std::unique_ptr<PageWindow> geometry_, material_;
  std::unique_ptr<PresetPanelWindow> presets_;
  int currentTab_ = 0;
  controls::TPreviewContaner* preview_ = nullptr;
  controls::TPreviewContaner* overview_ = nullptr;
  controls::PreviewShared shared_;
  PreviewZoom zoom_;
  PreviewPicture picture_;  // the last render, view-sized
  double overviewFactor_ = 0.0;
  Size overviewImage_;
  int32_t renders_ = 0;
  UINT queryMessage_ = 0;
  bool placed_ = false;  // the window has been put where the record says
  bool inSizeMove_ = false;
  bool hotKeys_[6] = {};
  // The worker that hands a page to the shell.
  HANDLE shellThread_ = nullptr;
  volatile LONG shellBusy_ = 0;
  std::string shellTarget_;
  intptr_t shellOwner_ = 0;
};

// A registered message the Windows tests send the dialog to read its state
// (see MainDialog::Query); its name and the questions it answers.
constexpr const char* kQueryMessageName = "Rimeflower dialog query";
enum QueryWhat : int32_t {
  kQueryPreviewCheck = 1,  // renders afresh and compares: 1 same, 2 different, 0 failed
  kQueryScale = 2,
  kQueryOffsetX = 3,
  kQueryOffsetY = 4,
  kQueryRenders = 5,
  kQueryCrosshair = 6,
};

}  // namespace rf::ui
