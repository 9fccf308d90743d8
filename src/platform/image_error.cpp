#include <cstring>
#include <string>

#include "platform/image_codec.h"

namespace kal2map {
namespace {

using image::Format;

// A code's low bits are the ImageError; above them, for kUnsupported, the format it names.
constexpr int kFormatShift = 4;

const char* FormatName(Format format) {
  switch (format) {
    case Format::kJpeg:
      return "JPEG";
    case Format::kPng:
      return "PNG";
    case Format::kBmp:
      return "BMP";
    case Format::kGif:
      return "GIF";
    case Format::kTiff:
      return "TIFF";
    case Format::kUnknown:
      break;
  }
  return "Bild";
}

class Category : public std::error_category {
 public:
  const char* name() const noexcept override { return "kal2map-image"; }
  std::error_condition default_error_condition(int code) const noexcept override {
    return {code & ((1 << kFormatShift) - 1), *this};
  }
  std::string message(int code) const override {
    switch (static_cast<ImageError>(code & ((1 << kFormatShift) - 1))) {
      case ImageError::kUnknownFormat:
        return "Bildformat unbekannt (nur JPEG, PNG, BMP, GIF, TIFF)";
      case ImageError::kUnsupported:
        return std::string("Diese Art von ") +
               FormatName(static_cast<Format>(code >> kFormatShift)) + " wird nicht gelesen";
      case ImageError::kDamaged:
        return "Bilddatei beschädigt oder unvollständig";
      case ImageError::kTooLarge:
        return "Bild zu groß";
    }
    return "Unbekannter Fehler";
  }
};

const Category& TheCategory() {
  static const Category category;
  return category;
}

}  // namespace

std::error_code MakeError(ImageError e) { return {static_cast<int>(e), TheCategory()}; }

std::error_condition make_error_condition(ImageError e) {
  return {static_cast<int>(e), TheCategory()};
}

namespace image {

std::error_code Unsupported(Format format) {
  return {static_cast<int>(ImageError::kUnsupported) | (static_cast<int>(format) << kFormatShift),
          TheCategory()};
}

Format DetectFormat(const std::uint8_t* head, std::size_t size) {
  const auto starts = [&](const char* magic, std::size_t n) {
    return size >= n && std::memcmp(head, magic, n) == 0;
  };
  if (starts("\xFF\xD8\xFF", 3)) return Format::kJpeg;
  if (starts("\x89PNG\r\n\x1A\n", 8)) return Format::kPng;
  if (starts("GIF87a", 6) || starts("GIF89a", 6)) return Format::kGif;
  if (starts("BM", 2)) return Format::kBmp;
  // Classic TIFF and BigTIFF, in either byte order.
  if (starts("II*\0", 4) || starts("MM\0*", 4) || starts("II+\0", 4) || starts("MM\0+", 4)) {
    return Format::kTiff;
  }
  return Format::kUnknown;
}

std::error_code CheckSize(std::uint64_t width, std::uint64_t height, unsigned bytes_per_pixel) {
  if (width == 0 || height == 0) return MakeError(ImageError::kDamaged);
  if (width > kMaxWidth) return MakeError(ImageError::kTooLarge);
  // width is below 2^20, so the product cannot overflow before height passes 2^44.
  if (bytes_per_pixel != 0 &&
      (height > kMaxHeldBytes || width * height * bytes_per_pixel > kMaxHeldBytes)) {
    return MakeError(ImageError::kTooLarge);
  }
  return {};
}

}  // namespace image
}  // namespace kal2map
