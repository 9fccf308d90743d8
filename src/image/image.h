// Images decoded and encoded by the platform's own codecs (the Windows Imaging Component on
// Windows, Debian's libjpeg-turbo, libpng, libtiff and giflib elsewhere), so that the core
// never holds a codec of its own.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

namespace kal2map {

// The most memory the program may take for any one image, whatever its header claims, on
// Linux and in the 32-bit Windows program alike.
inline constexpr std::uint64_t kMemoryBudget = std::uint64_t{256} << 20;
// A decoder's share of it: the rest is for the warp's window of rows, a tile and the archive.
inline constexpr std::uint64_t kDecoderBytes = kMemoryBudget / 2;

// Why an image could not be decoded, beside the system's reasons for not reading it.
enum class ImageError {
  kUnknownFormat = 1,  // none of JPEG, PNG, BMP, GIF, TIFF
  kUnsupported,        // a kind of the format the platform cannot decode, e.g. RLE BMP
  kDamaged,            // truncated or inconsistent data
  kTooLarge,           // rows too wide to hold, or an image beyond the memory budget
};
std::error_code MakeError(ImageError e);
// The decoders' codes for kUnsupported and kTooLarge also name the format and the reason in
// their message, so compare a code with the condition, `ec == ImageError::kUnsupported`, not
// with MakeError's code.
std::error_condition make_error_condition(ImageError e);

// An image decoded from the top row down, one row at a time, as 8-bit RGB. The decoder holds
// a few rows where the format allows (baseline JPEG, non-interlaced PNG and GIF, strips of
// TIFF, BMP); progressive and interlaced images are held whole by their codec, and refused
// when that would take more than kDecoderBytes.
class ImageRows {
 public:
  virtual ~ImageRows() = default;
  virtual std::uint32_t width() const = 0;
  virtual std::uint32_t height() const = 0;
  // Decodes the next row into `rgb`, 3 * width() bytes. After an error no row follows.
  virtual std::error_code NextRow(std::uint8_t* rgb) = 0;
};

// The image at `path` ready for decoding, or null with the reason in `ec`.
std::unique_ptr<ImageRows> OpenImageRows(const std::filesystem::path& path, std::error_code& ec);

// A baseline (SOF0) JPEG, 8 bits per sample, of `rgb`: `height` rows of 3 * `width` bytes, the
// top row first; `quality` 1 to 100.
std::error_code EncodeBaselineJpeg(const std::uint8_t* rgb, std::uint32_t width,
                                   std::uint32_t height, int quality, std::string& jpeg);

}  // namespace kal2map

template <>
struct std::is_error_condition_enum<kal2map::ImageError> : std::true_type {};
