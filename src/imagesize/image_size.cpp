#include "imagesize/image_size.h"

#include <algorithm>
#include <cstring>

namespace kal2map {

std::int64_t MemorySource::ReadAt(std::uint64_t offset, char* buffer, std::size_t size) {
  if (offset >= data_.size()) return 0;
  const std::size_t n = std::min<std::uint64_t>(size, data_.size() - offset);
  std::memcpy(buffer, data_.data() + offset, n);
  return static_cast<std::int64_t>(n);
}

namespace {

using namespace std::string_view_literals;
using Status = ImageSizeStatus;

// One block of the source. Headers are read front to back, so one read serves many small
// lookups, and a byte is fetched twice only where a lookup straddles the end of a block.
class Window {
 public:
  explicit Window(ByteSource& source) : source_(source) {}

  // The first bytes of the data: a whole block, or all of the data if it is shorter.
  std::string_view Front() {
    Fill(0);
    return {reinterpret_cast<const char*>(block_), filled_};
  }

  // The `n` bytes at `offset`, n <= kBlock; nullptr if the data ends before them or the source
  // failed (then failed() is true, and every later lookup fails too).
  const unsigned char* At(std::uint64_t offset, std::size_t n) {
    if (failed_) return nullptr;
    if (offset < start_ || offset - start_ > filled_ || n > filled_ - (offset - start_)) {
      Fill(offset);
      if (failed_ || n > filled_) return nullptr;
    }
    return block_ + (offset - start_);
  }

  bool failed() const { return failed_; }

 private:
  static constexpr std::size_t kBlock = 4096;

  void Fill(std::uint64_t offset) {
    const std::int64_t got = source_.ReadAt(offset, reinterpret_cast<char*>(block_), kBlock);
    start_ = offset;
    // A source claiming more than it was asked for is as broken as one that fails.
    failed_ = got < 0 || got > static_cast<std::int64_t>(kBlock);
    filled_ = failed_ ? 0 : static_cast<std::size_t>(got);
  }

  ByteSource& source_;
  std::uint64_t start_ = 0;  // offset of block_[0]
  std::size_t filled_ = 0;   // valid bytes in block_
  bool failed_ = false;
  unsigned char block_[kBlock];
};

// Why a lookup found nothing: the source failed, or the header is cut short.
Status Missing(const Window& window) {
  return window.failed() ? Status::kReadError : Status::kBadHeader;
}

Status Sized(std::int64_t width, std::int64_t height, ImageSize& size) {
  if (width <= 0 || height <= 0) return Status::kBadHeader;
  size = {width, height};
  return Status::kOk;
}

std::uint32_t Be16(const unsigned char* p) { return p[0] << 8 | p[1]; }
std::uint32_t Be32(const unsigned char* p) {
  return std::uint32_t{p[0]} << 24 | p[1] << 16 | Be16(p + 2);
}
std::uint32_t Le16(const unsigned char* p) { return p[1] << 8 | p[0]; }
std::uint32_t Le32(const unsigned char* p) {
  return std::uint32_t{p[3]} << 24 | p[2] << 16 | Le16(p);
}

Status ReadPng(Window& window, ImageSize& size) {
  const unsigned char* p = window.At(8, 16);  // length and type of the first chunk, width, height
  if (!p) return Missing(window);
  if (Be32(p) != 13 || std::memcmp(p + 4, "IHDR", 4) != 0) return Status::kBadHeader;
  // PNG keeps both below 2^31: a larger value is a damaged header, not a huge image.
  const std::uint32_t width = Be32(p + 8), height = Be32(p + 12);
  if (width > 0x7fffffff || height > 0x7fffffff) return Status::kBadHeader;
  return Sized(width, height, size);
}

Status ReadGif(Window& window, ImageSize& size) {
  const unsigned char* p = window.At(6, 4);  // logical screen width and height
  if (!p) return Missing(window);
  return Sized(Le16(p), Le16(p + 2), size);
}

Status ReadBmp(Window& window, ImageSize& size) {
  const unsigned char* p = window.At(14, 4);  // size of the header after the file header
  if (!p) return Missing(window);
  const std::uint32_t header_size = Le32(p);
  if (header_size == 12) {  // OS/2 1.x: 16-bit unsigned width and height
    p = window.At(18, 4);
    if (!p) return Missing(window);
    return Sized(Le16(p), Le16(p + 2), size);
  }
  if (header_size < 40) return Status::kUnknownFormat;
  p = window.At(18, 8);
  if (!p) return Missing(window);
  const std::int32_t width = static_cast<std::int32_t>(Le32(p));
  const std::int32_t height = static_cast<std::int32_t>(Le32(p + 4));
  // A negative height stores the rows top-down. Widened first: -INT32_MIN needs 32 bits.
  const std::int64_t rows = height;
  return Sized(width, rows < 0 ? -rows : rows, size);
}

Status ReadTiff(Window& window, std::string_view head, ImageSize& size) {
  const bool big_endian = head[0] == 'M';
  auto u16 = [big_endian](const unsigned char* p) { return big_endian ? Be16(p) : Le16(p); };
  auto u32 = [big_endian](const unsigned char* p) { return big_endian ? Be32(p) : Le32(p); };
  const unsigned char* p = window.At(2, 6);  // version, offset of the first directory
  if (!p) return Missing(window);
  if (u16(p) != 42) return Status::kUnknownFormat;  // BigTIFF (43): 64-bit offsets
  const std::uint64_t directory = u32(p + 2);
  if (directory < 8) return Status::kBadHeader;  // it would overlap the header
  p = window.At(directory, 2);
  if (!p) return Missing(window);
  const std::uint32_t entries = u16(p);
  // ImageWidth (tag 256) and ImageLength (257); 0 until found. The first of a tag counts.
  std::int64_t found[2] = {0, 0};
  for (std::uint32_t i = 0; i < entries && (found[0] == 0 || found[1] == 0); ++i) {
    const unsigned char* entry = window.At(directory + 2 + 12 * std::uint64_t{i}, 12);
    if (!entry) return Missing(window);
    const std::uint32_t tag = u16(entry);
    if ((tag != 256 && tag != 257) || found[tag - 256] != 0) continue;
    const std::uint32_t type = u16(entry + 2), count = u32(entry + 4);
    // The value must sit in the entry itself; otherwise those four bytes hold an offset.
    const bool in_entry = (type == 3 && count >= 1 && count <= 2) || (type == 4 && count == 1);
    if (!in_entry) return Status::kBadHeader;
    found[tag - 256] = type == 3 ? u16(entry + 8) : u32(entry + 8);
    if (found[tag - 256] == 0) return Status::kBadHeader;
  }
  return Sized(found[0], found[1], size);
}

// Frame headers: SOF0..SOF15 but DHT (C4), JPG (C8) and DAC (CC). A hierarchical image gives
// its full size in DHP (DE), before a first frame that may be reduced.
bool HoldsSize(unsigned marker) {
  return (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) ||
         marker == 0xDE;
}

Status ReadJpeg(Window& window, ImageSize& size) {
  std::uint64_t pos = 2;  // after SOI
  for (;;) {
    const unsigned char* p = window.At(pos, 1);
    if (!p) return Missing(window);
    if (*p != 0xFF) return Status::kBadHeader;  // segments follow each other without gaps
    unsigned marker = 0xFF;
    while (marker == 0xFF) {  // any number of fill bytes may come before the marker code
      p = window.At(++pos, 1);
      if (!p) return Missing(window);
      marker = *p;
    }
    ++pos;
    if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) continue;  // TEM, RSTn: no length
    // A stuffed zero, a second SOI, EOI or SOS: no frame header before the picture data.
    if (marker == 0x00 || (marker >= 0xD8 && marker <= 0xDA)) return Status::kBadHeader;
    p = window.At(pos, 2);
    if (!p) return Missing(window);
    const std::uint32_t length = Be16(p);  // counts itself, not the marker
    if (length < 2) return Status::kBadHeader;
    if (HoldsSize(marker)) {
      if (length < 7) return Status::kBadHeader;
      p = window.At(pos + 2, 5);  // sample precision, height, width
      if (!p) return Missing(window);
      // Height 0 leaves it to a DNL segment after the first scan, which is not looked for.
      return Sized(Be16(p + 3), Be16(p + 1), size);
    }
    pos += length;
  }
}

struct Signature {
  std::string_view bytes;
  ImageFormat format;
};

constexpr Signature kSignatures[] = {
    {"\x89PNG\r\n\x1a\n"sv, ImageFormat::kPng},
    {"\xFF\xD8"sv, ImageFormat::kJpeg},
    {"BM"sv, ImageFormat::kBmp},
    {"GIF87a"sv, ImageFormat::kGif},
    {"GIF89a"sv, ImageFormat::kGif},
    {"II*\0"sv, ImageFormat::kTiff},
    {"MM\0*"sv, ImageFormat::kTiff},
    {"II+\0"sv, ImageFormat::kTiff},
    {"MM\0+"sv, ImageFormat::kTiff},
};

}  // namespace

ImageInfo ReadImageSize(ByteSource& source) {
  Window window(source);
  const std::string_view head = window.Front();
  ImageInfo info;
  if (window.failed()) {
    info.status = Status::kReadError;
    return info;
  }
  for (const Signature& signature : kSignatures) {
    if (head.starts_with(signature.bytes)) info.format = signature.format;
  }
  switch (info.format) {
    case ImageFormat::kPng:
      info.status = ReadPng(window, info.size);
      break;
    case ImageFormat::kJpeg:
      info.status = ReadJpeg(window, info.size);
      break;
    case ImageFormat::kBmp:
      info.status = ReadBmp(window, info.size);
      break;
    case ImageFormat::kGif:
      info.status = ReadGif(window, info.size);
      break;
    case ImageFormat::kTiff:
      info.status = ReadTiff(window, head, info.size);
      break;
    case ImageFormat::kUnknown:
      info.status = Status::kUnknownFormat;
      break;
  }
  return info;
}

std::string_view ImageFormatName(ImageFormat format) {
  switch (format) {
    case ImageFormat::kPng:
      return "PNG";
    case ImageFormat::kJpeg:
      return "JPEG";
    case ImageFormat::kBmp:
      return "BMP";
    case ImageFormat::kGif:
      return "GIF";
    case ImageFormat::kTiff:
      return "TIFF";
    case ImageFormat::kUnknown:
      break;
  }
  return "unbekanntes Format";
}

}  // namespace kal2map
