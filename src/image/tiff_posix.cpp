// libtiff. Plain kinds of TIFF (gray, palette, RGB, at most 16 bits, samples side by side) are
// read a row at a time, however the file is cut into strips; the rest (YCbCr, CMYK, tiles,
// separate planes) through libtiff's RGBA interface, a strip or a row of tiles at a time.
#include <sys/stat.h>
#include <tiffio.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "image/codec.h"

namespace kal2map {
namespace {

// libtiff reads through these, so that the file stays ours and is closed once.
tmsize_t ReadProc(thandle_t file, void* out, tmsize_t size) {
  return static_cast<tmsize_t>(std::fread(out, 1, size, static_cast<std::FILE*>(file)));
}
tmsize_t WriteProc(thandle_t, void*, tmsize_t) { return -1; }
toff_t SeekProc(thandle_t file, toff_t offset, int whence) {
  auto* f = static_cast<std::FILE*>(file);
  if (offset > static_cast<toff_t>(INT64_MAX)) return static_cast<toff_t>(-1);
  if (fseeko(f, static_cast<off_t>(offset), whence) != 0) return static_cast<toff_t>(-1);
  return static_cast<toff_t>(ftello(f));
}
int CloseProc(thandle_t) { return 0; }
toff_t SizeProc(thandle_t file) {
  struct stat s;
  return ::fstat(fileno(static_cast<std::FILE*>(file)), &s) == 0 ? static_cast<toff_t>(s.st_size)
                                                                 : 0;
}
int MapProc(thandle_t, void**, toff_t*) { return 0; }
void UnmapProc(thandle_t, void*, toff_t) {}

std::error_code Damaged() { return MakeError(ImageError::kDamaged); }

class TiffRows final : public ImageRows {
 public:
  TiffRows(std::FILE* file, TIFF* tiff) : file_(file), tiff_(tiff) {}
  ~TiffRows() override {
    if (tiff_ != nullptr) TIFFClose(tiff_);
    std::fclose(file_);
  }
  std::uint32_t width() const override { return width_; }
  std::uint32_t height() const override { return height_; }

  std::error_code Start() {
    if (tiff_ == nullptr) return Damaged();
    TIFFGetField(tiff_, TIFFTAG_IMAGEWIDTH, &width_);
    TIFFGetField(tiff_, TIFFTAG_IMAGELENGTH, &height_);
    if (const std::error_code ec = image::CheckSize(width_, height_)) return ec;
    std::uint16_t compression = COMPRESSION_NONE, planar = PLANARCONFIG_CONTIG,
                  format = SAMPLEFORMAT_UINT, extras = 0, *extra_kinds = nullptr;
    TIFFGetFieldDefaulted(tiff_, TIFFTAG_COMPRESSION, &compression);
    if (!TIFFIsCODECConfigured(compression)) return image::Unsupported(image::Format::kTiff);
    TIFFGetFieldDefaulted(tiff_, TIFFTAG_BITSPERSAMPLE, &bits_);
    TIFFGetFieldDefaulted(tiff_, TIFFTAG_SAMPLESPERPIXEL, &samples_);
    TIFFGetFieldDefaulted(tiff_, TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetFieldDefaulted(tiff_, TIFFTAG_SAMPLEFORMAT, &format);
    TIFFGetFieldDefaulted(tiff_, TIFFTAG_EXTRASAMPLES, &extras, &extra_kinds);
    const bool has_photometric = TIFFGetField(tiff_, TIFFTAG_PHOTOMETRIC, &photometric_);
    colours_ = photometric_ == PHOTOMETRIC_RGB ? 3 : 1;
    if (extras > 0 && samples_ > colours_) {
      if (extra_kinds[0] == EXTRASAMPLE_ASSOCALPHA) alpha_ = kPremultiplied;
      if (extra_kinds[0] == EXTRASAMPLE_UNASSALPHA) alpha_ = kStraight;
    }
    if (has_photometric && planar == PLANARCONFIG_CONTIG && format == SAMPLEFORMAT_UINT &&
        !TIFFIsTiled(tiff_) && ByRows()) {
      if (photometric_ == PHOTOMETRIC_PALETTE && !ReadPalette()) return Damaged();
      const tmsize_t size = TIFFScanlineSize(tiff_);
      if (size < static_cast<tmsize_t>((std::uint64_t{width_} * samples_ * bits_ + 7) / 8))
        return Damaged();
      // Thousands of extra samples a pixel make a row of gigabytes.
      if (const std::error_code ec =
              image::CheckHeld(image::Format::kTiff, {static_cast<std::uint64_t>(size)}))
        return ec;
      line_.resize(static_cast<std::size_t>(size));
      return {};
    }
    char why[1024];
    if (!TIFFRGBAImageOK(tiff_, why)) return image::Unsupported(image::Format::kTiff);
    std::uint64_t band_width = width_;
    if (TIFFIsTiled(tiff_)) {
      TIFFGetField(tiff_, TIFFTAG_TILEWIDTH, &tile_width_);
      TIFFGetField(tiff_, TIFFTAG_TILELENGTH, &band_rows_);
      if (tile_width_ == 0) return Damaged();
      band_width = (band_width + tile_width_ - 1) / tile_width_ * tile_width_;
    } else {
      TIFFGetFieldDefaulted(tiff_, TIFFTAG_ROWSPERSTRIP, &band_rows_);
      band_rows_ = std::min(band_rows_, height_);
    }
    if (band_rows_ == 0) return Damaged();
    // One strip holding a whole large picture is allowed by TIFF, but not by memory: the band
    // of RGBA, and the library's own copy of the strip or tiles as stored.
    if (band_width > image::kMaxWidth) return MakeError(ImageError::kTooLarge);
    const std::uint64_t stored = (std::uint64_t{samples_} * bits_ + 7) / 8;
    if (const std::error_code ec =
            image::CheckHeld(image::Format::kTiff, {band_width, band_rows_, 4 + stored}))
      return ec;
    band_.resize(band_width * band_rows_);
    if (tile_width_ != 0) tile_.resize(std::size_t{tile_width_} * band_rows_);
    return {};
  }

  std::error_code NextRow(std::uint8_t* rgb) override {
    if (failed_ || row_ >= height_) return std::make_error_code(std::errc::result_out_of_range);
    failed_ = true;
    if (!line_.empty()) {
      if (TIFFReadScanline(tiff_, line_.data(), row_) < 0) return Damaged();
      FromLine(rgb);
    } else {
      if (row_ % band_rows_ == 0 && !ReadBand()) return Damaged();
      // The RGBA interface puts the band's bottom row first.
      const std::uint32_t rows = std::min(band_rows_, height_ - (row_ - row_ % band_rows_));
      const std::uint32_t stored = (tile_width_ != 0 ? band_rows_ : rows) - 1 - row_ % band_rows_;
      const std::uint32_t* px = &band_[std::size_t{stored} * BandWidth()];
      for (std::uint32_t x = 0; x < width_; ++x) {
        const unsigned a = TIFFGetA(px[x]);
        rgb[3 * x] = Premultiplied(TIFFGetR(px[x]), a);
        rgb[3 * x + 1] = Premultiplied(TIFFGetG(px[x]), a);
        rgb[3 * x + 2] = Premultiplied(TIFFGetB(px[x]), a);
      }
    }
    ++row_;
    failed_ = false;
    return {};
  }

 private:
  enum Alpha { kNone, kStraight, kPremultiplied };

  static std::uint8_t Premultiplied(unsigned sample, unsigned alpha) {
    return static_cast<std::uint8_t>(std::min(255u, sample + 255 - alpha));
  }

  bool ByRows() const {
    switch (photometric_) {
      case PHOTOMETRIC_MINISBLACK:
      case PHOTOMETRIC_MINISWHITE:
        return bits_ == 1 || bits_ == 2 || bits_ == 4 || bits_ == 8 || bits_ == 16;
      case PHOTOMETRIC_PALETTE:
        return samples_ == 1 && (bits_ == 1 || bits_ == 2 || bits_ == 4 || bits_ == 8);
      case PHOTOMETRIC_RGB:
        return samples_ >= 3 && (bits_ == 8 || bits_ == 16);
    }
    return false;
  }

  bool ReadPalette() {
    std::uint16_t *r, *g, *b;
    if (!TIFFGetField(tiff_, TIFFTAG_COLORMAP, &r, &g, &b)) return false;
    const int entries = 1 << bits_;
    // Some writers store 8-bit values in the 16-bit table.
    bool eight = true;
    for (int i = 0; i < entries; ++i) eight = eight && r[i] < 256 && g[i] < 256 && b[i] < 256;
    const int shift = eight ? 0 : 8;
    for (int i = 0; i < entries; ++i) {
      palette_[i] = {static_cast<std::uint8_t>(r[i] >> shift),
                     static_cast<std::uint8_t>(g[i] >> shift),
                     static_cast<std::uint8_t>(b[i] >> shift)};
    }
    return true;
  }

  // Sample `i` of the row, as stored: bits of fewer than 8 from the highest bit down, 16 bits
  // in this machine's order, as libtiff leaves them.
  unsigned Sample(std::uint64_t i) const {
    if (bits_ == 8) return line_[i];
    if (bits_ == 16) {
      std::uint16_t v;
      std::memcpy(&v, &line_[2 * i], 2);
      return v;
    }
    const std::uint64_t bit = i * bits_;
    return (line_[bit / 8] >> (8 - bits_ - bit % 8)) & ((1u << bits_) - 1);
  }

  unsigned To8(unsigned v) const {
    if (bits_ == 16) return v >> 8;
    return bits_ == 8 ? v : v * 255 / ((1u << bits_) - 1);
  }

  void FromLine(std::uint8_t* rgb) const {
    for (std::uint64_t x = 0; x < width_; ++x, rgb += 3) {
      const std::uint64_t first = x * samples_;
      if (photometric_ == PHOTOMETRIC_PALETTE) {
        std::copy_n(palette_[Sample(first)].data(), 3, rgb);
        continue;
      }
      for (unsigned c = 0; c < 3; ++c) {
        unsigned v = To8(Sample(first + (colours_ == 3 ? c : 0)));
        if (photometric_ == PHOTOMETRIC_MINISWHITE) v = 255 - v;
        rgb[c] = static_cast<std::uint8_t>(v);
      }
      if (alpha_ != kNone) {
        const unsigned a = To8(Sample(first + colours_));
        for (int c = 0; c < 3; ++c) {
          rgb[c] = alpha_ == kStraight ? image::OverWhite(rgb[c], a) : Premultiplied(rgb[c], a);
        }
      }
    }
  }

  std::size_t BandWidth() const { return tile_width_ == 0 ? width_ : band_.size() / band_rows_; }

  bool ReadBand() {
    if (tile_width_ == 0) return TIFFReadRGBAStrip(tiff_, row_, band_.data()) != 0;
    // Each tile comes bottom row first, as the band does.
    for (std::uint32_t x = 0; x < width_; x += tile_width_) {
      if (!TIFFReadRGBATile(tiff_, x, row_, tile_.data())) return false;
      for (std::uint32_t y = 0; y < band_rows_; ++y) {
        std::copy_n(&tile_[std::size_t{y} * tile_width_], tile_width_,
                    &band_[std::size_t{y} * BandWidth() + x]);
      }
    }
    return true;
  }

  std::FILE* file_;
  TIFF* tiff_;
  std::uint32_t width_ = 0, height_ = 0, row_ = 0;
  std::uint16_t bits_ = 1, samples_ = 1, photometric_ = PHOTOMETRIC_MINISWHITE;
  unsigned colours_ = 1;
  Alpha alpha_ = kNone;
  bool failed_ = false;
  std::array<std::array<std::uint8_t, 3>, 256> palette_{};
  std::vector<std::uint8_t> line_;  // a row as stored, when read by rows
  std::uint32_t band_rows_ = 0, tile_width_ = 0;
  std::vector<std::uint32_t> band_, tile_;  // ABGR, when read through the RGBA interface
};

}  // namespace

std::unique_ptr<ImageRows> image::OpenTiffRows(std::FILE* file, std::error_code& ec) {
  // The library's messages would go to stderr, past the program's own.
  static const bool quiet = [] {
    TIFFSetErrorHandler(nullptr);
    TIFFSetWarningHandler(nullptr);
    return true;
  }();
  (void)quiet;
  // Nothing the library allocates for one file, a strip or a table of offsets, may pass the
  // decoder's budget, whatever the file's tags claim.
  TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
  TIFFOpenOptionsSetMaxSingleMemAlloc(options, static_cast<tmsize_t>(kDecoderBytes));
  TIFF* tiff = TIFFClientOpenExt("image", "rm", file, ReadProc, WriteProc, SeekProc, CloseProc,
                                 SizeProc, MapProc, UnmapProc, options);
  TIFFOpenOptionsFree(options);
  auto rows = std::make_unique<TiffRows>(file, tiff);
  if ((ec = rows->Start())) return nullptr;
  return rows;
}

}  // namespace kal2map
