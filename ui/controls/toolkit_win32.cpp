// The routing frame: class registration, one object per window, message
// routing, object lookup; and what every control shares (tips, density,
// off-screen surfaces, the edit boxes).
#include "ui/controls/toolkit_win32.h"

#include <commctrl.h>

#include <cstring>
#include <new>

namespace rf::controls {

namespace {

HINSTANCE g_instance = nullptr;
HBRUSH g_background = nullptr;
Pixel g_backgroundPixel = 0xE8E8E8;
int32_t g_density = 0;
HostColourPicker g_hostPicker = nullptr;
void* g_hostPickerContext = nullptr;

// A creation parameter that hands a window its object. The marker tells it
// apart from the creation data a dialog template may pass.
constexpr uint32_t kCreateMarker = 0x52464354;  // "RFCT"
struct CreateWith {
  uint32_t marker;
  TContaner* object;
  bool adopted;
};

template <typename T>
TContaner* Make() {
  return new (std::nothrow) T();
}

struct ClassEntry {
  const char* name;
  TContaner* (*make)();
  bool focusOnPress;  // buttons and containers take the focus on a press
};

const ClassEntry kClasses[] = {
    {kSpinEditClass, Make<TSpinEdit>, false},
    {kSpinEditHorClass, Make<TSpinEdit>, false},
    {kMacSliderClass, Make<TMacSlider>, false},
    {kContanerColorClass, Make<TContanerColor>, true},
    {kRotorClass, Make<TRotor>, false},
    {kPreviewContanerClass, Make<TPreviewContaner>, false},
    {kControlClass, Make<TPanelContaner>, true},
    {kControlButtonClass, Make<TControlButton>, true},
    {kControlButtonFireClass, Make<TControlButtonFire>, true},
    {kGlassSliderClass, Make<TGlassSlider>, true},
    {kControlGlassClass, Make<TPanelContaner>, true},
    {kContanerClass, Make<TPanelContaner>, true},
    {kContanerAnimClass, Make<TPanelContaner>, true},
    {kContaner1Class, Make<TPanelContaner>, true},
    {kColorEqualizerClass, Make<TPanelContaner>, true},
    {kContainerLinkClass, Make<TPanelContaner>, true},
    {kMacStyleBtnClass, Make<TMacStyleBtn>, true},
};

const ClassEntry* EntryOf(HWND window) {
  char name[64] = {};
  if (!GetClassNameA(window, name, sizeof name)) return nullptr;
  for (const ClassEntry& e : kClasses)
    if (lstrcmpiA(name, e.name) == 0) return &e;
  return nullptr;
}

LRESULT CALLBACK RoutedProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// A window of one of our classes. The class's procedure is asked, not the
// window's: a tool tip subclasses the window it explains.
bool IsToolkitWindow(HWND window) {
  return GetClassLongPtrA(window, GCLP_WNDPROC) == reinterpret_cast<ULONG_PTR>(RoutedProc);
}

TContaner* ObjectOf(HWND window) { return reinterpret_cast<TContaner*>(GetWindowLongPtrA(window, GWLP_USERDATA)); }

LRESULT CALLBACK RoutedProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  try {
    if (message == WM_CREATE) {
      const ClassEntry* entry = EntryOf(window);
      const auto* cs = reinterpret_cast<const CREATESTRUCTA*>(lParam);
      auto* with = cs ? static_cast<CreateWith*>(cs->lpCreateParams) : nullptr;
      TContaner* object = nullptr;
      if (with && with->marker == kCreateMarker) {
        object = with->object;
        with->adopted = true;
      }
      if (!object && entry) object = entry->make();
      if (!object) return -1;
      object->window = window;
      object->id = GetDlgCtrlID(window);
      RECT r = {};
      GetClientRect(window, &r);
      object->width = r.right - r.left;
      object->height = r.bottom - r.top;
      object->enabled = IsWindowEnabled(window) != FALSE;
      SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(object));
      return object->Handle(window, message, wParam, lParam);
    }
    TContaner* object = ObjectOf(window);
    if (message == WM_NCDESTROY) {
      SetWindowLongPtrA(window, GWLP_USERDATA, 0);
      delete object;
      return DefWindowProcA(window, message, wParam, lParam);
    }
    if (!object) return DefWindowProcA(window, message, wParam, lParam);
    if (message == WM_LBUTTONDOWN) {
      const ClassEntry* entry = EntryOf(window);
      if (entry && entry->focusOnPress && GetFocus() != window) SetFocus(window);
    }
    return object->Handle(window, message, wParam, lParam);
  } catch (...) {
    // Nothing may unwind through the system's message dispatch; a control
    // that ran out of memory simply does not act on this message.
    return DefWindowProcA(window, message, wParam, lParam);
  }
}

}  // namespace

// ---- Registration -------------------------------------------------------------

int32_t ReadScreenDensity() {
  HDC screen = GetDC(nullptr);
  const int32_t dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen) ReleaseDC(nullptr, screen);
  return dpi > 0 ? dpi : 96;
}

void SetScreenDensity(int32_t dotsPerInch) { g_density = dotsPerInch > 0 ? dotsPerInch : 96; }
int32_t ScreenDensity() { return g_density > 0 ? g_density : 96; }

void SetHostColourPicker(HostColourPicker picker, void* context) {
  g_hostPicker = picker;
  g_hostPickerContext = context;
}

bool RegisterControlClasses(HINSTANCE instance, HBRUSH background) {
  INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_UPDOWN_CLASS | ICC_BAR_CLASSES | ICC_WIN95_CLASSES};
  InitCommonControlsEx(&icc);
  if (g_density <= 0) g_density = ReadScreenDensity();
  g_instance = instance;
  g_background = background;
  LOGBRUSH lb = {};
  if (background && GetObjectA(background, sizeof lb, &lb) == sizeof lb && lb.lbStyle == BS_SOLID)
    g_backgroundPixel = FromColorRef(lb.lbColor);
  size_t done = 0;
  for (const ClassEntry& e : kClasses) {
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = RoutedProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = background;
    wc.lpszClassName = e.name;
    if (!RegisterClassExA(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
      for (size_t i = 0; i < done; ++i) UnregisterClassA(kClasses[i].name, instance);
      return false;
    }
    ++done;
  }
  return true;
}

void UnregisterControlClasses(HINSTANCE instance) {
  for (const ClassEntry& e : kClasses) UnregisterClassA(e.name, instance);
}

TContaner* FindControl(HWND window, const char* className) {
  if (!window || !className || !IsWindow(window)) return nullptr;
  char name[64] = {};
  if (!GetClassNameA(window, name, sizeof name) || lstrcmpiA(name, className) != 0) return nullptr;
  if (!IsToolkitWindow(window)) return nullptr;
  return ObjectOf(window);
}

// ---- The common head ----------------------------------------------------------------

TContaner::~TContaner() {
  if (tip && IsWindow(tip)) DestroyWindow(tip);
}

LRESULT TContaner::Handle(HWND w, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_SIZE:
      width = LOWORD(lParam);
      height = HIWORD(lParam);
      break;
    case WM_ENABLE:
      enabled = wParam != 0;
      InvalidateRect(w, nullptr, FALSE);
      break;
  }
  return DefWindowProcA(w, message, wParam, lParam);
}

void TContaner::Notify(WORD code, LPARAM lParam) const {
  SendMessageA(GetParent(window), WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), code), lParam);
}

void TContaner::Redraw(bool now) const {
  InvalidateRect(window, nullptr, FALSE);
  if (now) UpdateWindow(window);
}

// ---- Tool tips ---------------------------------------------------------------------

void AttachTip(HWND window, const char* text, const char* title) {
  if (!window || !text || !*text) return;
  TContaner* object =
      IsToolkitWindow(window) ? ObjectOf(window) : nullptr;
  HWND tip = object ? object->tip : nullptr;
  if (!tip || !IsWindow(tip)) {
    tip = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, TOOLTIPS_CLASSA, nullptr,
                          WS_POPUP | TTS_NOPREFIX | TTS_BALLOON | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                          CW_USEDEFAULT, CW_USEDEFAULT, window, nullptr, win32::ToolkitInstance(), nullptr);
    if (!tip) return;
    SendMessageA(tip, TTM_SETMAXTIPWIDTH, 0, 100);
    if (object) object->tip = tip;
  }
  // The control and its children (a field's edit box and slider cover it)
  // all show the same tip.
  auto add = [&](HWND tool) {
    TTTOOLINFOA ti = {};
    ti.cbSize = TTTOOLINFOA_V2_SIZE;
    ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS | TTF_TRANSPARENT | TTF_CENTERTIP;
    ti.hwnd = window;
    ti.uId = reinterpret_cast<UINT_PTR>(tool);
    ti.lpszText = const_cast<char*>(text);
    TTTOOLINFOA known = ti;
    known.lpszText = nullptr;
    if (SendMessageA(tip, TTM_GETTOOLINFOA, 0, reinterpret_cast<LPARAM>(&known)))
      SendMessageA(tip, TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&ti));
    else
      SendMessageA(tip, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&ti));
  };
  add(window);
  for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) add(child);
  if (title && *title) SendMessageA(tip, TTM_SETTITLEA, TTI_INFO, reinterpret_cast<LPARAM>(title));
}

namespace win32 {

HBRUSH BackgroundBrush() { return g_background ? g_background : GetSysColorBrush(COLOR_BTNFACE); }
Pixel BackgroundPixel() { return g_backgroundPixel; }
HINSTANCE ToolkitInstance() { return g_instance ? g_instance : GetModuleHandleA(nullptr); }

HFONT DialogFont(HWND window) {
  HWND parent = window ? GetParent(window) : nullptr;
  HFONT font = parent ? reinterpret_cast<HFONT>(SendMessageA(parent, WM_GETFONT, 0, 0)) : nullptr;
  return font ? font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

uint32_t Now() { return GetTickCount(); }

Surface::Surface(HDC target, int32_t w, int32_t h) : w_(w), h_(h) {
  if (w < 1 || h < 1) return;
  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = -h;  // top row first, as the canvas
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  dc_ = CreateCompatibleDC(target);
  bitmap_ = dc_ ? CreateDIBSection(target, &bi, DIB_RGB_COLORS, &bits_, nullptr, 0) : nullptr;
  if (!bitmap_) {
    bits_ = nullptr;
    return;
  }
  old_ = SelectObject(dc_, bitmap_);
}

Surface::~Surface() {
  if (dc_ && old_) SelectObject(dc_, old_);
  if (bitmap_) DeleteObject(bitmap_);
  if (dc_) DeleteDC(dc_);
}

void Surface::Load(const Canvas& canvas) {
  if (!bits_ || canvas.Width() != w_ || canvas.Height() != h_) return;
  GdiFlush();
  std::memcpy(bits_, canvas.Data(), static_cast<size_t>(w_) * static_cast<size_t>(h_) * sizeof(Pixel));
}

void Surface::Present(HDC target) const {
  if (bits_) BitBlt(target, 0, 0, w_, h_, dc_, 0, 0, SRCCOPY);
}

void PresentCanvas(HDC dc, const Canvas& canvas, const char* text, const RECT* textRect, HFONT font,
                   COLORREF textColour) {
  if (canvas.Empty()) return;
  Surface s(dc, canvas.Width(), canvas.Height());
  if (!s.Ok()) return;
  s.Load(canvas);
  if (text && *text && textRect) {
    HGDIOBJ oldFont = font ? SelectObject(s.Dc(), font) : nullptr;
    SetBkMode(s.Dc(), TRANSPARENT);
    SetTextColor(s.Dc(), textColour);
    RECT r = *textRect;
    DrawTextA(s.Dc(), text, -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    if (oldFont) SelectObject(s.Dc(), oldFont);
  }
  s.Present(dc);
}

namespace {

LRESULT CALLBACK EditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
  switch (message) {
    case WM_GETDLGCODE: {
      const MSG* msg = reinterpret_cast<const MSG*>(lParam);
      if (msg && msg->message == WM_KEYDOWN && msg->wParam == VK_RETURN)
        return DLGC_WANTALLKEYS | DefSubclassProc(edit, message, wParam, lParam);
      break;
    }
    case WM_KEYDOWN:
      if (wParam == VK_RETURN) {
        // Enter ends the typing: the focus moves on, and losing it commits.
        // Where there is nothing to move to, the commit is asked for directly.
        HWND root = GetAncestor(edit, GA_ROOT);
        HWND next = root ? GetNextDlgTabItem(root, edit, FALSE) : nullptr;
        if (next && next != edit) {
          char name[16] = {};
          GetClassNameA(root, name, sizeof name);
          if (lstrcmpA(name, "#32770") == 0)
            SendMessageA(root, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(next), TRUE);
          else
            SetFocus(next);
        } else {
          SendMessageA(GetParent(edit), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(edit), kEditEnterCode),
                       reinterpret_cast<LPARAM>(edit));
        }
        return 0;
      }
      break;
    case WM_CHAR:
      if (wParam == '\r') return 0;  // no beep for the Enter handled above
      break;
    case WM_SETFONT: {
      // A new font brings the system's margins back; narrow boxes
      // ("Spin Edit CPP Hor") need every pixel for the digits.
      const LRESULT r = DefSubclassProc(edit, message, wParam, lParam);
      SendMessageA(edit, EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELPARAM(1, 1));
      return r;
    }
    case WM_NCDESTROY:
      RemoveWindowSubclass(edit, EditProc, 1);
      break;
  }
  return DefSubclassProc(edit, message, wParam, lParam);
}

}  // namespace

HWND CreateToolkitEdit(HWND parent, int32_t id, DWORD extraStyle, DWORD exStyle) {
  HWND edit = CreateWindowExA(exStyle, "EDIT", "", WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL | extraStyle, 0,
                              0, 0, 0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ToolkitInstance(),
                              nullptr);
  if (!edit) return nullptr;
  SetWindowSubclass(edit, EditProc, 1, 0);
  SendMessageA(edit, WM_SETFONT, reinterpret_cast<WPARAM>(DialogFont(edit)), FALSE);
  SendMessageA(edit, EM_LIMITTEXT, 64, 0);
  return edit;
}

}  // namespace win32

namespace win32 {
HWND CreateWithObject(TContaner* object, const char* className, DWORD style, const Rect& r, HWND parent, int32_t id) {
  CreateWith with = {kCreateMarker, object, false};
  HWND w = CreateWindowExA(0, className, "", style, r.x, r.y, r.width, r.height, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ToolkitInstance(), &with);
  // A window that adopted the object frees it at WM_NCDESTROY, even when
  // its creation failed later on.
  if (!w && !with.adopted) delete object;
  return w;
}
}  // namespace win32

}  // namespace rf::controls

namespace rf::controls::win32 {
void HostColourPickerOf(HostColourPicker& picker, void*& context) {
  picker = g_hostPicker;
  context = g_hostPickerContext;
}
}  // namespace rf::controls::win32
