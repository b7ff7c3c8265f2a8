// The dials ("Rotor CPP") as windows.
#include <cstring>

#include "ui/controls/toolkit_win32.h"

namespace rf::controls {

namespace {

// The edit box of an angle dial grows with the screen density.
int32_t EditHeight(int32_t dpi) {
  if (dpi < 120) return 22;
  if (dpi < 144) return 23;
  if (dpi < 216) return 24;
  return 34;
}

int32_t KnobInset(int32_t dpi) {
  if (dpi < 120) return 4;
  if (dpi < 144) return 6;
  if (dpi < 216) return 8;
  return 10;
}

void SetTextIfChanged(HWND edit, const std::string& text) {
  if (!edit) return;
  char shown[64] = {};
  GetWindowTextA(edit, shown, sizeof shown);
  if (text != shown) SetWindowTextA(edit, text.c_str());
}

}  // namespace

void TRotor::SetKind(RotorKind kind, bool padMode, int32_t editWidth) {
  rotor.kind = kind;
  rotor.padMode = padMode && kind == RotorKind::Polar;
  if (kind == RotorKind::ValueDial) rotor.limited = true;
  if (kind != RotorKind::Polar && !edit_) {
    edit_ = win32::CreateToolkitEdit(window, kRotorEditId, ES_CENTER, WS_EX_CLIENTEDGE);
    if (edit_) EnableWindow(edit_, rotor.enabled);
  }
  if (edit_) {
    const int32_t w = editWidth > 0 ? editWidth : width / 2;
    const int32_t h = EditHeight(ScreenDensity());
    MoveWindow(edit_, (width - w) / 2, (height - h) / 2, w, h, TRUE);
  }
  WriteTexts();
  Redraw(false);
}

void TRotor::SetPadEdits(HWND x, HWND y) {
  edit_ = x;
  secondEdit_ = y;
  WriteTexts();
}

void TRotor::SetLimits(bool on, float min, float max) {
  rotor.SetLimits(on, min, max);
  Redraw(false);
}

void TRotor::SetValueRange(float min, float max, bool integer) {
  rotor.valueMin = min;
  rotor.valueMax = max;
  rotor.integer = integer;
  rotor.SetValue(rotor.value, rotor.elevation);
  WriteTexts();
  Redraw(false);
}

void TRotor::SetDefaults(float value, float elevation) {
  rotor.defaultValue = value;
  rotor.defaultElevation = elevation;
}

void TRotor::SetCaption(const char* caption) { rotor.caption = caption ? std::string(caption).substr(0, 16) : ""; }

void TRotor::SetStyle(const RotorStyle& style) {
  style_ = style;
  hasStyle_ = true;
  Redraw(false);
}

void TRotor::SetValue(float v, float elevation) {
  if (!rotor.SetValue(v, elevation)) return;
  WriteTexts();
  Redraw(false);
}

void TRotor::SetMappedValue(float v) {
  if (!rotor.SetMappedValue(v)) return;
  WriteTexts();
  Redraw(false);
}

void TRotor::SetPoint(float x, float y) {
  if (!rotor.SetPoint(x, y)) return;
  WriteTexts();
  Redraw(false);
}

void TRotor::GetPoint(float& x, float& y) const {
  const RotorTexts t = rotor.Texts();
  x = ParseValue(t.x.c_str(), 32);
  y = ParseValue(t.y.c_str(), 32);
}

void TRotor::WriteTexts() {
  const RotorTexts t = rotor.Texts();
  if (rotor.padMode) {
    SetTextIfChanged(edit_, t.x);
    SetTextIfChanged(secondEdit_, t.y);
  } else if (rotor.kind != RotorKind::Polar) {
    SetTextIfChanged(edit_, t.edit);
  }
}

void TRotor::OpenSetValue() { RunSetValueDialog(GetAncestor(window, GA_ROOT), *this); }

void TRotor::Apply(const RotorActions& a) {
  if (a.capture) SetCapture(window);
  if (a.release && GetCapture() == window) ReleaseCapture();
  if (a.texts) WriteTexts();
  if (a.redraw) Redraw(true);
  const WPARAM command = MAKEWPARAM(static_cast<WORD>(id), 0);
  if (a.notify) SendMessageA(GetParent(window), WM_COMMAND, command, 0);
  if (a.postNotify) PostMessageA(GetParent(window), WM_COMMAND, command, 0);
}

LRESULT TRotor::Handle(HWND w, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      SetWindowLongPtrA(w, GWL_STYLE, GetWindowLongPtrA(w, GWL_STYLE) | WS_CLIPCHILDREN);
      SetWindowLongPtrA(w, GWL_EXSTYLE, GetWindowLongPtrA(w, GWL_EXSTYLE) | WS_EX_CONTROLPARENT);
      rotor.width = width;
      rotor.height = height;
      rotor.enabled = enabled;
      rotor.knobInset = KnobInset(ScreenDensity());
      rotor.knobX = rotor.CentreX();
      rotor.knobY = rotor.CentreY();
      return 0;
    case WM_SIZE:
      TContaner::Handle(w, message, wParam, lParam);
      rotor.width = width;
      rotor.height = height;
      if (edit_ && !rotor.padMode) {
        RECT r = {};
        GetWindowRect(edit_, &r);
        SetKind(rotor.kind, rotor.padMode, r.right - r.left);
      }
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(w, &ps);
      Canvas c(width, height);
      RotorStyle style = style_;
      if (!hasStyle_) style.background = win32::BackgroundPixel();
      PaintRotor(c, rotor, style);
      win32::PresentCanvas(dc, c);
      EndPaint(w, &ps);
      return 0;
    }
    case WM_LBUTTONDOWN: {
      const POINT p = {win32::MouseX(lParam), win32::MouseY(lParam)};
      bool insideEdit = false;
      if (edit_ && !rotor.padMode && rotor.kind == RotorKind::AngleDial) {
        RECT r = {};
        GetWindowRect(edit_, &r);
        MapWindowPoints(nullptr, w, reinterpret_cast<POINT*>(&r), 2);
        insideEdit = PtInRect(&r, p) != FALSE;
      }
      Apply(rotor.Press(p.x, p.y, insideEdit));
      if (insideEdit) {
        // The hover capture took the press from the box: give it the focus.
        if (GetCapture() == w) ReleaseCapture();
        rotor.hover = false;
        SetFocus(edit_);
        SendMessageA(edit_, EM_SETSEL, 0, -1);
      }
      return 0;
    }
    case WM_MOUSEMOVE:
      if (wParam & MK_LBUTTON)
        Apply(rotor.Drag(win32::MouseX(lParam), win32::MouseY(lParam)));
      else
        Apply(rotor.Hover(win32::MouseX(lParam), win32::MouseY(lParam)));
      return 0;
    case WM_LBUTTONUP: {
      const bool timer = SetTimer(w, kReleaseTimerId, kReleaseDelayMs, nullptr) != 0;
      Apply(rotor.Release(win32::Now(), timer));
      return 0;
    }
    case WM_TIMER:
      if (wParam == kReleaseTimerId) {
        Apply(rotor.Timer(win32::Now()));
        if (!rotor.TimerRunning()) KillTimer(w, kReleaseTimerId);
      }
      return 0;
    case WM_LBUTTONDBLCLK:
      Apply(rotor.DoubleClick());
      return 0;
    case WM_RBUTTONDOWN:
      rotor.dragging = false;
      if (GetCapture() == w) ReleaseCapture();
      rotor.hover = false;
      OpenSetValue();
      return 0;
    case WM_CAPTURECHANGED:
      if (rotor.hover && reinterpret_cast<HWND>(lParam) != w) {
        rotor.hover = false;
        Redraw(false);
      }
      return 0;
    case WM_COMMAND: {
      const int32_t child = LOWORD(wParam), code = HIWORD(wParam);
      if (child == kRotorEditId && !rotor.padMode) {
        char text[17] = {};
        if (edit_) GetWindowTextA(edit_, text, sizeof text);
        Apply(rotor.EditNotify(code, text));
      } else if (child == kRotorStepUpId || child == kRotorStepDownId) {
        Apply(rotor.Step(child == kRotorStepUpId ? +1 : -1, lParam == 1));
      }
      return 0;
    }
    case WM_ENABLE:
      rotor.enabled = wParam != 0;
      if (!rotor.enabled) rotor.hover = false;
      for (HWND child : {edit_, secondEdit_})
        if (child) EnableWindow(child, wParam != 0);
      break;
  }
  return TContaner::Handle(w, message, wParam, lParam);
}

}  // namespace rf::controls
