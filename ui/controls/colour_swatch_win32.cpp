// The colour swatch ("Contaner Color CPP") as a window.
#include "ui/controls/toolkit_win32.h"

#include <commdlg.h>

namespace rf::controls {

namespace {

struct SystemPick {
  HWND owner;
  COLORREF* custom;
};

bool SystemColourDialog(void* context, uint32_t* colorRef) {
  auto* pick = static_cast<SystemPick*>(context);
  CHOOSECOLORA cc = {};
  cc.lStructSize = sizeof cc;
  cc.hwndOwner = pick->owner;
  cc.rgbResult = *colorRef;
  cc.lpCustColors = pick->custom;
  cc.Flags = CC_RGBINIT;
  if (!ChooseColorA(&cc)) return false;
  *colorRef = cc.rgbResult;
  return true;
}

}  // namespace

void TContanerColor::SetColour(uint32_t colorRef) {
  colour_ = colorRef & 0xFFFFFF;
  Redraw(false);
}

void TContanerColor::Choose() {
  // The picker is modal; the hover capture must not outlive the click.
  if (GetCapture() == window) ReleaseCapture();
  hover_ = false;
  HostColourPicker host = nullptr;
  void* hostContext = nullptr;
  win32::HostColourPickerOf(host, hostContext);
  SystemPick pick = {GetAncestor(window, GA_ROOT), custom_};
  uint32_t chosen = colour_;
  if (ChooseColour(&chosen, host, hostContext, SystemColourDialog, &pick)) {
    colour_ = chosen;
    Redraw(true);
    Notify(0, reinterpret_cast<LPARAM>(window));
  } else {
    Redraw(false);
  }
}

LRESULT TContanerColor::Handle(HWND w, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      for (COLORREF& c : custom_) c = 0xFFFFFF;
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(w, &ps);
      Canvas c(width, height);
      PaintSwatch(c, colour_, enabled, hover_, win32::BackgroundPixel());
      win32::PresentCanvas(dc, c);
      EndPaint(w, &ps);
      return 0;
    }
    case WM_MOUSEMOVE: {
      if (!enabled) return 0;
      const POINT p = {win32::MouseX(lParam), win32::MouseY(lParam)};
      const bool inside = p.x >= 0 && p.y >= 0 && p.x < width && p.y < height;
      if (inside && !hover_) {
        SetCapture(w);
        hover_ = true;
        Redraw(false);
      } else if (!inside && hover_) {
        hover_ = false;
        if (GetCapture() == w) ReleaseCapture();
        Redraw(false);
      }
      return 0;
    }
    case WM_CAPTURECHANGED:
      if (hover_ && reinterpret_cast<HWND>(lParam) != w) {
        hover_ = false;
        Redraw(false);
      }
      return 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP: {
      const POINT p = {win32::MouseX(lParam), win32::MouseY(lParam)};
      if (enabled && p.x >= 0 && p.y >= 0 && p.x < width && p.y < height) Choose();
      return 0;
    }
    case WM_ENABLE:
      if (!wParam && hover_) {
        hover_ = false;
        if (GetCapture() == w) ReleaseCapture();
      }
      break;
  }
  return TContaner::Handle(w, message, wParam, lParam);
}

}  // namespace rf::controls
