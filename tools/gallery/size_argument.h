// Rimeflower gallery: the --size argument.
#pragma once

#include <string>

namespace rf::gallery {

// Reads "WxH" (also "WXH") with both sides whole numbers from 1 to
// kMaxPhotoSide; leaves width and height alone and answers false otherwise.
bool ParseSizeArgument(const std::string& text, int& width, int& height);

}  // namespace rf::gallery
