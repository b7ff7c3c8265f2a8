#include "ui/preview_zoom.h"

#include <algorithm>
#include <cmath>

namespace rf::ui {

namespace {

int32_t Positive(int32_t v) { return v > 0 ? v : 0; }

int32_t CeilDiv(int64_t a, int64_t b) { return int32_t((a + b - 1) / b); }

int32_t RoundToInt(double v) {
  if (!std::isfinite(v)) return 0;
  return int32_t(std::lround(std::clamp(v, -1.0e9, 1.0e9)));
}

}  // namespace

int32_t FitFactor(int32_t imageWidth, int32_t imageHeight, int32_t areaWidth, int32_t areaHeight) {
  if (imageWidth < 1 || imageHeight < 1 || areaWidth < 1 || areaHeight < 1) return 1;
  return std::max({1, CeilDiv(imageWidth, areaWidth), CeilDiv(imageHeight, areaHeight)});
}

int32_t PreviewZoom::VisibleWidth() const { return std::min(areaWidth_, ScaledWidth()); }
int32_t PreviewZoom::VisibleHeight() const { return std::min(areaHeight_, ScaledHeight()); }
int32_t PreviewZoom::PlacementX() const { return Positive(areaWidth_ - VisibleWidth()) / 2; }
int32_t PreviewZoom::PlacementY() const { return Positive(areaHeight_ - VisibleHeight()) / 2; }

std::string PreviewZoom::Label() const { return std::to_string(100 / scale_) + "%"; }

void PreviewZoom::SetSizes(int32_t imageWidth, int32_t imageHeight, int32_t areaWidth, int32_t areaHeight) {
  imageWidth_ = Positive(imageWidth);
  imageHeight_ = Positive(imageHeight);
  areaWidth_ = Positive(areaWidth);
  areaHeight_ = Positive(areaHeight);
  fit_ = FitFactor(imageWidth_, imageHeight_, areaWidth_, areaHeight_);
  if (!placed_) {
    // The dialog opens at 100 %, looking at the middle of the image.
    index_ = fit_ - 1;
    scale_ = 1;
    offsetX_ = (ScaledWidth() - VisibleWidth()) / 2;
    offsetY_ = (ScaledHeight() - VisibleHeight()) / 2;
    placed_ = true;
    Limit();
    return;
  }
  // A new area keeps the scale the user chose wherever it still exists.
  Apply(std::clamp(fit_ - scale_, 0, fit_ - 1));
}

bool PreviewZoom::Apply(int32_t index) {
  if (index < 0) index = fit_ - 1;
  index_ = std::clamp(index, 0, fit_ - 1);
  const int32_t before = scale_;
  const int32_t beforeX = offsetX_, beforeY = offsetY_;
  // The image point at the middle of the view before the change stays there.
  const double centreX = (offsetX_ + VisibleWidth() / 2.0) * before;
  const double centreY = (offsetY_ + VisibleHeight() / 2.0) * before;
  scale_ = std::clamp(fit_ - index_, 1, fit_);
  if (scale_ != before) {
    offsetX_ = RoundToInt(centreX / scale_ - VisibleWidth() / 2.0);
    offsetY_ = RoundToInt(centreY / scale_ - VisibleHeight() / 2.0);
  }
  Limit();
  return scale_ != before || offsetX_ != beforeX || offsetY_ != beforeY;
}

void PreviewZoom::Limit() {
  if (fit_ == 1) {
    offsetX_ = offsetY_ = 0;
    return;
  }
  offsetX_ = std::clamp(offsetX_, 0, Positive(ScaledWidth() - areaWidth_));
  offsetY_ = std::clamp(offsetY_, 0, Positive(ScaledHeight() - areaHeight_));
}

bool PreviewZoom::ZoomIn() { return CanZoomIn() && Apply(index_ + 1); }
bool PreviewZoom::ZoomOut() { return CanZoomOut() && Apply(index_ - 1); }
bool PreviewZoom::WholeImage() { return Apply(0); }
bool PreviewZoom::ActualSize() { return Apply(-1); }

bool PreviewZoom::MoveTo(int32_t offsetX, int32_t offsetY) {
  const int32_t beforeX = offsetX_, beforeY = offsetY_;
  offsetX_ = offsetX;
  offsetY_ = offsetY;
  Limit();
  return offsetX_ != beforeX || offsetY_ != beforeY;
}

double OverviewFactor(int32_t imageWidth, int32_t imageHeight, int32_t areaWidth, int32_t areaHeight) {
  if (imageWidth < 1 || imageHeight < 1 || areaWidth < 1 || areaHeight < 1) return 0.0;
  const double f = std::min(double(areaWidth) / imageWidth, double(areaHeight) / imageHeight);
  return std::min(f, 1.0);
}

int32_t FrameFromOffset(int32_t offset, int32_t scale, double overviewFactor) {
  return RoundToInt(double(offset) * overviewFactor * scale);
}

int32_t OffsetFromFrame(int32_t frame, int32_t scale, double overviewFactor) {
  const double per = overviewFactor * scale;
  return per > 0.0 ? RoundToInt(frame / per) : 0;
}

}  // namespace rf::ui
