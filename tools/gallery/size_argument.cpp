#include "tools/gallery/size_argument.h"

#include "tools/gallery/photo_image.h"

namespace rf::gallery {

namespace {

// Digits only, no sign or blanks, and stops before an int could overflow.
bool ParseSide(const std::string& text, int& side) {
  if (text.empty() || text.size() > 5) return false;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  if (value < 1 || value > kMaxPhotoSide) return false;
  side = value;
  return true;
}

}  // namespace

bool ParseSizeArgument(const std::string& text, int& width, int& height) {
  const size_t x = text.find_first_of("xX");
  if (x == std::string::npos) return false;
  int w = 0, h = 0;
  if (!ParseSide(text.substr(0, x), w) || !ParseSide(text.substr(x + 1), h)) return false;
  width = w;
  height = h;
  return true;
}

}  // namespace rf::gallery
