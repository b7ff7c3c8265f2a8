#include "tools/resgen/resource_bytes.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "host/record/parameters.h"

namespace rf::resgen {

namespace {

// Resources on Windows are little-endian throughout, four-character codes
// included: 'kind' is stored as the bytes "dnik".
class Writer {
 public:
  void U8(uint8_t v) { bytes.push_back(v); }
  void U16(uint16_t v) {
    U8(uint8_t(v));
    U8(uint8_t(v >> 8));
  }
  void U32(uint32_t v) {
    U16(uint16_t(v));
    U16(uint16_t(v >> 16));
  }
  void Code(const char (&code)[5]) { U32(FourCC(code)); }
  void CString(const char* s) {
    Raw(s, std::strlen(s));
    U8(0);
  }
  void Pascal(const char* s) {
    const size_t n = std::min<size_t>(std::strlen(s), 255);
    U8(uint8_t(n));
    Raw(s, n);
  }
  void Raw(const void* data, size_t n) {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    bytes.insert(bytes.end(), p, p + n);
  }
  void Append(const Bytes& b) { bytes.insert(bytes.end(), b.begin(), b.end()); }

  Bytes bytes;
};

// One PiPL property. The length field holds the data's own length; the data
// is then zero-padded so that the next property starts 4 bytes further on.
void Property(Writer& out, const char (&key)[5], const Bytes& data) {
  out.Code("8BIM");
  out.Code(key);
  out.U32(0);  // property index: every key occurs once
  out.U32(uint32_t(data.size()));
  out.Append(data);
  out.bytes.resize(out.bytes.size() + (4 - data.size() % 4) % 4, 0);
}

Bytes Data(void (*fill)(Writer&)) {
  Writer w;
  fill(w);
  return w.bytes;
}

}  // namespace

Bytes BuildPiPL() {
  Writer out;
  out.U16(1);   // the Windows resource word in front of the list
  out.U32(0);   // property list version
  out.U32(12);  // property count

  Property(out, "kind", Data([](Writer& w) { w.Code("8BFM"); }));
  Property(out, "name", Data([](Writer& w) { w.Pascal(kPluginName); }));
  Property(out, "catg", Data([](Writer& w) { w.Pascal(kCategory); }));
  Property(out, "vers", Data([](Writer& w) { w.U32(0x00040000); }));
  Property(out, "cmpt", Data([](Writer& w) {
             w.U32(0);
             w.CString(kComponentName);
           }));
  Property(out, "8664", Data([](Writer& w) { w.CString(kEntryPoint); }));
  // Two flag bytes, most significant bit first: 0x10 RGB, 0x08 CMYK.
  Property(out, "mode", Data([](Writer& w) {
             w.U8(0x18);
             w.U8(0x00);
           }));
  Property(out, "hstm", Data([](Writer& w) {
             w.U32(0);
             w.Code("RmFl");
             w.Code("RmFl");
             w.U16(uint16_t(kTerminologyResourceId));
             w.CString(kScopeString);
           }));
  Property(out, "enbl", Data([](Writer& w) { w.CString(kEnableExpression); }));
  Property(out, "ms32", Data([](Writer& w) {
             w.U32(uint32_t(kMaxImageSide));
             w.U32(uint32_t(kMaxImageSide));
           }));
  // Written as the 32-bit value 0x80, so that a reader of one byte and a
  // reader of a whole word both see the flag.
  Property(out, "flly", Data([](Writer& w) { w.U32(0x80); }));
  Property(out, "fici", Data([](Writer& w) {
             // Straight data in and out for all seven cases. Flags: 0x02 works
             // with blank data, 0x04 filters layer masks, 0x08 writes outside
             // the selection (only meaningful where there is one).
             const uint8_t flags[7] = {0x06, 0x0E, 0x0E, 0x06, 0x0E, 0x06, 0x0E};
             for (uint8_t f : flags) {
               w.U8(1);
               w.U8(1);
               w.U8(f);
               w.U8(0);
             }
           }));
  return out.bytes;
}

Bytes BuildTerminology() {
  Writer out;
  out.U16(1);  // the Windows resource word
  out.U8(1);   // version 1.0
  out.U8(0);
  out.U16(1);  // language
  out.U16(0);  // script
  out.U16(1);  // one suite

  out.Pascal(kSuiteName);
  out.Pascal(kSuiteDescription);
  out.Code("RmFl");
  out.U16(1);  // level
  out.U16(1);  // version
  out.U16(1);  // one event

  out.Pascal(kEventName);
  out.Pascal(kEventDescription);
  out.Code("RmFl");  // class
  out.Code("RmFl");  // event ID
  out.Code("null");  // no reply
  out.Pascal("");
  out.U16(0);
  out.Code("#ImR");  // the direct parameter is the image
  out.Pascal("");
  out.U16(0xB000);  // optional, enumerated, changes state
  out.U16(uint16_t(kScriptedParameterCount));
  for (const ScriptedParameter& p : kScriptedParameters) {
    out.Pascal(p.name);
    out.U32(p.key);
    out.Code(p.type == ScriptType::Integer ? "long" : "doub");
    out.Pascal(" ");
    out.U16(0);
  }

  out.U16(0);  // classes
  out.U16(0);  // comparison operators
  out.U16(0);  // enumerations
  return out.bytes;
}

// Nine soft rays fanning upwards from just below the middle of the bottom
// edge, 12.5 degrees apart, so that the middle five cross the top rows and
// the outer four leave through the sides. Each ray widens with the distance
// from its origin, to 11 to 14 pixels at the top.
Bytes BuildBumpPicture() {
  constexpr double kPi = 3.14159265358979323846;
  constexpr double kOriginX = 49.5;
  constexpr double kOriginY = 101.0;
  constexpr double kRaySpacing = 12.5 * kPi / 180.0;
  constexpr double kHalfWidth = 0.058;  // half the width at half height, per pixel of distance
  constexpr double kPeak = 240.0;

  Bytes grey(size_t(kBumpSide) * kBumpSide);
  for (int y = 0; y < kBumpSide; ++y) {
    for (int x = 0; x < kBumpSide; ++x) {
      const double dx = x - kOriginX;
      const double dy = kOriginY - y;
      const double r = std::sqrt(dx * dx + dy * dy);
      const double angle = std::atan2(dx, dy);  // 0 straight up
      double ray = 0.0;
      for (int k = -4; k <= 4; ++k) {
        const double across = r * std::sin(std::fabs(angle - k * kRaySpacing));
        const double halfWidth = std::max(1.5, r * kHalfWidth);
        // Flat core to 0.6 half widths, a cosine shoulder through 0.5 at
        // the half width, nothing beyond 1.4 half widths.
        const double t = across / halfWidth;
        if (t < 0.6) {
          ray = 1.0;
        } else if (t < 1.4) {
          const double c = std::cos(kPi / 2.0 * (t - 0.6) / 0.8);
          ray = std::max(ray, c * c);
        }
      }
      // A faint, uneven ground, so that the bump shows some grain between
      // the rays.
      const double ground = 10.0 + 6.0 * std::sin(x * 0.37 + y * 0.23) * std::cos(y * 0.31 - x * 0.11);
      const double peak = kPeak * (1.0 - 0.06 * r / 141.0);
      const double v = ground + (peak - ground) * ray;
      grey[size_t(y) * kBumpSide + size_t(x)] = uint8_t(std::clamp(std::lround(v), 0L, 255L));
    }
  }
  return grey;
}

Bytes BuildBumpDib() {
  const Bytes grey = BuildBumpPicture();
  const uint32_t rowBytes = kBumpSide * 3;  // already a multiple of 4
  Writer out;
  out.U32(40);  // BITMAPINFOHEADER
  out.U32(kBumpSide);
  out.U32(kBumpSide);  // positive: bottom row first
  out.U16(1);          // planes
  out.U16(24);         // bits per pixel
  out.U32(0);          // BI_RGB
  out.U32(rowBytes * kBumpSide);
  out.U32(2835);  // 72 dpi
  out.U32(2835);
  out.U32(0);
  out.U32(0);
  for (int y = kBumpSide - 1; y >= 0; --y) {
    for (int x = 0; x < kBumpSide; ++x) {
      const uint8_t v = grey[size_t(y) * kBumpSide + size_t(x)];
      out.U8(v);  // blue, green, red
      out.U8(v);
      out.U8(v);
    }
  }
  return out.bytes;
}

Bytes BuildBumpBmpFile() {
  const Bytes dib = BuildBumpDib();
  Writer out;
  out.U8('B');
  out.U8('M');
  out.U32(uint32_t(14 + dib.size()));
  out.U32(0);
  out.U32(14 + 40);
  out.Append(dib);
  return out.bytes;
}

namespace {

void AppendArray(std::string& text, const char* name, const Bytes& bytes) {
  char line[16];
  text += "const uint8_t ";
  text += name;
  text += "[" + std::to_string(bytes.size()) + "] = {";
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (i % 16 == 0) text += "\n   ";
    std::snprintf(line, sizeof(line), " 0x%02X,", bytes[i]);
    text += line;
  }
  text += "\n};\n\n";
}

}  // namespace

std::string BuildEmbeddedSource() {
  std::string text =
      "// Made by tools/resgen (the `resgen` target); do not edit. The Windows\n"
      "// build compiles the same bytes into its resource section.\n\n";
  AppendArray(text, "kPiPLBytes", BuildPiPL());
  AppendArray(text, "kTerminologyBytes", BuildTerminology());
  AppendArray(text, "kBumpDibBytes", BuildBumpDib());
  return text;
}

}  // namespace rf::resgen
