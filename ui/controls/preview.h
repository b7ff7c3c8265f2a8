// Rimeflower controls: the preview container ("Preview Contaner CPP")
// without its window.
//
// The container shows a picture the dialog renders and turns mouse gestures
// on it into panning (main preview), moving the visible-part frame
// (navigator) and placing the effect centre and the handles. Positions the
// user sees as "the effect centre" are centre units: -100 at the left or
// bottom edge of the image, +100 at the right or top edge, y pointing up.
//
// The dialog owns a PreviewShared for both containers and installs its
// callbacks; the window layer feeds the record mouse events and carries out
// the actions it answers, and paints PaintPreview's buffer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "ui/controls/gesture_timer.h"
#include "ui/controls/pixel_canvas.h"

namespace rf::controls {

struct PreviewRecord;

// The dialog's centre setter: moves the position pad to the new centre and
// marks the parameters changed. Given (x, y) in centre units.
using CentreSetter = void (*)(void* context, float x, float y);
// The dialog's preview refresh: re-renders and redraws the main preview.
using PreviewRefresh = void (*)(void* context);

// Values both containers share with the dialog, which owns them.
struct PreviewShared {
  int32_t imageWidth = 0, imageHeight = 0;  // image pixels
  float zoom = 1.0f;                        // image pixels per preview pixel
  float centreX = 0.0f, centreY = 0.0f;     // current effect centre
  void* hoverCursor = nullptr;              // optional cursors (HCURSOR)
  void* dragCursor = nullptr;
  const PreviewRecord* mainPreview = nullptr;  // the navigator reads its view size
  // The parameter record's `Center X` and `Center Y`; may be null.
  float* recordCentreX = nullptr;
  float* recordCentreY = nullptr;
  CentreSetter centreSetter = nullptr;
  PreviewRefresh refresh = nullptr;
  void* context = nullptr;  // passed to both callbacks
};

enum class PreviewMode : uint8_t { Navigator = 0, Main = 1, Plain = 2 };

// A draggable mark; handle 0 is the effect centre.
struct PreviewHandle {
  int8_t style = 0;  // mark style 0..3
  uint8_t visible = 0;
  uint8_t dragging = 0;
  float x = 0.0f, y = 0.0f;              // centre units
  float screenX = 0.0f, screenY = 0.0f;  // client pixels, set at every paint
};

// Notification codes to the page (WM_COMMAND, second parameter 0).
constexpr int32_t kPreviewDoubleClick = 2;
constexpr int32_t kPreviewGestureEnd = 9;

enum class PreviewCursor : uint8_t { Unchanged, Hover, Drag, Resize };

struct PreviewActions {
  bool capture = false;
  bool release = false;
  bool redrawNow = false;
  bool invalidate = false;
  bool startTimer = false;
  int32_t notify = -1;  // code for the page, -1 for none
  PreviewCursor cursor = PreviewCursor::Unchanged;
  // Show (fieldX, fieldY) in the page's X and Y controls.
  bool showInFields = false;
  float fieldX = 0.0f, fieldY = 0.0f;
};

// Paint colours.
constexpr Pixel kPreviewGrey = 0xC0C0C0;     // the overlay's full tint
constexpr Pixel kPreviewDiagonal = 0x808080; // the placeholder's lines

struct PreviewRecord {
  int32_t width = 0, height = 0;  // client size
  PreviewMode mode = PreviewMode::Main;
  // The picture, rows packed, 0x00RRGGBB; empty until the dialog renders.
  std::vector<Pixel> picture;
  int32_t pictureWidth = 0, pictureHeight = 0;
  int32_t scrollX = 0, scrollY = 0;
  int32_t offsetX = 0, offsetY = 0;
  int32_t drawWidth = 0, drawHeight = 0;  // mode 2: size of the picture as drawn
  int32_t viewWidth = 0, viewHeight = 0;  // mode 0: drawn size; main: the visible part
  float navScale = 1.0f;
  int32_t frameX = 0, frameY = 0, frameWidth = 0, frameHeight = 0;
  int32_t panX = 0, panY = 0;
  int32_t lastX = 0, lastY = 0;
  std::vector<PreviewHandle> handles;
  uint8_t showCentre = 0;
  bool fieldsAttached = false;  // the page gave both an X and a Y control
  uint8_t overlayOn = 0;
  std::vector<uint8_t> overlay;  // one byte per client pixel, row by row
  bool ctrlDrag = false;
  bool doubleClicked = false;
  PreviewShared* shared = nullptr;

  // ---- Mapping -----------------------------------------------------------
  // Client pixel to centre units; false (nothing computed) without an image
  // size. `clampToClient` puts negative coordinates at 0 first (the right
  // button's rule).
  bool ToCentre(int32_t mouseX, int32_t mouseY, bool clampToClient, float& x, float& y) const;
  // Centre units to client pixels; the pan is added while one is painted.
  bool ToScreen(float x, float y, bool withPan, float& sx, float& sy) const;
  bool Panning() const { return panX != 0 || panY != 0; }
  bool TimerRunning() const { return timer_.Running(); }

  // ---- Mouse -------------------------------------------------------------
  PreviewActions LeftDown(int32_t x, int32_t y, bool control);
  PreviewActions Move(int32_t x, int32_t y, bool leftHeld, bool rightHeld, bool control);
  PreviewActions LeftUp(uint32_t nowMs, bool timerStarted = true);
  PreviewActions Timer(uint32_t nowMs);
  PreviewActions LeftDoubleClick();
  PreviewActions RightDown(int32_t x, int32_t y);
  PreviewActions RightUp();

  // ---- Setters for the dialog ---------------------------------------------
  // Copies a width x height picture (rows packed); sizes below 1 or a null
  // source clear it. False when refused (too large).
  bool SetPicture(const Pixel* pixels, int32_t w, int32_t h);
  // One byte per client pixel; a buffer of another size is not painted.
  void SetOverlay(const uint8_t* bytes, size_t count, bool on);

 private:
  int32_t DraggedHandle() const;
  bool OverHandle(int32_t x, int32_t y) const;
  void PushHandleToCentre();
  void EndGesture();
  PreviewActions Finish();
  void ShowCentreAt(float x, float y, PreviewActions& out);
  GestureTimer timer_;
  bool leftPressed_ = false;
  bool rightPressed_ = false;
  bool gestureOpen_ = false;
};

// Inverts mark `style` (0..3) with its square at the integer point (x, y).
void DrawMark(Canvas& canvas, int32_t x, int32_t y, int32_t style);
// Tints the canvas toward grey by the overlay bytes (one per pixel).
void ApplyOverlay(Canvas& canvas, const std::vector<uint8_t>& overlay);

// Paints the container into `canvas` (sized to the client area). Updates
// the handles' screen positions and, in the navigator, the frame size.
// Answers false when only the placeholder was painted.
bool PaintPreview(Canvas& canvas, PreviewRecord& record, Pixel background);

}  // namespace rf::controls
