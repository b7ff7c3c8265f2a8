// Rimeflower: the preview's zoom and the part of the image it shows.
//
// The preview shows the filter area subsampled by a whole number s (image
// pixels per preview pixel). F, the fit factor, is the smallest s at which
// the whole area fits the preview; the zoom index i runs from 0 (s = F, the
// whole image) to F - 1 (s = 1, 100 %), so that "+" and "-" step through
// every whole scale. The visible part is measured in preview pixels from the
// top-left of the subsampled image (the offsets).
//
// The dialog keeps one PreviewZoom; the commands answer whether the view
// changed (the source is then read again and the preview re-rendered).
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>

namespace rf::ui {

// F = ceiling of the larger of image width / area width and image height /
// area height, at least 1. An empty area or image gives 1.
int32_t FitFactor(int32_t imageWidth, int32_t imageHeight, int32_t areaWidth, int32_t areaHeight);

class PreviewZoom {
 public:
  // The filter area and the preview area. Keeps the current scale where the
  // new fit factor allows it and the view's centre on the same image point;
  // the first call opens at 100 % with the view centred.
  void SetSizes(int32_t imageWidth, int32_t imageHeight, int32_t areaWidth, int32_t areaHeight);

  // The zoom commands; true when the scale changed.
  bool ZoomIn();      // "+", Ctrl with keypad plus
  bool ZoomOut();     // "-", Ctrl with keypad minus
  bool WholeImage();  // Ctrl+0
  bool ActualSize();  // Ctrl+1: 100 %

  // Moves the visible part (a pan, or the overview's frame); the offsets
  // are limited to the image. True when they changed.
  bool MoveTo(int32_t offsetX, int32_t offsetY);

  int32_t Fit() const { return fit_; }
  int32_t Index() const { return index_; }
  int32_t Scale() const { return scale_; }
  int32_t OffsetX() const { return offsetX_; }
  int32_t OffsetY() const { return offsetY_; }
  // The subsampled image and its visible part, in preview pixels. An image
  // narrower than one preview pixel at this scale still shows one.
  int32_t ScaledWidth() const { return imageWidth_ > 0 ? std::max(1, imageWidth_ / scale_) : 0; }
  int32_t ScaledHeight() const { return imageHeight_ > 0 ? std::max(1, imageHeight_ / scale_) : 0; }
  int32_t VisibleWidth() const;
  int32_t VisibleHeight() const;
  // Where the visible part's top-left sits in the preview area: centred
  // when it is smaller than the area.
  int32_t PlacementX() const;
  int32_t PlacementY() const;

  bool CanZoomIn() const { return index_ < fit_ - 1; }
  bool CanZoomOut() const { return index_ > 0; }
  // "100%", "50%", "33%", ...
  std::string Label() const;

 private:
  // Applies the zoom index: scale, centred view, limits.
  bool Apply(int32_t index);
  void Limit();

  int32_t imageWidth_ = 0, imageHeight_ = 0;
  int32_t areaWidth_ = 0, areaHeight_ = 0;
  int32_t fit_ = 1;
  int32_t index_ = -1;  // -1: 100 % at the next computation
  int32_t scale_ = 1;
  int32_t offsetX_ = 0, offsetY_ = 0;
  bool placed_ = false;  // the view has been centred once
};

// ---- The overview ---------------------------------------------------------

// The factor that fits the whole image into the overview area, never above
// 1; 0 for an empty image or area.
double OverviewFactor(int32_t imageWidth, int32_t imageHeight, int32_t areaWidth, int32_t areaHeight);
// The overview frame's position for a preview offset, and the offset for a
// frame position (the frame is dragged in overview pixels).
int32_t FrameFromOffset(int32_t offset, int32_t scale, double overviewFactor);
int32_t OffsetFromFrame(int32_t frame, int32_t scale, double overviewFactor);

}  // namespace rf::ui
