// Rimeflower host: how the host hands the module an area of an image.
//
// The module asks for a rectangle and a sampling rate; as the published
// interface has it, the rectangle is in sampled pixels and covers the image
// area rectangle x rate, so a rate of 2 delivers every second pixel of every
// second row. Hosts round the rate to whole pixels. Where the area reaches
// beyond the image the padding request decides: a fill value, the nearest
// edge pixel, undefined bytes, or an error.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "host/interface/host_interface.h"

namespace rf::tools {

// An image as the host holds it: planes interleaved, rows packed.
struct HeldImage {
  const uint8_t* pixels = nullptr;
  int32_t width = 0;
  int32_t height = 0;
  int32_t planes = 0;
  size_t sampleBytes = 1;  // 2: 16-bit samples in 0..32768
};

struct AreaRequest {
  host::VRect rect{};  // in sampled pixels
  int32_t rate = 1;    // image pixels per delivered pixel
  int16_t loPlane = 0;
  int16_t hiPlane = 0;
  int16_t padding = host::kWantsErrorOnBoundsException;
  // Rows longer than their pixels, the extra bytes holding garbage, as hosts
  // with aligned tiles deliver them.
  bool paddedRows = false;
};

// The rate of a 16.16 request rounded to whole pixels; 0 when it rounds to
// nothing (or is negative), which no host can deliver.
int32_t WholeRate(host::Fixed rate);

// Copies the requested area into `buffer`, `rowBytes` apart. Answers -50
// for a malformed request (empty or reversed rectangle, planes outside the
// image, a padding value that means nothing, an area outside the image with
// the error padding) and -108 for an area too large to hold.
int16_t DeliverArea(const HeldImage& image, const AreaRequest& request, std::vector<uint8_t>& buffer,
                    int32_t& rowBytes);

}  // namespace rf::tools
