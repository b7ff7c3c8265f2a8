#include "tools/gallery/size_argument.h"

#include "tools/rimeflower/arguments.h"
#include "tools/gallery/photo_image.h"

namespace rf::gallery {

bool ParseSizeArgument(const std::string& text, int& width, int& height) {
  return tools::ParseSize(text, kMaxPhotoSide, width, height);
}

}  // namespace rf::gallery
