// Image files on Windows through the system's imaging component (WIC), so
// that the host carries no codec library of its own. The images come out in
// the same layout as on Linux: interleaved, colour channels in RGB or CMYK
// order then alpha, 16-bit samples native-endian, CMYK with 0 meaning no ink.
//
// WIC implementations differ (Wine's has no CMYK TIFF encoder, no CMYK-with-
// alpha TIFF decoder, and two encoder quirks), so what the system cannot do
// for TIFF is done with plain uncompressed files (plain_tiff.h), and each
// encoder is probed once before its output is trusted.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#include <objbase.h>
#include <ocidl.h>
#include <wincodec.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

#include "tools/imagefile/image_codecs.h"
#include "tools/imagefile/plain_tiff.h"

namespace rf::tools::codecs {

namespace {

// ---- COM plumbing ---------------------------------------------------------

template <class T>
class ComRef {
 public:
  ComRef() = default;
  ~ComRef() { Reset(); }
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;

  T* operator->() const { return p_; }
  T* Get() const { return p_; }
  T** Out() {
    Reset();
    return &p_;
  }
  void** OutVoid() { return reinterpret_cast<void**>(Out()); }
  void Reset() {
    if (p_) p_->Release();
    p_ = nullptr;
  }
  explicit operator bool() const { return p_ != nullptr; }

 private:
  T* p_ = nullptr;
};

const char* FormatName(FileFormat format) {
  switch (format) {
    case FileFormat::PNG: return "PNG";
    case FileFormat::JPEG: return "JPEG";
    case FileFormat::TIFF: return "TIFF";
    default: return "image";
  }
}

std::string Hex(HRESULT hr) {
  char text[16];
  std::snprintf(text, sizeof(text), "0x%08lX", static_cast<unsigned long>(hr));
  return text;
}

// One line for the user; the code is kept for whoever reads a bug report.
std::string Describe(FileFormat format, const char* doing, HRESULT hr) {
  std::string what;
  switch (hr) {
    case E_OUTOFMEMORY: what = "not enough memory for the image"; break;
    case WINCODEC_ERR_COMPONENTNOTFOUND: what = "this system has no codec for the file"; break;
    case WINCODEC_ERR_UNKNOWNIMAGEFORMAT:
    case WINCODEC_ERR_BADHEADER:
    case WINCODEC_ERR_BADIMAGE:
    case WINCODEC_ERR_BADSTREAMDATA:
    case WINCODEC_ERR_STREAMREAD:
    case WINCODEC_ERR_FRAMEMISSING: what = "the file is damaged or truncated"; break;
    default: what = doing; break;
  }
  return std::string(FormatName(format)) + ": " + what + " (" + Hex(hr) + ")";
}

// The factory lives for the whole process. Every thread that reads or
// writes (a batch runs several) joins the multithreaded apartment once, so
// the apartment does not end with the thread that made the factory; a
// caller that already chose another apartment for its thread keeps it, and
// WIC works in either.
IWICImagingFactory* Factory(std::string& error) {
  thread_local const HRESULT joined = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  static const HRESULT comState = joined;
  static IWICImagingFactory* factory = nullptr;
  static HRESULT created = [] {
    if (FAILED(comState) && comState != RPC_E_CHANGED_MODE) return comState;
    return CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                            reinterpret_cast<void**>(&factory));
  }();
  if (FAILED(created) || !factory) {
    error = "the system's imaging component is not available (" + Hex(created) + ")";
    return nullptr;
  }
  return factory;
}

bool Widen(const std::string& path, std::wstring& wide, std::string& error) {
  // fopen and the other ANSI calls of the host read paths in the ANSI code
  // page; the imaging component wants UTF-16.
  const int n = MultiByteToWideChar(CP_ACP, 0, path.c_str(), int(path.size()) + 1, nullptr, 0);
  if (n <= 0) {
    error = "the file name cannot be converted";
    return false;
  }
  wide.assign(size_t(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, path.c_str(), int(path.size()) + 1, &wide[0], n);
  wide.resize(size_t(n) - 1);
  return true;
}

// ---- Pixel layouts --------------------------------------------------------

// A WIC pixel format that maps sample for sample onto an Image: which
// channels it holds, in which order, and whether each pixel carries a
// padding sample.
struct Layout {
  const GUID* format;
  ImageMode mode;
  int depth;
  bool alpha;
  bool blueFirst;      // colour samples stored B, G, R
  int storedChannels;  // samples per pixel, padding included
};

const Layout kLayouts[] = {
    {&GUID_WICPixelFormat8bppGray, ImageMode::Gray, 8, false, false, 1},
    {&GUID_WICPixelFormat16bppGray, ImageMode::Gray, 16, false, false, 1},
    {&GUID_WICPixelFormat24bppBGR, ImageMode::RGB, 8, false, true, 3},
    {&GUID_WICPixelFormat24bppRGB, ImageMode::RGB, 8, false, false, 3},
    {&GUID_WICPixelFormat32bppBGR, ImageMode::RGB, 8, false, true, 4},
    {&GUID_WICPixelFormat32bppRGB, ImageMode::RGB, 8, false, false, 4},
    {&GUID_WICPixelFormat32bppBGRA, ImageMode::RGB, 8, true, true, 4},
    {&GUID_WICPixelFormat32bppRGBA, ImageMode::RGB, 8, true, false, 4},
    {&GUID_WICPixelFormat48bppRGB, ImageMode::RGB, 16, false, false, 3},
    {&GUID_WICPixelFormat48bppBGR, ImageMode::RGB, 16, false, true, 3},
    {&GUID_WICPixelFormat64bppRGB, ImageMode::RGB, 16, false, false, 4},
    {&GUID_WICPixelFormat64bppRGBA, ImageMode::RGB, 16, true, false, 4},
    {&GUID_WICPixelFormat64bppBGRA, ImageMode::RGB, 16, true, true, 4},
    {&GUID_WICPixelFormat32bppCMYK, ImageMode::CMYK, 8, false, false, 4},
    {&GUID_WICPixelFormat64bppCMYK, ImageMode::CMYK, 16, false, false, 4},
    {&GUID_WICPixelFormat40bppCMYKAlpha, ImageMode::CMYK, 8, true, false, 5},
    {&GUID_WICPixelFormat80bppCMYKAlpha, ImageMode::CMYK, 16, true, false, 5},
};

const Layout* FindLayout(const GUID& format) {
  for (const Layout& l : kLayouts)
    if (IsEqualGUID(*l.format, format)) return &l;
  return nullptr;
}

const Layout* FindLayout(ImageMode mode, int depth, bool alpha) {
  // The first match is the one every WIC encoder takes natively.
  for (const Layout& l : kLayouts)
    if (l.mode == mode && l.depth == depth && l.alpha == alpha) return &l;
  return nullptr;
}

int ColourCount(ImageMode mode) { return mode == ImageMode::Gray ? 1 : mode == ImageMode::RGB ? 3 : 4; }

// For each stored sample of `layout`, the Image channel it corresponds to,
// or -1 for padding. A grey Image against an RGB layout maps every colour
// sample to the grey channel.
std::vector<int> StoredToImage(const Layout& layout, ImageMode imageMode, bool imageAlpha) {
  std::vector<int> map(size_t(layout.storedChannels), -1);
  const int colours = ColourCount(layout.mode);
  for (int c = 0; c < colours; ++c) {
    const int stored = layout.blueFirst ? colours - 1 - c : c;
    map[size_t(stored)] = imageMode == ImageMode::Gray ? 0 : c;
  }
  if (layout.alpha && imageAlpha) map[size_t(colours)] = ColourCount(imageMode);
  return map;
}

// Copies one row: sample k of each `to` pixel is sample pick[k] of the
// `from` pixel, or all ones where pick[k] is -1 (padding, opaque alpha).
void MapRow(const uint8_t* from, int fromChannels, const std::vector<int>& pick, uint8_t* to, size_t sampleBytes,
            int width) {
  const size_t toChannels = pick.size();
  for (int x = 0; x < width; ++x) {
    const uint8_t* src = from + size_t(x) * size_t(fromChannels) * sampleBytes;
    uint8_t* dst = to + size_t(x) * toChannels * sampleBytes;
    for (size_t k = 0; k < toChannels; ++k) {
      if (pick[k] < 0)
        std::memset(dst + k * sampleBytes, 0xFF, sampleBytes);
      else
        std::memcpy(dst + k * sampleBytes, src + size_t(pick[k]) * sampleBytes, sampleBytes);
    }
  }
}

// Rows moved per CopyPixels / WritePixels call: the calls take 32-bit sizes,
// and a band keeps the temporary buffer small.
UINT BandRows(size_t stride, int height) {
  const size_t rows = std::max<size_t>(1, (size_t(16) << 20) / std::max<size_t>(1, stride));
  return UINT(std::min<size_t>(rows, size_t(height)));
}

// ---- Sizes from the file's own header -------------------------------------

// Some WIC decoders allocate the whole image when they open the file, before
// its size can be checked; the size is therefore read here first, so that a
// header promising billions of pixels is refused without any allocation.

uint32_t Big16(const uint8_t* p) { return uint32_t(p[0]) << 8 | p[1]; }
uint32_t Big32(const uint8_t* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }

struct Header {
  uint64_t width = 0, height = 0;
  bool grey = false;  // a PNG of colour type grey or grey with alpha
};

bool PeekPng(FILE* f, Header& h) {
  uint8_t b[26];
  if (std::fread(b, 1, sizeof(b), f) != sizeof(b) || std::memcmp(b + 12, "IHDR", 4) != 0) return false;
  h.width = Big32(b + 16);
  h.height = Big32(b + 20);
  h.grey = b[25] == 0 || b[25] == 4;
  return true;
}

bool PeekJpeg(FILE* f, Header& h) {
  if (std::fgetc(f) != 0xFF || std::fgetc(f) != 0xD8) return false;
  for (;;) {
    int c = std::fgetc(f);
    if (c != 0xFF) return false;
    while (c == 0xFF) c = std::fgetc(f);
    if (c == EOF || c == 0xD9 || c == 0xDA) return false;  // no frame header before the image data
    if (c == 0x01 || (c >= 0xD0 && c <= 0xD7)) continue;     // markers without a length
    uint8_t len[2];
    if (std::fread(len, 1, 2, f) != 2 || Big16(len) < 2) return false;
    const bool frame = c >= 0xC0 && c <= 0xCF && c != 0xC4 && c != 0xC8 && c != 0xCC;
    if (frame) {
      uint8_t sof[5];
      if (std::fread(sof, 1, 5, f) != 5) return false;
      h.height = Big16(sof + 1);
      h.width = Big16(sof + 3);
      return true;
    }
    if (std::fseek(f, long(Big16(len)) - 2, SEEK_CUR) != 0) return false;
  }
}

// The first directory of a TIFF file, its SHORT and LONG values by tag:
// enough for the size check and for the plain reader below.
struct TiffDirectory {
  bool little = true;
  std::map<uint32_t, std::vector<uint32_t>> tags;

  uint32_t Value(uint32_t tag, uint32_t fallback) const {
    const auto found = tags.find(tag);
    return found == tags.end() || found->second.empty() ? fallback : found->second[0];
  }
};

bool Seek(FILE* f, uint64_t offset) { return _fseeki64(f, int64_t(offset), SEEK_SET) == 0; }

bool ReadTiffDirectory(FILE* f, TiffDirectory& d) {
  uint8_t head[8];
  if (std::fread(head, 1, 8, f) != 8) return false;
  d.little = head[0] == 'I';
  auto get = [&d](const uint8_t* p, int n) {
    uint32_t v = 0;
    for (int i = 0; i < n; ++i) v |= uint32_t(p[d.little ? i : n - 1 - i]) << (8 * i);
    return v;
  };
  uint8_t count[2];
  if (get(head + 2, 2) != 42 || !Seek(f, get(head + 4, 4)) || std::fread(count, 1, 2, f) != 2) return false;
  std::vector<uint8_t> entries(size_t(get(count, 2)) * 12);
  if (std::fread(entries.data(), 1, entries.size(), f) != entries.size()) return false;
  for (size_t at = 0; at < entries.size(); at += 12) {
    const uint8_t* e = &entries[at];
    const uint32_t tag = get(e, 2), type = get(e + 2, 2), n = get(e + 4, 4);
    if (type != 3 && type != 4) continue;
    const int size = type == 3 ? 2 : 4;
    // No directory of a picture within the size limit needs more values.
    if (n == 0 || n > 4000000) return false;
    std::vector<uint8_t> bytes(size_t(n) * size_t(size));
    if (bytes.size() <= 4) {
      std::memcpy(bytes.data(), e + 8, bytes.size());
    } else if (!Seek(f, get(e + 8, 4)) || std::fread(bytes.data(), 1, bytes.size(), f) != bytes.size()) {
      return false;
    }
    std::vector<uint32_t>& values = d.tags[tag];
    for (uint32_t i = 0; i < n; ++i) values.push_back(get(&bytes[size_t(i) * size_t(size)], size));
  }
  return true;
}

bool PeekTiff(FILE* f, Header& h) {
  TiffDirectory d;
  if (!ReadTiffDirectory(f, d)) return false;
  h.width = d.Value(256, 0);
  h.height = d.Value(257, 0);
  return true;
}

bool PeekHeader(FileFormat format, const Source& source, Header& h, std::string& error) {
  FILE* f = std::fopen(source.path.c_str(), "rb");
  if (!f) {
    error = "cannot open the file";
    return false;
  }
  const bool ok = format == FileFormat::PNG ? PeekPng(f, h) : format == FileFormat::JPEG ? PeekJpeg(f, h)
                                                                                         : PeekTiff(f, h);
  std::fclose(f);
  if (!ok) {
    error = std::string(FormatName(format)) + ": the file is damaged or truncated";
    return false;
  }
  const uint64_t perByte = format == FileFormat::PNG ? kPngPixelsPerByte
                          : format == FileFormat::JPEG ? kJpegPixelsPerByte : kAnyPixelsPerByte;
  return SizeAcceptable(h.width, h.height, source, perByte, error);
}

// ---- Reading --------------------------------------------------------------

// The decoded source and the layout its pixels arrive in. Formats outside
// the table (palettes, 1 to 4 bits, premultiplied alpha, floating point) go
// through WIC's converter to RGBA of 8 or 16 bits.
bool OpenSource(IWICImagingFactory* factory, IWICBitmapFrameDecode* frame, FileFormat format,
                ComRef<IWICFormatConverter>& converter, IWICBitmapSource*& source, const Layout*& layout,
                bool& sourceWithoutAlpha, std::string& error) {
  WICPixelFormatGUID native{};
  HRESULT hr = frame->GetPixelFormat(&native);
  if (FAILED(hr)) {
    error = Describe(format, "cannot read the pixel format", hr);
    return false;
  }
  source = frame;
  layout = FindLayout(native);
  if (layout) return true;

  UINT bitsPerPixel = 0, channels = 0;
  BOOL transparency = TRUE;
  {
    ComRef<IWICComponentInfo> info;
    ComRef<IWICPixelFormatInfo2> pixelInfo;
    if (SUCCEEDED(factory->CreateComponentInfo(native, info.Out())) &&
        SUCCEEDED(info->QueryInterface(IID_IWICPixelFormatInfo2, pixelInfo.OutVoid()))) {
      pixelInfo->GetBitsPerPixel(&bitsPerPixel);
      pixelInfo->GetChannelCount(&channels);
      pixelInfo->SupportsTransparency(&transparency);
    }
  }
  // RGBA is the one target every converter offers from every format (Wine's
  // has no 1-bit grey to 8-bit grey); a grey PNG is made grey again below.
  const bool deep = channels > 0 && bitsPerPixel / channels > 8;
  const WICPixelFormatGUID target = deep ? GUID_WICPixelFormat64bppRGBA : GUID_WICPixelFormat32bppRGBA;
  // The alpha the converter adds is kept only where the source can have
  // some; a palette says for itself, as libpng's expansion does.
  ComRef<IWICPalette> palette;
  BOOL paletteAlpha = TRUE;
  if (SUCCEEDED(factory->CreatePalette(palette.Out())) && SUCCEEDED(frame->CopyPalette(palette.Get())) &&
      SUCCEEDED(palette->HasAlpha(&paletteAlpha)))
    transparency = paletteAlpha;
  sourceWithoutAlpha = !transparency;

  hr = factory->CreateFormatConverter(converter.Out());
  if (SUCCEEDED(hr))
    hr = converter->Initialize(frame, target, WICBitmapDitherTypeNone, nullptr, 0.0, WICBitmapPaletteTypeCustom);
  if (FAILED(hr)) {
    error = Describe(format, "the file's pixel format is not supported", hr);
    return false;
  }
  source = converter.Get();
  layout = FindLayout(target);
  return layout != nullptr;
}

// `decoderRefused` tells a failure of the system's decoder from a file that
// was refused before it (size, memory).
bool ReadWic(FileFormat format, const Source& file, Image& image, bool& decoderRefused, std::string& error) {
  const std::string& path = file.path;
  Header header;
  if (!PeekHeader(format, file, header, error)) return false;
  IWICImagingFactory* factory = Factory(error);
  if (!factory) return false;
  std::wstring wide;
  if (!Widen(path, wide, error)) return false;

  ComRef<IWICBitmapDecoder> decoder;
  HRESULT hr = factory->CreateDecoderFromFilename(wide.c_str(), nullptr, GENERIC_READ,
                                                  WICDecodeMetadataCacheOnDemand, decoder.Out());
  ComRef<IWICBitmapFrameDecode> frame;
  if (SUCCEEDED(hr)) hr = decoder->GetFrame(0, frame.Out());
  UINT frames = 1;
  if (SUCCEEDED(hr) && FAILED(decoder->GetFrameCount(&frames))) frames = 1;
  UINT w = 0, h = 0;
  if (SUCCEEDED(hr)) hr = frame->GetSize(&w, &h);
  if (FAILED(hr)) {
    error = Describe(format, "cannot decode the file", hr);
    decoderRefused = true;
    return false;
  }
  if (w != header.width || h != header.height) {
    error = std::string(FormatName(format)) + ": the file is damaged (its sizes disagree)";
    return false;
  }

  ComRef<IWICFormatConverter> converter;
  IWICBitmapSource* source = nullptr;
  const Layout* layout = nullptr;
  bool sourceWithoutAlpha = false;
  if (!OpenSource(factory, frame.Get(), format, converter, source, layout, sourceWithoutAlpha, error)) {
    decoderRefused = true;
    return false;
  }

  image.width = int(w);
  image.height = int(h);
  image.depth = layout->depth;
  image.mode = layout->mode;
  image.hasAlpha = layout->alpha && !sourceWithoutAlpha;
  // WIC has no grey-with-alpha format and hands such PNGs over as RGBA.
  if (format == FileFormat::PNG && header.grey && image.mode == ImageMode::RGB) image.mode = ImageMode::Gray;
  image.format = format;
  image.pages = int(std::max<UINT>(1, std::min<UINT>(frames, 1000000)));
  if (!Allocate(image, error)) return false;

  // Image channel j comes from the stored sample that maps to it.
  const std::vector<int> toImage = StoredToImage(*layout, image.mode, image.hasAlpha);
  std::vector<int> pick(size_t(image.Channels()), -1);
  for (size_t k = toImage.size(); k-- > 0;)
    if (toImage[k] >= 0) pick[size_t(toImage[k])] = int(k);

  const size_t sampleBytes = image.BytesPerSample();
  const size_t stride = size_t(w) * size_t(layout->storedChannels) * sampleBytes;
  const UINT band = BandRows(stride, image.height);
  std::vector<uint8_t> buffer;
  try {
    buffer.resize(stride * band);
  } catch (const std::bad_alloc&) {
    error = "not enough memory for the image";
    return false;
  }
  for (UINT y = 0; y < h; y += band) {
    const UINT rows = std::min(band, h - y);
    const WICRect rect{0, INT(y), INT(w), INT(rows)};
    hr = source->CopyPixels(&rect, UINT(stride), UINT(stride * rows), buffer.data());
    if (FAILED(hr)) {
      error = Describe(format, "cannot decode the pixels", hr);
      decoderRefused = true;
      return false;
    }
    for (UINT r = 0; r < rows; ++r)
      MapRow(buffer.data() + r * stride, layout->storedChannels, pick,
             image.pixels.data() + size_t(y + r) * image.RowBytes(), sampleBytes, image.width);
  }
  return true;
}

// Uncompressed TIFFs of contiguous 8- or 16-bit samples in strips, read
// directly when the system's decoder refuses them: Wine's has no CMYK with
// alpha, which WritePlainTiff produces. False with `applies` unset
// for every other kind of TIFF.
bool ReadPlainTiff(const Source& source, Image& image, bool& applies, std::string& error) {
  applies = false;
  FILE* f = std::fopen(source.path.c_str(), "rb");
  if (!f) return false;
  TiffDirectory d;
  bool ok = ReadTiffDirectory(f, d);
  const uint32_t photometric = d.Value(262, 99), spp = d.Value(277, 1), depth = d.Value(258, 1);
  const int colours = photometric == 5 ? 4 : photometric == 2 ? 3 : 1;
  const std::vector<uint32_t> none;
  const auto tag = [&d, &none](uint32_t t) -> const std::vector<uint32_t>& {
    const auto found = d.tags.find(t);
    return found == d.tags.end() ? none : found->second;
  };
  const std::vector<uint32_t>&offsets = tag(273), &counts = tag(279), &bits = tag(258);
  ok = ok && d.Value(259, 1) == 1 && d.Value(284, 1) == 1 && d.tags.count(322) == 0 &&
       (photometric == 1 || photometric == 2 || photometric == 5) &&
       (spp == uint32_t(colours) || spp == uint32_t(colours) + 1) &&
       (depth == 8 || depth == 16) && bits.size() == spp &&
       std::all_of(bits.begin(), bits.end(), [depth](uint32_t b) { return b == depth; }) && !offsets.empty() &&
       offsets.size() == counts.size();
  if (!ok) {
    std::fclose(f);
    return false;
  }
  applies = true;
  ok = SizeAcceptable(d.Value(256, 0), d.Value(257, 0), source, 8, error);
  if (ok) {
    image.width = int(d.Value(256, 0));
    image.height = int(d.Value(257, 0));
    image.mode = colours == 4 ? ImageMode::CMYK : colours == 3 ? ImageMode::RGB : ImageMode::Gray;
    image.depth = int(depth);
    image.hasAlpha = spp == uint32_t(colours) + 1;
    image.format = FileFormat::TIFF;
    ok = Allocate(image, error);
  }
  const uint64_t rowBytes = image.RowBytes();
  const uint64_t rowsPerStrip = std::max<uint32_t>(1, d.Value(278, uint32_t(image.height)));
  for (uint64_t s = 0, y = 0; ok && y < uint64_t(image.height); ++s, y += rowsPerStrip) {
    const uint64_t rows = std::min<uint64_t>(rowsPerStrip, uint64_t(image.height) - y);
    const size_t bytes = size_t(rows * rowBytes);
    ok = s < offsets.size() && counts[s] >= bytes && Seek(f, offsets[s]) &&
         std::fread(image.pixels.data() + y * rowBytes, 1, bytes, f) == bytes;
    if (!ok) error = "TIFF: the file is truncated or damaged";
  }
  std::fclose(f);
  if (ok && depth == 16 && !d.little)
    for (size_t i = 0; i + 1 < image.pixels.size(); i += 2) std::swap(image.pixels[i], image.pixels[i + 1]);
  return ok;
}

// ---- Writing --------------------------------------------------------------

void SetOption(IPropertyBag2* options, const wchar_t* name, const VARIANT& value) {
  PROPBAG2 option{};
  std::wstring copy(name);
  option.pstrName = &copy[0];
  // An encoder that does not know an option keeps its default.
  options->Write(1, &option, const_cast<VARIANT*>(&value));
}

// What an encoder does to the samples it is given, beyond storing them. Not
// every WIC implementation agrees: Wine's writes 16-bit PNG samples in the
// wrong byte order and stores CMYK JPEG samples uninverted under the Adobe
// marker that makes every reader (its own included) invert them.
enum class Quirk { None, SwapBytes, InvertInk };

const GUID& Container(FileFormat format) {
  return format == FileFormat::PNG ? GUID_ContainerFormatPng
         : format == FileFormat::JPEG ? GUID_ContainerFormatJpeg : GUID_ContainerFormatTiff;
}

bool Compatible(const Layout* layout, ImageMode mode, int depth, bool alpha) {
  return layout && layout->mode == mode && layout->depth == depth && layout->alpha == alpha;
}

void FixSamples(Quirk quirk, const Layout& layout, uint8_t* row, int width) {
  if (quirk == Quirk::SwapBytes) {
    const size_t samples = size_t(width) * size_t(layout.storedChannels);
    for (size_t i = 0; i < samples; ++i) std::swap(row[2 * i], row[2 * i + 1]);
  } else if (quirk == Quirk::InvertInk) {
    const size_t sampleBytes = layout.depth / 8;
    for (int x = 0; x < width; ++x)
      for (int c = 0; c < 4; ++c)
        for (size_t b = 0; b < sampleBytes; ++b)
          row[(size_t(x) * size_t(layout.storedChannels) + size_t(c)) * sampleBytes + b] ^= 0xFF;
  }
}

// Encodes `image` into `stream`, asking for the layout `wanted`. When the
// encoder offers only a layout that would change the picture, nothing is
// written and the answer is WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT.
HRESULT Encode(IWICImagingFactory* factory, FileFormat format, IStream* stream, const Image& image,
               ImageMode wicMode, const Layout& wanted, Quirk quirk) {
  ComRef<IWICBitmapEncoder> encoder;
  ComRef<IWICBitmapFrameEncode> frame;
  ComRef<IPropertyBag2> options;
  HRESULT hr = factory->CreateEncoder(Container(format), nullptr, encoder.Out());
  if (SUCCEEDED(hr)) hr = encoder->Initialize(stream, WICBitmapEncoderNoCache);
  if (SUCCEEDED(hr)) hr = encoder->CreateNewFrame(frame.Out(), options.Out());
  if (SUCCEEDED(hr) && options) {
    VARIANT value;
    VariantInit(&value);
    if (format == FileFormat::JPEG) {
      value.vt = VT_R4;
      value.fltVal = 0.92f;
      SetOption(options.Get(), L"ImageQuality", value);
    } else if (format == FileFormat::TIFF) {
      value.vt = VT_UI1;
      value.bVal = WICTiffCompressionZIP;
      SetOption(options.Get(), L"TiffCompressionMethod", value);
    }
  }
  if (SUCCEEDED(hr)) hr = frame->Initialize(options.Get());
  if (SUCCEEDED(hr)) hr = frame->SetSize(UINT(image.width), UINT(image.height));
  WICPixelFormatGUID pixelFormat = *wanted.format;
  if (SUCCEEDED(hr)) hr = frame->SetPixelFormat(&pixelFormat);
  if (FAILED(hr)) return hr;
  // The encoder answers with the nearest format it can write; the same
  // samples in another order will do.
  const Layout* layout = FindLayout(pixelFormat);
  if (!Compatible(layout, wicMode, image.depth, image.hasAlpha)) return WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT;
  if (quirk == Quirk::InvertInk && layout->mode != ImageMode::CMYK) quirk = Quirk::None;
  if (quirk == Quirk::SwapBytes && layout->depth != 16) quirk = Quirk::None;

  const std::vector<int> pick = StoredToImage(*layout, image.mode, image.hasAlpha);
  const size_t sampleBytes = image.BytesPerSample();
  const size_t stride = size_t(image.width) * size_t(layout->storedChannels) * sampleBytes;
  const UINT band = BandRows(stride, image.height);
  std::vector<uint8_t> buffer;
  try {
    buffer.resize(stride * band);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  }
  for (int y = 0; y < image.height && SUCCEEDED(hr); y += int(band)) {
    const UINT rows = std::min(band, UINT(image.height - y));
    for (UINT r = 0; r < rows; ++r) {
      uint8_t* row = buffer.data() + r * stride;
      MapRow(image.pixels.data() + size_t(y + int(r)) * image.RowBytes(), image.Channels(), pick, row, sampleBytes,
             image.width);
      FixSamples(quirk, *layout, row, image.width);
    }
    hr = frame->WritePixels(rows, UINT(stride), UINT(stride * rows), buffer.data());
  }
  if (SUCCEEDED(hr)) hr = frame->Commit();
  if (SUCCEEDED(hr)) hr = encoder->Commit();
  return hr;
}

// Writes a small uniform picture to memory, decodes it and compares: the
// answer says how to prepare samples so that they read back as given.
Quirk ProbeQuirk(IWICImagingFactory* factory, FileFormat format, const Layout& wanted) {
  Image probe;
  probe.width = probe.height = 8;
  probe.mode = wanted.mode;
  probe.depth = wanted.depth;
  probe.hasAlpha = wanted.alpha;
  probe.pixels.assign(probe.RowBytes() * 8, 0xFF);
  const int colours = ColourCount(probe.mode);
  for (size_t p = 0; p < 64; ++p)
    for (int c = 0; c < colours; ++c) {
      uint8_t* sample = &probe.pixels[(p * size_t(probe.Channels()) + size_t(c)) * probe.BytesPerSample()];
      sample[0] = 0x12;  // 16-bit: 0x3412 in memory order 12 34
      if (probe.depth == 16) sample[1] = 0x34;
    }
  ComRef<IStream> stream;
  ComRef<IWICBitmapDecoder> decoder;
  ComRef<IWICBitmapFrameDecode> frame;
  HRESULT hr = CreateStreamOnHGlobal(nullptr, TRUE, stream.Out());
  if (SUCCEEDED(hr)) hr = Encode(factory, format, stream.Get(), probe, wanted.mode, wanted, Quirk::None);
  LARGE_INTEGER zero{};
  if (SUCCEEDED(hr)) hr = stream->Seek(zero, STREAM_SEEK_SET, nullptr);
  if (SUCCEEDED(hr))
    hr = factory->CreateDecoderFromStream(stream.Get(), nullptr, WICDecodeMetadataCacheOnDemand, decoder.Out());
  if (SUCCEEDED(hr)) hr = decoder->GetFrame(0, frame.Out());
  WICPixelFormatGUID decoded{};
  if (SUCCEEDED(hr)) hr = frame->GetPixelFormat(&decoded);
  const Layout* layout = SUCCEEDED(hr) ? FindLayout(decoded) : nullptr;
  if (!layout || layout->mode != wanted.mode || layout->depth != wanted.depth) return Quirk::None;
  std::vector<uint8_t> pixel(size_t(layout->storedChannels) * size_t(layout->depth / 8));
  const WICRect one{0, 0, 1, 1};
  if (FAILED(frame->CopyPixels(&one, UINT(pixel.size()), UINT(pixel.size()), pixel.data()))) return Quirk::None;
  // The first stored sample is a colour sample in every layout of the table.
  if (probe.depth == 16 && pixel[0] == 0x34 && pixel[1] == 0x12) return Quirk::SwapBytes;
  // Inverted, 0x12 (or 0x3412) reads back near 0xED (0xCBED); JPEG may round.
  const int high = probe.depth == 16 ? pixel[1] : pixel[0];
  if (probe.mode == ImageMode::CMYK && std::abs(high - (probe.depth == 16 ? 0xCB : 0xED)) <= 3) return Quirk::InvertInk;
  return Quirk::None;
}

// The probe runs once per format and layout in the life of the process.
Quirk EncoderQuirk(IWICImagingFactory* factory, FileFormat format, const Layout& wanted) {
  static std::mutex mutex;
  static std::map<std::pair<int, const GUID*>, Quirk> known;
  std::lock_guard<std::mutex> lock(mutex);
  const auto key = std::make_pair(int(format), wanted.format);
  auto found = known.find(key);
  if (found == known.end()) found = known.emplace(key, ProbeQuirk(factory, format, wanted)).first;
  return found->second;
}

bool WriteWic(FileFormat format, const std::string& path, const Image& image, std::string& error) {
  if (format == FileFormat::JPEG && (image.depth != 8 || image.hasAlpha)) {
    error = "JPEG holds only 8-bit images without transparency; write PNG or TIFF instead";
    return false;
  }
  if (format == FileFormat::PNG && image.mode == ImageMode::CMYK) {
    error = "PNG holds no CMYK images; write TIFF or JPEG instead";
    return false;
  }
  // WIC has no grey-with-alpha format: such an image is written as RGBA.
  const ImageMode wicMode = image.mode == ImageMode::Gray && image.hasAlpha ? ImageMode::RGB : image.mode;
  const Layout* wanted = FindLayout(wicMode, image.depth, image.hasAlpha);
  if (!wanted) {
    error = std::string(FormatName(format)) + ": this kind of image cannot be written";
    return false;
  }
  IWICImagingFactory* factory = Factory(error);
  if (!factory) return false;
  std::wstring wide;
  if (!Widen(path, wide, error)) return false;
  const Quirk quirk = EncoderQuirk(factory, format, *wanted);

  HRESULT hr;
  {
    ComRef<IWICStream> stream;
    hr = factory->CreateStream(stream.Out());
    if (SUCCEEDED(hr)) hr = stream->InitializeFromFilename(wide.c_str(), GENERIC_WRITE);
    if (FAILED(hr)) {
      error = "cannot create '" + path + "'";
      return false;
    }
    hr = Encode(factory, format, stream.Get(), image, wicMode, *wanted, quirk);
  }  // the file is closed here
  if (hr == WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT && format == FileFormat::TIFF)
    return WritePlainTiff(path, image, error);
  if (hr == WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT) {
    error = std::string(FormatName(format)) + ": this system's encoder cannot write " +
            (image.mode == ImageMode::CMYK ? "CMYK" : image.mode == ImageMode::Gray ? "grey" : "RGB") +
            (image.hasAlpha ? " images with transparency" : " images") + " of " + std::to_string(image.depth) +
            " bits";
    return false;
  }
  if (FAILED(hr)) {
    error = Describe(format, "cannot write the file", hr);
    return false;
  }
  return true;
}

}  // namespace

bool ReadCompressed(FileFormat format, const Source& source, Image& image, std::string& error) {
  bool decoderRefused = false;
  if (ReadWic(format, source, image, decoderRefused, error)) return true;
  if (format != FileFormat::TIFF || !decoderRefused) return false;
  std::string plainError;
  bool applies = false;
  image = Image{};
  if (ReadPlainTiff(source, image, applies, plainError)) return true;
  if (applies) error = plainError;
  return false;
}

// The system's encoder writes by name: the temporary file's stream is
// closed first so that the encoder can open it.
bool WriteCompressed(FileFormat format, TempFile& file, const Image& image, std::string& error) {
  file.CloseStream();
  return WriteWic(format, file.Path(), image, error);
}

}  // namespace rf::tools::codecs
