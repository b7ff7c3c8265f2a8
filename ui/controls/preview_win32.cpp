// The preview container ("Preview Contaner CPP") as a window.
#include <vector>

#include "ui/controls/toolkit_win32.h"

namespace rf::controls {

namespace {

HCURSOR ResizeCursor() {
  static HCURSOR cursor = LoadCursor(nullptr, IDC_SIZENWSE);  // loaded once
  return cursor;
}

// The pixels of any bitmap as 32-bit top-down rows; empty when it cannot be
// read or is larger than a canvas may be.
std::vector<Pixel> ReadBitmap(HBITMAP bitmap, int32_t& w, int32_t& h) {
  std::vector<Pixel> pixels;
  BITMAP bm = {};
  w = h = 0;
  if (!bitmap || !GetObjectA(bitmap, sizeof bm, &bm) || bm.bmWidth < 1 || bm.bmHeight == 0) return pixels;
  const int32_t bw = bm.bmWidth, bh = bm.bmHeight < 0 ? -bm.bmHeight : bm.bmHeight;
  if (bw > Canvas::kMaxSide || bh > Canvas::kMaxSide) return pixels;
  BITMAPINFO bi = {};
  bi.bmiHeader.biSize = sizeof bi.bmiHeader;
  bi.bmiHeader.biWidth = bw;
  bi.bmiHeader.biHeight = -bh;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  pixels.resize(static_cast<size_t>(bw) * static_cast<size_t>(bh));
  HDC screen = GetDC(nullptr);
  const int rows = GetDIBits(screen, bitmap, 0, static_cast<UINT>(bh), pixels.data(), &bi, DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  if (rows != bh) {
    pixels.clear();
    return pixels;
  }
  w = bw;
  h = bh;
  return pixels;
}

}  // namespace

TPreviewContaner::~TPreviewContaner() {
  if (bitmap_) DeleteObject(bitmap_);
}

void TPreviewContaner::SetShared(PreviewShared* shared) {
  record.shared = shared;
  Redraw(false);
}

void TPreviewContaner::SetMode(PreviewMode mode) {
  record.mode = mode;
  Redraw(false);
}

void TPreviewContaner::SetBitmap(HBITMAP bitmap) {
  if (bitmap_ && bitmap_ != bitmap) DeleteObject(bitmap_);
  bitmap_ = bitmap;
  int32_t w = 0, h = 0;
  const std::vector<Pixel> pixels = ReadBitmap(bitmap, w, h);
  record.SetPicture(pixels.empty() ? nullptr : pixels.data(), w, h);
  Redraw(false);
}

void TPreviewContaner::SetPixels(const uint32_t* pixels, int32_t w, int32_t h) {
  record.SetPicture(pixels, w, h);
  Redraw(false);
}

void TPreviewContaner::SetOffset(int32_t x, int32_t y) {
  record.offsetX = x;
  record.offsetY = y;
  Redraw(false);
}

void TPreviewContaner::SetViewSize(int32_t w, int32_t h) {
  record.viewWidth = w;
  record.viewHeight = h;
  Redraw(false);
}

void TPreviewContaner::SetDrawSize(int32_t w, int32_t h) {
  record.drawWidth = w;
  record.drawHeight = h;
  Redraw(false);
}

void TPreviewContaner::SetScroll(int32_t x, int32_t y) {
  record.scrollX = x;
  record.scrollY = y;
  Redraw(false);
}

void TPreviewContaner::GetScroll(int32_t& x, int32_t& y) const {
  x = record.scrollX;
  y = record.scrollY;
}

void TPreviewContaner::SetNavScale(float scale) {
  if (scale > 0.0f && scale < 1.0e6f) record.navScale = scale;
  Redraw(false);
}

void TPreviewContaner::SetFrame(int32_t x, int32_t y) {
  record.frameX = x;
  record.frameY = y;
  Redraw(false);
}

void TPreviewContaner::GetFrame(int32_t& x, int32_t& y, int32_t& w, int32_t& h) const {
  x = record.frameX;
  y = record.frameY;
  w = record.frameWidth;
  h = record.frameHeight;
}

void TPreviewContaner::SetHandles(const PreviewHandle* handles, int32_t count) {
  if (handles && count > 0)
    record.handles.assign(handles, handles + count);
  else
    record.handles.clear();
  Redraw(false);
}

void TPreviewContaner::SetShowCentre(uint8_t show) {
  record.showCentre = show;
  Redraw(false);
}

void TPreviewContaner::SetOverlay(const uint8_t* bytes, size_t count, bool on) {
  record.SetOverlay(bytes, count, on);
  Redraw(false);
}

void TPreviewContaner::SetFields(TContaner* x, TContaner* y, uint8_t kind) {
  xField_ = x;
  yField_ = y;
  fieldKind_ = kind;
  record.fieldsAttached = x && y;
}

void TPreviewContaner::Apply(const PreviewActions& a) {
  if (a.capture) SetCapture(window);
  if (a.release && GetCapture() == window) ReleaseCapture();
  switch (a.cursor) {
    case PreviewCursor::Hover:
      cursor_ = record.shared ? static_cast<HCURSOR>(record.shared->hoverCursor) : nullptr;
      break;
    case PreviewCursor::Drag:
      cursor_ = record.shared ? static_cast<HCURSOR>(record.shared->dragCursor) : nullptr;
      break;
    case PreviewCursor::Resize:
      cursor_ = ResizeCursor();
      break;
    case PreviewCursor::Unchanged:
      break;
  }
  if (a.cursor != PreviewCursor::Unchanged && cursor_) SetCursor(cursor_);
  if (a.showInFields && xField_ && yField_) {
    if (fieldKind_ == 0) {
      if (auto* x = dynamic_cast<TSpinEdit*>(xField_)) x->SetValue(a.fieldX);
      if (auto* y = dynamic_cast<TSpinEdit*>(yField_)) y->SetValue(a.fieldY);
    } else {
      auto* x = dynamic_cast<TRotor*>(xField_);
      auto* y = dynamic_cast<TRotor*>(yField_);
      if (x) x->SetValue(a.fieldX, 0.0f);
      if (y) y->SetValue(a.fieldY, 0.0f);
    }
    InvalidateRect(xField_->window, nullptr, FALSE);
    InvalidateRect(yField_->window, nullptr, FALSE);
  }
  if (a.redrawNow) Redraw(true);
  if (a.invalidate) Redraw(false);
  if (a.notify >= 0)
    SendMessageA(GetParent(window), WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), static_cast<WORD>(a.notify)), 0);
}

LRESULT TPreviewContaner::Handle(HWND w, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      record.width = width;
      record.height = height;
      return 0;
    case WM_SIZE:
      TContaner::Handle(w, message, wParam, lParam);
      record.width = width;
      record.height = height;
      return 0;
    case WM_ERASEBKGND:
      return 1;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(w, &ps);
      Canvas c(width, height);
      PaintPreview(c, record, win32::BackgroundPixel());
      win32::PresentCanvas(dc, c);
      EndPaint(w, &ps);
      return 0;
    }
    case WM_SETCURSOR:
      if (LOWORD(lParam) == HTCLIENT && cursor_) {
        SetCursor(cursor_);
        return TRUE;
      }
      break;
    case WM_LBUTTONDOWN:
      Apply(record.LeftDown(win32::MouseX(lParam), win32::MouseY(lParam), (wParam & MK_CONTROL) != 0));
      return 0;
    case WM_MOUSEMOVE: {
      const bool control = (wParam & MK_CONTROL) != 0;
      // The cursor falls back to the arrow unless the move asks for another.
      if (!(wParam & (MK_LBUTTON | MK_RBUTTON))) cursor_ = nullptr;
      Apply(record.Move(win32::MouseX(lParam), win32::MouseY(lParam), (wParam & MK_LBUTTON) != 0,
                        (wParam & MK_RBUTTON) != 0, control));
      return 0;
    }
    case WM_LBUTTONUP: {
      const bool timer = SetTimer(w, kReleaseTimerId, kReleaseDelayMs, nullptr) != 0;
      Apply(record.LeftUp(win32::Now(), timer));
      return 0;
    }
    case WM_TIMER:
      if (wParam == kReleaseTimerId) {
        Apply(record.Timer(win32::Now()));
        if (!record.TimerRunning()) KillTimer(w, kReleaseTimerId);
      }
      return 0;
    case WM_LBUTTONDBLCLK:
      Apply(record.LeftDoubleClick());
      return 0;
    case WM_RBUTTONDOWN:
      Apply(record.RightDown(win32::MouseX(lParam), win32::MouseY(lParam)));
      return 0;
    case WM_RBUTTONUP:
      Apply(record.RightUp());
      return 0;
  }
  return TContaner::Handle(w, message, wParam, lParam);
}

}  // namespace rf::controls
