// Rimeflower controls: helpers the Win32 files of the toolkit share (not for
// the dialog; it includes controls_win32.h).
#pragma once

#include "ui/controls/controls_win32.h"
#include "ui/controls/pixel_canvas.h"

namespace rf::controls::win32 {

// The background every control paints behind itself (the class brush).
HBRUSH BackgroundBrush();
Pixel BackgroundPixel();
// The instance the classes were registered with (its resources hold the
// "Set value" dialog).
HINSTANCE ToolkitInstance();
// The dialog font of `window`'s parent, or the system's GUI font.
HFONT DialogFont(HWND window);
// The host's colour picker the dialog installed (null when none).
void HostColourPickerOf(HostColourPicker& picker, void*& context);
// Milliseconds for the gesture timers.
uint32_t Now();
// The client position in a mouse message.
inline int32_t MouseX(LPARAM l) { return static_cast<int16_t>(LOWORD(l)); }
inline int32_t MouseY(LPARAM l) { return static_cast<int16_t>(HIWORD(l)); }

// An off-screen 32-bit surface of a client area: a pixel canvas is copied in,
// GDI text can be drawn over it, and the whole is copied to the window in one
// step.
class Surface {
 public:
  Surface(HDC target, int32_t w, int32_t h);
  ~Surface();
  Surface(const Surface&) = delete;
  Surface& operator=(const Surface&) = delete;
  bool Ok() const { return bits_ != nullptr; }
  HDC Dc() const { return dc_; }
  void Load(const Canvas& canvas);
  void Present(HDC target) const;

 private:
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ old_ = nullptr;
  void* bits_ = nullptr;
  int32_t w_ = 0, h_ = 0;
};

// Paints `canvas` onto the window's DC through a Surface, with `text` drawn
// over it (centred in `textRect`) when given.
void PresentCanvas(HDC dc, const Canvas& canvas, const char* text = nullptr, const RECT* textRect = nullptr,
                   HFONT font = nullptr, COLORREF textColour = 0);

// Creates a child window of a toolkit class that adopts `object` (freed with
// the window; freed here when no window took it). Null on failure.
HWND CreateWithObject(TContaner* object, const char* className, DWORD style, const Rect& r, HWND parent, int32_t id);

// The edit boxes of the toolkit: Enter commits (notification code 1281 to the
// parent) and moves the focus on; everything else is the system's edit box.
HWND CreateToolkitEdit(HWND parent, int32_t id, DWORD extraStyle, DWORD exStyle);

}  // namespace rf::controls::win32
