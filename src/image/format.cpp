#include <cstring>
#include <string>

#include "image/codec.h"
#include "platform/error_category.h"
#include "util/size.h"

namespace kal2map {
namespace {

using image::Format;

// Every code the decoders give, with the condition it compares equal to. Codes beyond
// ImageError's own name the format, each its own entry rather than bits of the code.
struct Kind {
  int code;
  ImageError condition;
  Format format;
  const char* text;  // for kTooLarge of a format: what is held, before "zu groß für N MB"
};
constexpr Kind kKinds[] = {
    {1, ImageError::kUnknownFormat, Format::kUnknown,
     "Bildformat unbekannt (nur JPEG, PNG, BMP, GIF, TIFF)"},
    {2, ImageError::kUnsupported, Format::kUnknown, "Diese Art von Bild wird nicht gelesen"},
    {3, ImageError::kDamaged, Format::kUnknown, "Bilddatei beschädigt oder unvollständig"},
    {4, ImageError::kTooLarge, Format::kUnknown, "Bild zu groß"},
    {10, ImageError::kUnsupported, Format::kJpeg, "Diese Art von JPEG wird nicht gelesen"},
    {11, ImageError::kUnsupported, Format::kPng, "Diese Art von PNG wird nicht gelesen"},
    {12, ImageError::kUnsupported, Format::kBmp, "Diese Art von BMP wird nicht gelesen"},
    {13, ImageError::kUnsupported, Format::kGif, "Diese Art von GIF wird nicht gelesen"},
    {14, ImageError::kUnsupported, Format::kTiff, "Diese Art von TIFF wird nicht gelesen"},
    {20, ImageError::kTooLarge, Format::kJpeg, "Progressives JPEG"},
    {21, ImageError::kTooLarge, Format::kPng, "PNG mit Zeilensprung"},
    {23, ImageError::kTooLarge, Format::kGif, "GIF"},
    {24, ImageError::kTooLarge, Format::kTiff, "TIFF-Streifen"},
};

const Kind* KindOf(int code) {
  for (const Kind& kind : kKinds) {
    if (kind.code == code) return &kind;
  }
  return nullptr;
}

int Condition(int code) {
  const Kind* kind = KindOf(code);
  return kind != nullptr ? static_cast<int>(kind->condition) : code;
}

std::string Text(int code) {
  const Kind* kind = KindOf(code);
  if (kind == nullptr) return "Unbekannter Fehler";
  if (kind->condition != ImageError::kTooLarge || kind->format == Format::kUnknown)
    return kind->text;
  return std::string(kind->text) + " zu groß für " + std::to_string(kMemoryBudget >> 20) +
         " MB (es wird ganz im Speicher entschlüsselt)";
}

const std::error_category& TheCategory() {
  static const TextCategory category("kal2map-image", Text, Condition);
  return category;
}

std::error_code CodeFor(ImageError condition, Format format) {
  for (const Kind& kind : kKinds) {
    if (kind.condition == condition && kind.format == format) return {kind.code, TheCategory()};
  }
  return MakeError(condition);
}

}  // namespace

std::error_code MakeError(ImageError e) { return {static_cast<int>(e), TheCategory()}; }

std::error_condition make_error_condition(ImageError e) {
  return {static_cast<int>(e), TheCategory()};
}

namespace image {

std::error_code Unsupported(Format format) { return CodeFor(ImageError::kUnsupported, format); }
std::error_code OverBudget(Format format) { return CodeFor(ImageError::kTooLarge, format); }

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

std::error_code CheckSize(std::uint64_t width, std::uint64_t height) {
  if (width == 0 || height == 0) return MakeError(ImageError::kDamaged);
  if (width > kMaxWidth) return MakeError(ImageError::kTooLarge);
  return {};
}

std::error_code CheckHeld(Format format, std::initializer_list<std::uint64_t> factors) {
  return SizeProduct(factors) > kDecoderBytes ? OverBudget(format) : std::error_code();
}

namespace {

std::uint64_t Be16(const std::uint8_t* p) { return std::uint64_t{p[0]} << 8 | p[1]; }
std::uint64_t Be32(const std::uint8_t* p) { return Be16(p) << 16 | Be16(p + 2); }
std::uint64_t Le16(const std::uint8_t* p) { return std::uint64_t{p[1]} << 8 | p[0]; }

// The frame header's size of a progressive JPEG, found by walking the markers before it.
std::uint64_t ProgressiveJpegPixels(const ReadAt& read) {
  std::uint64_t at = 2;
  // A file may fill its start with any number of segments; this many is past any real one.
  for (int segments = 0; segments < 4096; ++segments) {
    std::uint8_t b[9];
    if (read(at, b, 4) || b[0] != 0xFF) return 0;
    const std::uint8_t marker = b[1];
    if (marker == 0xFF) {  // fill byte
      ++at;
      continue;
    }
    if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
      if (read(at + 4, b + 4, 5)) return 0;
      const bool progressive = marker == 0xC2 || marker == 0xC6 || marker == 0xCA || marker == 0xCE;
      return progressive ? Be16(b + 5) * Be16(b + 7) : 0;
    }
    if (marker == 0xD9 || marker == 0xDA) return 0;  // the end, or data before any frame
    at += 2 + Be16(b + 2);
  }
  return 0;
}

}  // namespace

std::uint64_t HeldWholeBytes(Format format, const ReadAt& read) {
  std::uint8_t b[29];
  std::uint64_t pixels = 0;
  switch (format) {
    case Format::kJpeg:
      pixels = ProgressiveJpegPixels(read);
      break;
    case Format::kPng:  // the header chunk comes first; its last byte is the interlace method
      if (!read(0, b, 29) && b[28] != 0) pixels = Be32(b + 16) * Be32(b + 20);
      break;
    case Format::kGif:  // the screen's size; whether the codec streams a frame we cannot tell
      if (!read(0, b, 10)) pixels = Le16(b + 6) * Le16(b + 8);
      break;
    default:
      break;
  }
  return SizeProduct({pixels, 4});
}

}  // namespace image
}  // namespace kal2map
