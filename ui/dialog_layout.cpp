#include "ui/dialog_layout.h"

#include <algorithm>
#include <cmath>

namespace rf::ui {

Size MinimumWindowSize(int32_t density) {
  if (density < 120) return {990, 703};
  if (density < 144) return {1160, 828};
  if (density < 216) return {1390, 985};
  return {1400, 1000};
}

int32_t FontHeight(int32_t height96, int32_t density) {
  if (density <= 0) density = 96;
  const double ratio = density / 96.0;
  return int32_t(height96 * (density > 96 ? std::sqrt(ratio) : ratio));
}

int32_t Scaled(int32_t length96, int32_t density) {
  return int32_t(std::lround(double(length96) * MinimumWindowSize(density).width / 990.0));
}

int32_t RotationDialRadius(int32_t density) {
  if (density < 120) return 50;
  if (density < 144) return 60;
  if (density < 216) return 80;
  return 100;
}

int32_t RotationKnobInset(int32_t density) {
  if (density < 120) return 4;
  if (density < 144) return 6;
  if (density < 216) return 8;
  return 10;
}

int32_t RotationEditHeight(int32_t density) {
  if (density < 120) return 22;
  if (density < 144) return 23;
  if (density < 216) return 24;
  return 34;
}

namespace {

Rect Box(int32_t x, int32_t y, int32_t w, int32_t h) { return Rect{x, y, std::max(w, 0), std::max(h, 0)}; }

}  // namespace

MainLayout LayoutMain(Size client, Size page, Size presets, int32_t density) {
  auto k = [density](int32_t v) { return Scaled(v, density); };
  const int32_t cw = std::max(client.width, 0), ch = std::max(client.height, 0);
  const int32_t m = k(8);
  MainLayout l;
  l.header = Box(0, 0, k(472), k(46));
  l.headerSide = Box(cw - k(99), 0, k(99), k(46));
  const int32_t top = l.header.height + m;

  // The pages keep their template size on the right.
  const int32_t rx = cw - m - page.width;
  const int32_t tabHeight = k(26);
  l.tabs = Box(rx, top, page.width, tabHeight);
  l.page = Box(rx, top + tabHeight, page.width, page.height);
  const int32_t buttonHeight = k(26), buttonWidth = k(88);
  const int32_t buttonsY = ch - m - buttonHeight;
  l.cancel = Box(cw - m - buttonWidth, buttonsY, buttonWidth, buttonHeight);
  l.ok = Box(l.cancel.x - m - buttonWidth, buttonsY, buttonWidth, buttonHeight);
  l.product = Box(rx, ch - m - k(30), k(37), k(30));
  l.manual = Box(l.product.x + l.product.width + m, buttonsY + (buttonHeight - k(17)) / 2, k(42), k(17));

  // The preview takes whatever the left column leaves.
  const int32_t leftWidth = rx - 2 * m;
  const int32_t overviewWidth = k(150), overviewHeight = k(112);
  const int32_t bottomHeight = std::max(presets.height, overviewHeight);
  const int32_t bottomY = ch - m - bottomHeight;
  l.overview = Box(m, bottomY, overviewWidth, overviewHeight);
  l.presets = Box(m + overviewWidth + m, bottomY, leftWidth - overviewWidth - m, presets.height);
  const int32_t zoomHeight = k(24);
  const int32_t zoomY = bottomY - m - zoomHeight;
  l.zoomOut = Box(m, zoomY, k(28), zoomHeight);
  l.zoomLabel = Box(l.zoomOut.x + l.zoomOut.width + k(4), zoomY, k(52), zoomHeight);
  l.zoomIn = Box(l.zoomLabel.x + l.zoomLabel.width + k(4), zoomY, k(28), zoomHeight);
  const int32_t progressX = l.zoomIn.x + l.zoomIn.width + m;
  l.progress = Box(progressX, zoomY + (zoomHeight - k(14)) / 2, m + leftWidth - progressX, k(14));
  l.preview = Box(m, top, leftWidth, zoomY - m - top);
  return l;
}

PresetPanelLayout LayoutPresetPanel(Size panel, int32_t density) {
  auto k = [density](int32_t v) { return Scaled(v, density); };
  const int32_t w = std::max(panel.width, 0), h = std::max(panel.height, 0);
  const int32_t gap = k(8), titleHeight = k(16), titleWidth = k(72);
  const int32_t column = std::max((w - gap) / 2, 0);
  const int32_t listY = titleHeight + k(2);
  const int32_t buttonHeight = k(22);
  PresetPanelLayout l;
  const int32_t ux = column + gap;
  l.basicTitle = Box(0, 0, std::min(titleWidth, column), titleHeight);
  l.basicPath = Box(l.basicTitle.width, 0, column - l.basicTitle.width, titleHeight);
  l.basicList = Box(0, listY, column, h - listY);
  l.userTitle = Box(ux, 0, std::min(titleWidth, column), titleHeight);
  l.userPath = Box(ux + l.userTitle.width, 0, column - l.userTitle.width, titleHeight);
  l.userList = Box(ux, listY, column, h - listY - k(4) - buttonHeight);
  const int32_t buttonWidth = std::max((column - k(4)) / 2, 0);
  l.save = Box(ux, h - buttonHeight, buttonWidth, buttonHeight);
  l.remove = Box(ux + column - buttonWidth, h - buttonHeight, buttonWidth, buttonHeight);
  return l;
}

}  // namespace rf::ui
