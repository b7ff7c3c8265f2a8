#include <png.h>
#include <tiffio.h>
#include <unistd.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

// jpeglib.h needs FILE and size_t declared before it.
#include <jpeglib.h>
#include <jerror.h>

#include "tools/imagefile/image_codecs.h"

namespace rf::tools::codecs {

namespace {

// ---- PNG ------------------------------------------------------------------

void PngError(png_structp png, png_const_charp message) {
  auto* error = static_cast<std::string*>(png_get_error_ptr(png));
  if (error) *error = std::string("PNG: ") + message;
  png_longjmp(png, 1);
}
void PngWarning(png_structp, png_const_charp) {}

bool ReadPng(FILE* f, const Source& source, Image& image, std::string& error) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &error, PngError, PngWarning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!png || !info) {
    png_destroy_read_struct(&png, &info, nullptr);
    error = "PNG: out of memory";
    return false;
  }
  std::vector<png_bytep> rows;
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_init_io(png, f);
  png_set_user_limits(png, 2000000, 2000000);
  // No chunk is longer than the file, and what a compressed text or profile
  // chunk inflates to is bounded the same way, so a header that claims
  // gigabytes costs nothing.
  const uint64_t chunkLimit = std::min<uint64_t>(std::max<uint64_t>(source.bytes, 1u << 20), 64u << 20);
  png_set_chunk_malloc_max(png, png_alloc_size_t(chunkLimit));
  png_read_info(png, info);
  const png_uint_32 w = png_get_image_width(png, info), h = png_get_image_height(png, info);
  if (!SizeAcceptable(w, h, source, kPngPixelsPerByte, error)) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  const int colorType = png_get_color_type(png, info);
  int bitDepth = png_get_bit_depth(png, info);
  if (colorType == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  if (colorType == PNG_COLOR_TYPE_GRAY && bitDepth < 8) png_set_expand_gray_1_2_4_to_8(png);
  if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
  if (bitDepth == 16) png_set_swap(png);  // native little-endian samples
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  const int outType = png_get_color_type(png, info);
  bitDepth = png_get_bit_depth(png, info);
  image.width = int(w);
  image.height = int(h);
  image.depth = bitDepth == 16 ? 16 : 8;
  image.mode = (outType & PNG_COLOR_MASK_COLOR) ? ImageMode::RGB : ImageMode::Gray;
  image.hasAlpha = (outType & PNG_COLOR_MASK_ALPHA) != 0;
  image.format = FileFormat::PNG;
  if (png_get_rowbytes(png, info) != image.RowBytes()) {
    error = "PNG: unsupported sample layout";
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  if (!Allocate(image, error)) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  rows.resize(size_t(h));
  for (size_t y = 0; y < h; ++y) rows[y] = image.pixels.data() + y * image.RowBytes();
  png_read_image(png, rows.data());
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}

bool WritePng(FILE* f, const Image& image, std::string& error) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &error, PngError, PngWarning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!png || !info) {
    png_destroy_write_struct(&png, &info);
    error = "PNG: out of memory";
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  int type = image.mode == ImageMode::Gray ? PNG_COLOR_TYPE_GRAY : PNG_COLOR_TYPE_RGB;
  if (image.hasAlpha) type |= PNG_COLOR_MASK_ALPHA;
  png_init_io(png, f);
  png_set_compression_level(png, 6);
  png_set_IHDR(png, info, png_uint_32(image.width), png_uint_32(image.height), image.depth, type,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  if (image.depth == 16) png_set_swap(png);
  for (int y = 0; y < image.height; ++y)
    png_write_row(png, const_cast<png_bytep>(image.pixels.data() + size_t(y) * image.RowBytes()));
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

// ---- JPEG -----------------------------------------------------------------

struct JpegErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

void JpegErrorExit(j_common_ptr cinfo) {
  auto* mgr = reinterpret_cast<JpegErrorManager*>(cinfo->err);
  cinfo->err->format_message(cinfo, mgr->message);
  std::longjmp(mgr->jump, 1);
}

// The library would fill the rest of a truncated file with grey and call it
// a warning; a damaged photograph is refused instead.
void JpegMessage(j_common_ptr cinfo, int level) {
  if (level >= 0 || cinfo->err->msg_code != JWRN_JPEG_EOF) return;
  auto* mgr = reinterpret_cast<JpegErrorManager*>(cinfo->err);
  std::snprintf(mgr->message, sizeof mgr->message, "the file is truncated");
  std::longjmp(mgr->jump, 1);
}

bool ReadJpeg(FILE* f, const Source& source, Image& image, std::string& error) {
  jpeg_decompress_struct cinfo{};
  JpegErrorManager err{};
  cinfo.err = jpeg_std_error(&err.base);
  err.base.error_exit = JpegErrorExit;
  err.base.emit_message = JpegMessage;
  if (setjmp(err.jump)) {
    error = std::string("JPEG: ") + err.message;
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_stdio_src(&cinfo, f);
  jpeg_read_header(&cinfo, TRUE);
  if (cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK) {
    cinfo.out_color_space = JCS_CMYK;
  } else if (cinfo.num_components == 1) {
    cinfo.out_color_space = JCS_GRAYSCALE;
  } else {
    cinfo.out_color_space = JCS_RGB;
  }
  if (!SizeAcceptable(cinfo.image_width, cinfo.image_height, source,
                      cinfo.arith_code ? kArithmeticJpegPixelsPerByte : kJpegPixelsPerByte, error)) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  jpeg_start_decompress(&cinfo);
  image.width = int(cinfo.output_width);
  image.height = int(cinfo.output_height);
  image.depth = 8;
  image.hasAlpha = false;
  image.mode = cinfo.out_color_space == JCS_CMYK ? ImageMode::CMYK
               : cinfo.out_color_space == JCS_GRAYSCALE ? ImageMode::Gray : ImageMode::RGB;
  image.format = FileFormat::JPEG;
  if (!Allocate(image, error)) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = image.pixels.data() + size_t(cinfo.output_scanline) * image.RowBytes();
    jpeg_read_scanlines(&cinfo, &row, 1);
  }
  // Adobe writes CMYK JPEGs inverted; undo it so that 0 means no ink.
  if (image.mode == ImageMode::CMYK && cinfo.saw_Adobe_marker)
    for (uint8_t& b : image.pixels) b = uint8_t(255 - b);
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return true;
}

bool WriteJpeg(FILE* f, const Image& image, std::string& error) {
  if (image.depth != 8 || image.hasAlpha) {
    error = "JPEG holds only 8-bit images without transparency; write PNG or TIFF instead";
    return false;
  }
  jpeg_compress_struct cinfo{};
  JpegErrorManager err{};
  cinfo.err = jpeg_std_error(&err.base);
  err.base.error_exit = JpegErrorExit;
  if (setjmp(err.jump)) {
    error = std::string("JPEG: ") + err.message;
    jpeg_destroy_compress(&cinfo);
    return false;
  }
  jpeg_create_compress(&cinfo);
  jpeg_stdio_dest(&cinfo, f);
  cinfo.image_width = JDIMENSION(image.width);
  cinfo.image_height = JDIMENSION(image.height);
  cinfo.input_components = image.ColourChannels();
  cinfo.in_color_space = image.mode == ImageMode::Gray ? JCS_GRAYSCALE
                         : image.mode == ImageMode::CMYK ? JCS_CMYK : JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 92, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  // libjpeg marks CMYK files as Adobe's, whose ink is stored inverted; the
  // reader undoes that, so the writer must do it.
  const bool invert = image.mode == ImageMode::CMYK;
  std::vector<uint8_t> inverted(invert ? image.RowBytes() : 0);
  while (cinfo.next_scanline < cinfo.image_height) {
    const uint8_t* source = image.pixels.data() + size_t(cinfo.next_scanline) * image.RowBytes();
    if (invert) {
      for (size_t i = 0; i < inverted.size(); ++i) inverted[i] = uint8_t(255 - source[i]);
      source = inverted.data();
    }
    JSAMPROW row = const_cast<JSAMPROW>(source);
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  return true;
}

// ---- TIFF -----------------------------------------------------------------

void TiffSilence(const char*, const char*, va_list) {}

// The bytes of image data the first page stores, within the file.
uint64_t TiffDataBytes(TIFF* tif, uint64_t fileBytes) {
  const bool tiled = TIFFIsTiled(tif);
  uint64_t* counts = nullptr;
  if (!TIFFGetField(tif, tiled ? TIFFTAG_TILEBYTECOUNTS : TIFFTAG_STRIPBYTECOUNTS, &counts) || !counts) return 0;
  const uint32_t pieces = tiled ? TIFFNumberOfTiles(tif) : TIFFNumberOfStrips(tif);
  uint64_t sum = 0;
  for (uint32_t i = 0; i < pieces && sum < fileBytes; ++i) sum += std::min(counts[i], fileBytes);
  return std::min(sum, fileBytes);
}

bool ReadTiff(const Source& source, Image& image, std::string& error) {
  TIFFSetErrorHandler(TiffSilence);
  TIFFSetWarningHandler(TiffSilence);
  TIFF* tif = TIFFOpen(source.path.c_str(), "r");
  if (!tif) {
    error = "TIFF: cannot read the file";
    return false;
  }
  uint32_t w = 0, h = 0;
  uint16_t spp = 1, bps = 8, photometric = PHOTOMETRIC_RGB, planar = PLANARCONFIG_CONTIG, extra = 0;
  uint16_t* extraTypes = nullptr;
  TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w);
  TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h);
  TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &spp);
  TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bps);
  TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
  TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric);
  TIFFGetFieldDefaulted(tif, TIFFTAG_EXTRASAMPLES, &extra, &extraTypes);
  uint16_t compression = COMPRESSION_NONE;
  TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
  // Uncompressed samples take at least a bit a pixel; anything else gets
  // the wide bound.
  const uint64_t perByte = compression == COMPRESSION_NONE ? 8 : kAnyPixelsPerByte;
  const uint64_t dataBytes = TiffDataBytes(tif, source.bytes);
  bool ok = SizeAcceptable(w, h, Source{source.path, dataBytes, source.limits}, perByte, error);
  // A pixel's cost is its samples times their bits, and a header may claim
  // thousands of samples: what the decoder works through is bounded by the
  // data too, not only the pixel count.
  const uint64_t rawBytes = (uint64_t(w) * spp * bps + 7) / 8 * h;
  const uint64_t rawLimit = std::max(source.limits.alwaysDecodedPixels * 8,
                                     compression == COMPRESSION_NONE ? dataBytes : dataBytes * (kAnyPixelsPerByte / 8));
  if (ok && (spp == 0 || spp > 8 || bps == 0 || bps > 32)) {
    error = "TIFF: pixels of " + std::to_string(spp) + " samples of " + std::to_string(bps) + " bits are not read";
    ok = false;
  } else if (ok && rawBytes > rawLimit) {
    error = "TIFF: the header claims " + std::to_string(rawBytes) + " bytes of samples, more than the file's " +
            std::to_string(dataBytes) + " bytes of data can hold; the file is damaged or truncated";
    ok = false;
  }
  const int pages = int(std::min<uint64_t>(TIFFNumberOfDirectories(tif), 1000000));
  const bool plain = (bps == 8 || bps == 16) && planar == PLANARCONFIG_CONTIG && !TIFFIsTiled(tif);
  int colour = photometric == PHOTOMETRIC_SEPARATED ? 4 : (photometric == PHOTOMETRIC_RGB ? 3 : 1);
  if (ok && plain && (photometric == PHOTOMETRIC_RGB || photometric == PHOTOMETRIC_SEPARATED ||
                      photometric == PHOTOMETRIC_MINISBLACK) &&
      (spp == colour || spp == colour + 1)) {
    image.width = int(w);
    image.height = int(h);
    image.depth = bps;
    image.mode = colour == 4 ? ImageMode::CMYK : colour == 3 ? ImageMode::RGB : ImageMode::Gray;
    image.hasAlpha = spp == colour + 1;
    image.format = FileFormat::TIFF;
    image.pages = std::max(pages, 1);
    ok = Allocate(image, error);
    for (uint32_t y = 0; ok && y < h; ++y) {
      if (TIFFReadScanline(tif, image.pixels.data() + size_t(y) * image.RowBytes(), y, 0) < 0) {
        error = "TIFF: the file is truncated or damaged";
        ok = false;
      }
    }
  } else if (ok) {
    // Everything else (palettes, tiles, odd depths) through libtiff's RGBA path.
    image.width = int(w);
    image.height = int(h);
    image.depth = 8;
    image.mode = ImageMode::RGB;
    image.hasAlpha = true;
    image.format = FileFormat::TIFF;
    image.pages = std::max(pages, 1);
    std::vector<uint32_t> raster;
    try {
      raster.resize(size_t(w) * h);
    } catch (const std::bad_alloc&) {
      error = "not enough memory for the image";
      ok = false;
    }
    if (ok && !TIFFReadRGBAImageOriented(tif, w, h, raster.data(), ORIENTATION_TOPLEFT, 0)) {
      error = "TIFF: unsupported or damaged file";
      ok = false;
    }
    if (ok) ok = Allocate(image, error);
    for (size_t i = 0; ok && i < raster.size(); ++i) {
      image.pixels[i * 4 + 0] = uint8_t(TIFFGetR(raster[i]));
      image.pixels[i * 4 + 1] = uint8_t(TIFFGetG(raster[i]));
      image.pixels[i * 4 + 2] = uint8_t(TIFFGetB(raster[i]));
      image.pixels[i * 4 + 3] = uint8_t(TIFFGetA(raster[i]));
    }
  }
  TIFFClose(tif);
  return ok;
}

bool WriteTiff(TempFile& file, const Image& image, std::string& error) {
  TIFFSetErrorHandler(TiffSilence);
  TIFFSetWarningHandler(TiffSilence);
  // libtiff closes the descriptor it is given; the temporary file's own
  // stays open for the writer that renames it.
  const int fd = dup(fileno(file.Stream()));
  TIFF* tif = fd < 0 ? nullptr : TIFFFdOpen(fd, file.Path().c_str(), "w");
  if (!tif && fd >= 0) close(fd);
  if (!tif) {
    error = "TIFF: cannot create the file";
    return false;
  }
  const uint16_t photometric = image.mode == ImageMode::CMYK ? PHOTOMETRIC_SEPARATED
                               : image.mode == ImageMode::RGB ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK;
  TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, uint32_t(image.width));
  TIFFSetField(tif, TIFFTAG_IMAGELENGTH, uint32_t(image.height));
  TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, uint16_t(image.Channels()));
  TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, uint16_t(image.depth));
  TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, photometric);
  TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
  TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tif, 0));
  if (image.hasAlpha) {
    const uint16_t type = EXTRASAMPLE_UNASSALPHA;
    TIFFSetField(tif, TIFFTAG_EXTRASAMPLES, 1, &type);
  }
  bool ok = true;
  for (int y = 0; ok && y < image.height; ++y)
    ok = TIFFWriteScanline(tif, const_cast<uint8_t*>(image.pixels.data() + size_t(y) * image.RowBytes()),
                           uint32_t(y), 0) >= 0;
  TIFFClose(tif);
  if (!ok) error = "TIFF: cannot write the file";
  return ok;
}

}  // namespace

bool ReadCompressed(FileFormat format, const Source& source, Image& image, std::string& error) {
  if (format == FileFormat::TIFF) return ReadTiff(source, image, error);
  FILE* f = std::fopen(source.path.c_str(), "rb");
  if (!f) {
    error = "cannot open the file";
    return false;
  }
  const bool ok = format == FileFormat::PNG ? ReadPng(f, source, image, error) : ReadJpeg(f, source, image, error);
  std::fclose(f);
  return ok;
}

bool WriteCompressed(FileFormat format, TempFile& file, const Image& image, std::string& error) {
  if (format == FileFormat::TIFF) return WriteTiff(file, image, error);
  if (format == FileFormat::PNG && image.mode == ImageMode::CMYK) {
    error = "PNG holds no CMYK images; write TIFF or JPEG instead";
    return false;
  }
  return format == FileFormat::PNG ? WritePng(file.Stream(), image, error) : WriteJpeg(file.Stream(), image, error);
}

}  // namespace rf::tools::codecs
