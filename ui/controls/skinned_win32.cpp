// The skinned buttons, the rounded push buttons and the panels: drawn by the
// toolkit itself, light faces with soft gradients that sit on the dialog's
// light grey.
#include <algorithm>
#include <cmath>
#include <string>

#include "ui/controls/toolkit_win32.h"

namespace rf::controls {

namespace {

constexpr Pixel kAccent = 0x3A7BC8;
constexpr UINT_PTR kGlowTimerId = 7;
constexpr UINT kGlowTickMs = 50;

std::string WindowText(HWND w) {
  char text[256] = {};
  GetWindowTextA(w, text, sizeof text);
  return text;
}

bool Inside(HWND w, LPARAM lParam) {
  RECT r = {};
  GetClientRect(w, &r);
  const POINT p = {win32::MouseX(lParam), win32::MouseY(lParam)};
  return PtInRect(&r, p) != FALSE;
}

void TrackLeave(HWND w) {
  TRACKMOUSEEVENT t = {sizeof t, TME_LEAVE, w, 0};
  TrackMouseEvent(&t);
}

void PaintFace(HDC dc, HWND w, int32_t width, int32_t height, const Canvas& c, bool enabled, COLORREF text) {
  RECT r = {0, 0, width, height};
  const std::string caption = WindowText(w);
  win32::PresentCanvas(dc, c, caption.c_str(), &r, win32::DialogFont(w), enabled ? text : RGB(0xA0, 0xA0, 0xA0));
}

}  // namespace

// ---- Panels ---------------------------------------------------------------------

LRESULT TControl::Handle(HWND w, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(w, &ps);
      Paint(dc);
      EndPaint(w, &ps);
      return 0;
    }
  }
  return TContaner::Handle(w, message, wParam, lParam);
}

void TControl::Paint(HDC dc) {
  Canvas c(width, height, win32::BackgroundPixel());
  c.RoundedBox({0, 0, width, height}, 3.0f, 0xF6F6F6, 0xE2E2E2, 0xC4C4C4);
  win32::PresentCanvas(dc, c);
}

LRESULT TPanelContaner::Handle(HWND w, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE: {
      char name[64] = {};
      GetClassNameA(w, name, sizeof name);
      strip_ = lstrcmpiA(name, kControlClass) == 0 || lstrcmpiA(name, kControlGlassClass) == 0;
      SetWindowLongPtrA(w, GWL_EXSTYLE, GetWindowLongPtrA(w, GWL_EXSTYLE) | WS_EX_CONTROLPARENT);
      return 0;
    }
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(w, &ps);
      Paint(dc);
      EndPaint(w, &ps);
      return 0;
    }
    // Children placed on a panel talk to the page as if the panel were not
    // there.
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_HSCROLL:
    case WM_VSCROLL:
    case WM_DRAWITEM:
    case WM_MEASUREITEM:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
      return SendMessageA(GetParent(w), message, wParam, lParam);
  }
  return TContaner::Handle(w, message, wParam, lParam);
}

void TPanelContaner::Paint(HDC dc) {
  const Pixel back = win32::BackgroundPixel();
  Canvas c(width, height, back);
  if (strip_) {
    c.RoundedBox({0, 0, width, height}, 0.0f, Mix(back, 0xFFFFFF, 0.6f), Mix(back, 0x000000, 0.05f),
                 Mix(back, 0x000000, 0.16f));
  } else {
    // Filled with the background itself: the controls on the panel paint
    // that colour behind them, so any other fill would show their outlines.
    c.RoundedBox({0, 0, width, height}, 5.0f, back, back, Mix(back, 0x000000, 0.18f));
  }
  RECT r = {8, 0, width - 8, std::min<int32_t>(height, 18)};
  const std::string caption = WindowText(window);
  if (caption.empty()) return win32::PresentCanvas(dc, c);
  win32::Surface s(dc, width, height);
  if (!s.Ok()) return;
  s.Load(c);
  HGDIOBJ old = SelectObject(s.Dc(), win32::DialogFont(window));
  SetBkMode(s.Dc(), TRANSPARENT);
  SetTextColor(s.Dc(), RGB(0x50, 0x54, 0x5A));
  DrawTextA(s.Dc(), caption.c_str(), -1, &r, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  SelectObject(s.Dc(), old);
  s.Present(dc);
}

// ---- Skinned push buttons ------------------------------------------------------------

LRESULT TControlButton::Handle(HWND w, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_LBUTTONDOWN:
      pressed_ = inside_ = true;
      SetCapture(w);
      Redraw(true);
      return 0;
    case WM_MOUSEMOVE: {
      const bool in = Inside(w, lParam);
      if (!hover_ && in) TrackLeave(w);
      if (in != hover_ || (pressed_ && in != inside_)) {
        hover_ = in;
        inside_ = in;
        Redraw(false);
      }
      return 0;
    }
    case WM_MOUSELEAVE:
      hover_ = false;
      Redraw(false);
      return 0;
    case WM_LBUTTONUP:
      if (pressed_) {
        pressed_ = false;
        if (GetCapture() == w) ReleaseCapture();
        Redraw(true);
        if (inside_ && enabled) Notify(BN_CLICKED, reinterpret_cast<LPARAM>(w));
      }
      return 0;
    case WM_CAPTURECHANGED:
      if (pressed_ && reinterpret_cast<HWND>(lParam) != w) {
        pressed_ = false;
        Redraw(false);
      }
      return 0;
    case WM_KEYUP:
      if (wParam == VK_SPACE && enabled) Notify(BN_CLICKED, reinterpret_cast<LPARAM>(w));
      return 0;
    case BM_CLICK:
      if (enabled) Notify(BN_CLICKED, reinterpret_cast<LPARAM>(w));
      return 0;
    case WM_GETDLGCODE:
      return DLGC_BUTTON | DLGC_UNDEFPUSHBUTTON;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      Redraw(false);
      return 0;
    case WM_SETTEXT: {
      const LRESULT r = DefWindowProcA(w, message, wParam, lParam);
      Redraw(false);
      return r;
    }
  }
  return TControl::Handle(w, message, wParam, lParam);
}

void TControlButton::Paint(HDC dc) {
  const Pixel back = win32::BackgroundPixel();
  Canvas c(width, height, back);
  const bool down = pressed_ && inside_;
  const Pixel top = down ? 0xD5D9DF : 0xFDFDFD, bottom = down ? 0xE9EBEE : 0xDFE2E7;
  const Pixel outline = enabled ? Mix(0x8E939B, kAccent, Glow()) : 0xBEBEBE;
  c.RoundedBox({0, 0, width, height}, 4.0f, enabled ? top : 0xF0F0F0, enabled ? bottom : 0xE8E8E8, outline);
  if (GetFocus() == window) c.RoundedBox({2, 2, width - 4, height - 4}, 3.0f, top, bottom, Mix(bottom, kAccent, 0.5f));
  PaintFace(dc, window, width, height, c, enabled, RGB(0x1E, 0x22, 0x28));
}

LRESULT TControlButtonFire::Handle(HWND w, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_MOUSEMOVE:
      if (!hover_ && Inside(w, lParam)) SetTimer(w, kGlowTimerId, kGlowTickMs, nullptr);
      break;
    case WM_MOUSELEAVE:
      KillTimer(w, kGlowTimerId);
      phase_ = 0;
      break;
    case WM_TIMER:
      if (wParam == kGlowTimerId) {
        ++phase_;
        Redraw(false);
        return 0;
      }
      break;
  }
  return TControlButton::Handle(w, message, wParam, lParam);
}

float TControlButtonFire::Glow() const {
  if (!hover_) return 0.0f;
  return 0.55f + 0.45f * static_cast<float>(std::sin(static_cast<double>(phase_) * 0.3));
}

// ---- Glass slider ----------------------------------------------------------------------

void TGlassSlider::SetValue(float v) {
  if (!std::isfinite(v)) return;
  value_ = std::clamp(v, 0.0f, 100.0f);
  Redraw(false);
}

LRESULT TGlassSlider::Handle(HWND w, UINT message, WPARAM wParam, LPARAM lParam) {
  auto valueAt = [this](LPARAM l) {
    const int32_t travel = std::max(width - 2 * (height / 2), 1);
    return std::clamp(static_cast<float>(win32::MouseX(l) - height / 2) * 100.0f / static_cast<float>(travel), 0.0f,
                      100.0f);
  };
  switch (message) {
    case WM_LBUTTONDOWN:
      pressed_ = true;
      SetCapture(w);
      value_ = valueAt(lParam);
      Redraw(true);
      SendMessageA(GetParent(w), WM_HSCROLL, MAKEWPARAM(SB_THUMBTRACK, 0), reinterpret_cast<LPARAM>(w));
      return 0;
    case WM_MOUSEMOVE:
      if (pressed_ && (wParam & MK_LBUTTON)) {
        value_ = valueAt(lParam);
        Redraw(true);
        SendMessageA(GetParent(w), WM_HSCROLL, MAKEWPARAM(SB_THUMBTRACK, 0), reinterpret_cast<LPARAM>(w));
        return 0;
      }
      break;
    case WM_LBUTTONUP:
      if (pressed_) {
        pressed_ = false;
        if (GetCapture() == w) ReleaseCapture();
        Redraw(true);
        SendMessageA(GetParent(w), WM_HSCROLL, MAKEWPARAM(SB_ENDSCROLL, 0), reinterpret_cast<LPARAM>(w));
      }
      return 0;
    case WM_KEYUP:
    case BM_CLICK:
      return 0;
  }
  return TControlButtonFire::Handle(w, message, wParam, lParam);
}

void TGlassSlider::Paint(HDC dc) {
  const Pixel back = win32::BackgroundPixel();
  Canvas c(width, height, back);
  const int32_t r = height / 2;
  const int32_t trackH = std::max(height / 3, 4);
  c.RoundedBox({r / 2, (height - trackH) / 2, width - r, trackH}, static_cast<float>(trackH) / 2.0f, 0xBFC9D4,
               0xEEF2F6, enabled ? 0x8A96A4 : 0xC0C0C0);
  const int32_t travel = std::max(width - 2 * r, 1);
  const float cx = static_cast<float>(r) + value_ / 100.0f * static_cast<float>(travel);
  const float cy = static_cast<float>(height) / 2.0f;
  const float radius = static_cast<float>(r) - 1.0f;
  c.Disc(cx, cy, radius, enabled ? Mix(0x5A8FD0, kAccent, Glow()) : 0xB8B8B8);
  c.Disc(cx, cy - radius * 0.35f, radius * 0.55f, Mix(enabled ? 0x5A8FD0 : 0xB8B8B8, 0xFFFFFF, 0.55f));
  c.Ring(cx, cy, radius + 0.5f, 1.0f, enabled ? 0x2C5E9C : 0x9A9A9A);
  win32::PresentCanvas(dc, c);
}

// ---- Rounded push buttons ----------------------------------------------------------------

void TMacStyleBtn::Click() {
  if (enabled) Notify(BN_CLICKED, reinterpret_cast<LPARAM>(window));
}

LRESULT TMacStyleBtn::Handle(HWND w, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      defaultButton_ = (GetWindowLongPtrA(w, GWL_STYLE) & 0x0F) == BS_DEFPUSHBUTTON;
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(w, &ps);
      Paint(dc);
      EndPaint(w, &ps);
      return 0;
    }
    case WM_LBUTTONDOWN:
      pressed_ = inside_ = true;
      SetCapture(w);
      Redraw(true);
      return 0;
    case WM_MOUSEMOVE: {
      const bool in = Inside(w, lParam);
      if (!hover_ && in) TrackLeave(w);
      if (in != hover_ || (pressed_ && in != inside_)) {
        hover_ = in;
        if (pressed_) inside_ = in;
        Redraw(false);
      }
      return 0;
    }
    case WM_MOUSELEAVE:
      hover_ = false;
      Redraw(false);
      return 0;
    case WM_LBUTTONUP:
      if (pressed_) {
        pressed_ = false;
        if (GetCapture() == w) ReleaseCapture();
        Redraw(true);
        if (inside_) Click();
      }
      return 0;
    case WM_CAPTURECHANGED:
      if (pressed_ && reinterpret_cast<HWND>(lParam) != w) {
        pressed_ = false;
        Redraw(false);
      }
      return 0;
    case WM_KEYDOWN:
      if (wParam == VK_SPACE) {
        pressed_ = inside_ = true;
        Redraw(false);
      }
      return 0;
    case WM_KEYUP:
      if (wParam == VK_SPACE && pressed_) {
        pressed_ = false;
        Redraw(false);
        Click();
      }
      return 0;
    case BM_CLICK:
      Click();
      return 0;
    case BM_SETSTYLE:
      // The dialog manager moves the default look between push buttons.
      defaultButton_ = (wParam & 0x0F) == BS_DEFPUSHBUTTON;
      if (lParam) Redraw(false);
      return 0;
    case WM_GETDLGCODE:
      return DLGC_BUTTON | (defaultButton_ ? DLGC_DEFPUSHBUTTON : DLGC_UNDEFPUSHBUTTON);
    case WM_SETFOCUS:
      focused_ = true;
      Redraw(false);
      return 0;
    case WM_KILLFOCUS:
      focused_ = false;
      pressed_ = false;
      Redraw(false);
      return 0;
    case WM_SETTEXT: {
      const LRESULT r = DefWindowProcA(w, message, wParam, lParam);
      Redraw(false);
      return r;
    }
  }
  return TContaner::Handle(w, message, wParam, lParam);
}

void TMacStyleBtn::Paint(HDC dc) {
  const Pixel back = win32::BackgroundPixel();
  Canvas c(width, height, back);
  const float radius = std::min(static_cast<float>(height) / 2.0f, 7.0f);
  const bool down = pressed_ && inside_;
  Pixel top, bottom, outline;
  COLORREF text;
  if (!enabled) {
    top = bottom = 0xF0F0F0;
    outline = 0xC4C4C4;
    text = RGB(0xA8, 0xA8, 0xA8);
  } else if (defaultButton_) {
    top = down ? 0x2D66AE : 0x6AA6E8;
    bottom = down ? 0x4A86CC : 0x2F72C4;
    outline = 0x255A9C;
    text = RGB(0xFF, 0xFF, 0xFF);
  } else {
    top = down ? 0xD3D7DD : (hover_ ? 0xFFFFFF : 0xFBFBFB);
    bottom = down ? 0xE6E8EB : (hover_ ? 0xE8EBEF : 0xE0E2E6);
    outline = hover_ ? 0x7D8A9A : 0x9AA0A8;
    text = RGB(0x1E, 0x22, 0x28);
  }
  c.RoundedBox({0, 0, width, height}, radius, top, bottom, outline);
  RECT r = {0, 0, width, height};
  const std::string caption = WindowText(window);
  win32::Surface s(dc, width, height);
  if (!s.Ok()) return;
  s.Load(c);
  HGDIOBJ old = SelectObject(s.Dc(), win32::DialogFont(window));
  SetBkMode(s.Dc(), TRANSPARENT);
  SetTextColor(s.Dc(), text);
  DrawTextA(s.Dc(), caption.c_str(), -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
  SelectObject(s.Dc(), old);
  if (focused_ && enabled && width > 8 && height > 8) {
    RECT f = {3, 3, width - 3, height - 3};
    SetTextColor(s.Dc(), RGB(0, 0, 0));
    DrawFocusRect(s.Dc(), &f);
  }
  s.Present(dc);
}

}  // namespace rf::controls
