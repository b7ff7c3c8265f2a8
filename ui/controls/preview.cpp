#include "ui/controls/preview.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace rf::controls {

namespace {

int32_t ToPixel(float v) {
  if (!std::isfinite(v)) return std::numeric_limits<int32_t>::min() / 2;
  return static_cast<int32_t>(std::clamp(v, -1.0e9f, 1.0e9f));
}

}  // namespace

bool PreviewRecord::ToCentre(int32_t mouseX, int32_t mouseY, bool clampToClient, float& x, float& y) const {
  if (!shared || !(shared->zoom > 0.0f)) return false;
  const float w = static_cast<float>(shared->imageWidth) / shared->zoom;
  const float h = static_cast<float>(shared->imageHeight) / shared->zoom;
  if (!(w > 0.0f) || !(h > 0.0f) || !std::isfinite(w) || !std::isfinite(h)) return false;
  if (clampToClient) {
    mouseX = std::max(mouseX, 0);
    mouseY = std::max(mouseY, 0);
  }
  x = (static_cast<float>(mouseX + scrollX - offsetX) - w / 2.0f) * 200.0f / w;
  y = (h / 2.0f - static_cast<float>(mouseY + scrollY - offsetY)) * 200.0f / h;
  return true;
}

bool PreviewRecord::ToScreen(float x, float y, bool withPan, float& sx, float& sy) const {
  if (!shared || !(shared->zoom > 0.0f)) return false;
  const float w = static_cast<float>(shared->imageWidth) / shared->zoom;
  const float h = static_cast<float>(shared->imageHeight) / shared->zoom;
  if (!(w > 0.0f) || !(h > 0.0f)) return false;
  sx = (x / 200.0f + 0.5f) * w - static_cast<float>(scrollX) + static_cast<float>(offsetX);
  sy = (0.5f - y / 200.0f) * h - static_cast<float>(scrollY) + static_cast<float>(offsetY);
  if (withPan) {
    sx += static_cast<float>(panX);
    sy += static_cast<float>(panY);
  }
  return true;
}

int32_t PreviewRecord::DraggedHandle() const {
  for (size_t i = 0; i < handles.size(); ++i)
    if (handles[i].dragging) return static_cast<int32_t>(i);
  return -1;
}

bool PreviewRecord::OverHandle(int32_t x, int32_t y) const {
  for (const PreviewHandle& h : handles)
    if (h.visible && std::fabs(static_cast<float>(x) - h.screenX) <= 10.0f &&
        std::fabs(static_cast<float>(y) - h.screenY) <= 10.0f)
      return true;
  return false;
}

void PreviewRecord::PushHandleToCentre() {
  if (handles.empty() || !shared) return;
  const PreviewHandle& h = handles[0];
  shared->centreX = h.x;
  shared->centreY = h.y;
  if (shared->recordCentreX) *shared->recordCentreX = h.x;
  if (shared->recordCentreY) *shared->recordCentreY = h.y;
  if (shared->centreSetter) shared->centreSetter(shared->context, h.x, h.y);
}

void PreviewRecord::ShowCentreAt(float x, float y, PreviewActions& out) {
  if (fieldsAttached) {
    out.showInFields = true;
    out.fieldX = x;
    out.fieldY = y;
  }
  shared->centreX = x;
  shared->centreY = y;
}

PreviewActions PreviewRecord::LeftDown(int32_t x, int32_t y, bool control) {
  PreviewActions out;
  doubleClicked = false;
  out.capture = true;
  ctrlDrag = control;
  lastX = x;
  lastY = y;
  panX = panY = 0;
  leftPressed_ = true;
  gestureOpen_ = true;
  for (PreviewHandle& h : handles)
    if (h.visible && std::fabs(static_cast<float>(x) - h.screenX) <= 10.0f &&
        std::fabs(static_cast<float>(y) - h.screenY) <= 10.0f) {
      h.dragging = 1;
      break;
    }
  return out;
}

PreviewActions PreviewRecord::Move(int32_t x, int32_t y, bool leftHeld, bool rightHeld, bool control) {
  PreviewActions out;
  if (mode == PreviewMode::Main && !control) {
    if (shared && shared->hoverCursor) {
      if (!ctrlDrag) out.cursor = PreviewCursor::Hover;
    } else if (OverHandle(x, y)) {
      out.cursor = PreviewCursor::Resize;
    }
  }
  if (leftHeld && leftPressed_) {
    if (shared && shared->dragCursor && !ctrlDrag) out.cursor = PreviewCursor::Drag;
    if (mode == PreviewMode::Navigator) {
      frameX += x - lastX;
      frameY += y - lastY;
      out.redrawNow = true;
    } else {
      const int32_t dragged = DraggedHandle();
      if (dragged >= 0) {
        float cx, cy;
        if (ToCentre(x, y, false, cx, cy)) {
          if (dragged == 0) PushHandleToCentre();
          handles[static_cast<size_t>(dragged)].x = cx;
          handles[static_cast<size_t>(dragged)].y = cy;
        }
        panX = panY = 0;
      } else {
        // Saturating: a pan cannot wrap however far the mouse goes.
        panX = static_cast<int32_t>(std::clamp<int64_t>(static_cast<int64_t>(panX) + x - lastX, -1000000000, 1000000000));
        panY = static_cast<int32_t>(std::clamp<int64_t>(static_cast<int64_t>(panY) + y - lastY, -1000000000, 1000000000));
      }
      out.redrawNow = !ctrlDrag;
    }
    lastX = x;
    lastY = y;
  }
  if (rightHeld && rightPressed_ && mode == PreviewMode::Main && (showCentre || !handles.empty())) {
    float cx, cy;
    if (ToCentre(x, y, true, cx, cy)) {
      const bool moveHandle = !showCentre && !handles.empty() && handles[0].visible;
      if (moveHandle) PushHandleToCentre();
      ShowCentreAt(cx, cy, out);
      if (moveHandle) {
        handles[0].x = cx;
        handles[0].y = cy;
        handles[0].dragging = 1;
        out.invalidate = true;
      }
      if (showCentre) {
        if (shared->centreSetter) shared->centreSetter(shared->context, cx, cy);
        showCentre = 2;
        out.invalidate = true;
      }
    }
  }
  return out;
}

PreviewActions PreviewRecord::LeftUp(uint32_t nowMs, bool timerStarted) {
  PreviewActions out;
  out.release = true;
  if (!leftPressed_) return out;
  leftPressed_ = false;
  if (!timerStarted) {
    PreviewActions end = Finish();
    end.release = true;
    return end;
  }
  timer_.Start(nowMs, kReleaseDelayMs);
  out.startTimer = true;
  return out;
}

void PreviewRecord::EndGesture() {
  for (PreviewHandle& h : handles) h.dragging = 0;
  panX = panY = 0;
  gestureOpen_ = false;
}

PreviewActions PreviewRecord::Timer(uint32_t nowMs) {
  if (!timer_.Expire(nowMs)) return {};
  return Finish();
}

PreviewActions PreviewRecord::Finish() {
  PreviewActions out;
  if (!gestureOpen_) return out;
  out.invalidate = true;
  if (doubleClicked) {
    // The double click already told the page; the drag flags and pan of
    // its presses are dropped so that the next gesture starts clean.
    EndGesture();
    ctrlDrag = false;
    return out;
  }
  if (mode != PreviewMode::Navigator) {
    const int32_t dragged = DraggedHandle();
    if (dragged >= 0) {
      handles[static_cast<size_t>(dragged)].dragging = 0;
      if (dragged == 0 && shared) {
        shared->centreX = handles[0].x;
        shared->centreY = handles[0].y;
        if (shared->recordCentreX) *shared->recordCentreX = handles[0].x;
        if (shared->recordCentreY) *shared->recordCentreY = handles[0].y;
      }
    } else {
      scrollX -= panX;
      scrollY -= panY;
    }
  }
  EndGesture();
  if (ctrlDrag)
    ctrlDrag = false;
  else
    out.notify = kPreviewGestureEnd;
  return out;
}

PreviewActions PreviewRecord::LeftDoubleClick() {
  PreviewActions out;
  doubleClicked = true;
  // The second press of a double click holds the button like a first one;
  // its release restarts the timer.
  leftPressed_ = true;
  out.notify = kPreviewDoubleClick;
  return out;
}

PreviewActions PreviewRecord::RightDown(int32_t x, int32_t y) {
  PreviewActions out;
  out.capture = true;
  rightPressed_ = true;
  if (mode != PreviewMode::Main || !shared) return out;
  float cx, cy;
  if (!ToCentre(x, y, true, cx, cy)) return out;
  if (!handles.empty() && handles[0].visible) {
    PushHandleToCentre();
    ShowCentreAt(cx, cy, out);
    handles[0].x = cx;
    handles[0].y = cy;
    handles[0].dragging = 1;
    out.invalidate = true;
  } else if (showCentre) {
    // A click without a move places the centre where it was clicked.
    ShowCentreAt(cx, cy, out);
    out.invalidate = true;
  }
  return out;
}

PreviewActions PreviewRecord::RightUp() {
  PreviewActions out;
  out.release = true;
  const bool pressed = rightPressed_;
  rightPressed_ = false;
  if (!pressed || mode != PreviewMode::Main || !shared) return out;
  const bool handle0 = !handles.empty() && handles[0].visible;
  if (!showCentre && !handle0) return out;
  float unusedX, unusedY;
  if (!ToCentre(0, 0, false, unusedX, unusedY)) return out;  // no image size
  if (shared->recordCentreX) *shared->recordCentreX = shared->centreX;
  if (shared->recordCentreY) *shared->recordCentreY = shared->centreY;
  if (shared->centreSetter) shared->centreSetter(shared->context, shared->centreX, shared->centreY);
  if (!showCentre && handle0) handles[0].dragging = 0;
  if (shared->refresh) shared->refresh(shared->context);
  out.invalidate = true;
  return out;
}

bool PreviewRecord::SetPicture(const Pixel* pixels, int32_t w, int32_t h) {
  if (!pixels || w < 1 || h < 1) {
    picture.clear();
    pictureWidth = pictureHeight = 0;
    return true;
  }
  if (w > Canvas::kMaxSide || h > Canvas::kMaxSide) return false;
  picture.assign(pixels, pixels + static_cast<size_t>(w) * static_cast<size_t>(h));
  pictureWidth = w;
  pictureHeight = h;
  return true;
}

void PreviewRecord::SetOverlay(const uint8_t* bytes, size_t count, bool on) {
  if (bytes && count)
    overlay.assign(bytes, bytes + count);
  else
    overlay.clear();
  overlayOn = on ? 1 : 0;
}

void DrawMark(Canvas& canvas, int32_t x, int32_t y, int32_t style) {
  switch (style) {
    case 0:
      canvas.InvertRow(y, x - 20, x + 19);
      canvas.InvertColumn(x, y - 20, y + 19);
      break;
    case 1:
      canvas.InvertRow(y, x - 20, x);
      canvas.InvertColumn(x, y - 20, y);
      break;
    case 2:
      canvas.InvertRow(y, x, x + 19);
      canvas.InvertColumn(x, y, y + 19);
      break;
    case 3:
      canvas.InvertRow(y, x, x + 19);
      canvas.InvertColumn(x, y - 20, y);
      break;
    default:
      break;
  }
  canvas.InvertColumn(x - 10, y - 10, y + 9);
  canvas.InvertColumn(x + 10, y - 10, y + 9);
  canvas.InvertRow(y - 10, x - 10, x + 9);
  canvas.InvertRow(y + 10, x - 10, x + 9);
}

void ApplyOverlay(Canvas& canvas, const std::vector<uint8_t>& overlay) {
  const size_t count = static_cast<size_t>(canvas.Width()) * static_cast<size_t>(canvas.Height());
  if (overlay.size() != count || count == 0) return;
  Pixel* p = canvas.Data();
  for (size_t i = 0; i < count; ++i) {
    const uint8_t v = overlay[i];
    if (v == 0) continue;
    if (v == 255) {
      p[i] = kPreviewGrey;
      continue;
    }
    const float keep = 1.0f - static_cast<float>(v) / 255.0f;
    const float grey = 192.0f * static_cast<float>(v) / 255.0f;
    auto tint = [&](uint32_t c) { return static_cast<uint32_t>(static_cast<float>(c) * keep + grey); };
    p[i] = MakePixel(tint(Red(p[i])), tint(Green(p[i])), tint(Blue(p[i])));
  }
}

namespace {

void PaintNavigator(Canvas& canvas, PreviewRecord& r, Pixel background) {
  canvas.Fill(background);
  if (!r.picture.empty())
    canvas.StretchFrom(r.picture.data(), r.pictureWidth, r.pictureHeight, r.offsetX, r.offsetY, r.viewWidth,
                       r.viewHeight);
  else
    canvas.Diagonals(0, 0, kPreviewDiagonal);
  const PreviewRecord* main = r.shared ? r.shared->mainPreview : nullptr;
  if (!main) return;
  const double zoom = r.shared->zoom;
  auto frameSide = [&](int32_t view) {
    const double v = std::trunc(view * static_cast<double>(r.navScale) * zoom + 1.5);
    return std::isfinite(v) ? static_cast<int32_t>(std::clamp(v, -1.0e6, 1.0e6)) : 0;
  };
  r.frameWidth = frameSide(main->viewWidth);
  r.frameHeight = frameSide(main->viewHeight);
  const int32_t x0 = r.frameX, y0 = r.frameY;
  const int32_t x1 = std::min(r.frameX + r.frameWidth + 1, r.width) - 1;
  const int32_t y1 = std::min(r.frameY + r.frameHeight + 1, r.height) - 1;
  if (x1 < x0 || y1 < y0) return;
  // Each outline pixel once: the columns stop short of the two rows.
  canvas.InvertRow(r.offsetY + y0, r.offsetX + x0, r.offsetX + x1);
  if (r.frameY + r.frameHeight <= y1 && r.frameHeight > 0)
    canvas.InvertRow(r.offsetY + r.frameY + r.frameHeight, r.offsetX + x0, r.offsetX + x1);
  const int32_t yEnd = std::min(y1, r.frameY + r.frameHeight - 1);
  canvas.InvertColumn(r.offsetX + x0, r.offsetY + y0 + 1, r.offsetY + yEnd);
  if (r.frameX + r.frameWidth <= x1 && r.frameWidth > 0)
    canvas.InvertColumn(r.offsetX + r.frameX + r.frameWidth, r.offsetY + y0 + 1, r.offsetY + yEnd);
}

}  // namespace

bool PaintPreview(Canvas& canvas, PreviewRecord& r, Pixel background) {
  if (canvas.Empty()) return false;
  if (r.mode == PreviewMode::Navigator) {
    PaintNavigator(canvas, r, background);
    return !r.picture.empty();
  }
  const bool panning = r.Panning();
  canvas.Fill(0);
  if (r.picture.empty()) {
    if (!panning) {
      canvas.Fill(background);
      canvas.Diagonals(0, 0, kPreviewDiagonal);
      return false;
    }
    canvas.Diagonals(r.panX, r.panY, kPreviewDiagonal);
  } else {
    const int32_t x = r.offsetX + (panning ? r.panX : 0), y = r.offsetY + (panning ? r.panY : 0);
    const bool main = r.mode == PreviewMode::Main;
    canvas.StretchFrom(r.picture.data(), r.pictureWidth, r.pictureHeight, x, y, main ? r.width : r.drawWidth,
                       main ? r.height : r.drawHeight);
  }
  float sx, sy;
  if (r.showCentre && r.shared && r.ToScreen(r.shared->centreX, r.shared->centreY, panning, sx, sy))
    DrawMark(canvas, ToPixel(sx), ToPixel(sy), 0);
  for (PreviewHandle& h : r.handles) {
    if (!h.visible || !r.ToScreen(h.x, h.y, panning, sx, sy)) continue;
    h.screenX = sx;
    h.screenY = sy;
    DrawMark(canvas, ToPixel(sx), ToPixel(sy), h.style);
  }
  if (!panning && r.overlayOn == 1) ApplyOverlay(canvas, r.overlay);
  return true;
}

}  // namespace rf::controls
