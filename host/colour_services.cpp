#include "host/colour_services.h"

#include <algorithm>
#include <cstring>

#include "host/interface/result_codes.h"

namespace rf::host {

int16_t PickHostColour(const FilterRecord& filter, const char* prompt, uint16_t rgb16[3]) {
  if (!filter.colorServices) return kErrPlugInHostInsufficient;
  // The prompt goes as a Pascal string; the components travel as 0..255.
  unsigned char pascal[256] = {};
  const size_t length = prompt ? std::min<size_t>(std::strlen(prompt), 255) : 0;
  pascal[0] = uint8_t(length);
  if (length) std::memcpy(pascal + 1, prompt, length);
  ColorServicesInfo info;
  std::memset(&info, 0, sizeof info);
  info.infoSize = int32_t(sizeof info);
  info.selector = kColorServicesChooseColor;
  info.sourceSpace = kColorSpaceRGB;
  info.resultSpace = kColorSpaceRGB;
  for (int c = 0; c < 3; ++c) info.colorComponents[c] = int16_t(rgb16[c] >> 8);
  info.selectorParameter.pickerPrompt = pascal;
  const OSErr err = filter.colorServices(&info);
  if (err != kNoErr) return err;
  if (info.resultSpace != kColorSpaceRGB) return kErrPlugInHostInsufficient;
  for (int c = 0; c < 3; ++c) {
    const int v = info.colorComponents[c];
    rgb16[c] = uint16_t((v < 0 ? 0 : v > 255 ? 255 : v) * 257);
  }
  return kNoErr;
}

}  // namespace rf::host
