// Width and height of an image from its file header, without decoding the picture. Map scans
// run to several gigabytes: only the few bytes a header needs are read, front to back, and
// memory does not grow with the image or the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kal2map {

// Random access to the image's bytes.
class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Copies up to `size` bytes from `offset` into `buffer`; returns how many (fewer only at the
  // end of the data), or -1 on a read error.
  virtual std::int64_t ReadAt(std::uint64_t offset, char* buffer, std::size_t size) = 0;
};

// Bytes already in memory, which must outlive the source. Never touches a byte outside them.
class MemorySource final : public ByteSource {
 public:
  explicit MemorySource(std::string_view data) : data_(data) {}
  std::int64_t ReadAt(std::uint64_t offset, char* buffer, std::size_t size) override;

 private:
  std::string_view data_;
};

enum class ImageFormat { kUnknown, kPng, kJpeg, kBmp, kGif, kTiff };

struct ImageSize {
  std::int64_t width = 0;
  std::int64_t height = 0;
};

enum class ImageSizeStatus {
  kOk,
  // No signature known here, or a variant of a known format that is not read (BigTIFF, BMP
  // headers of OS/2 2.x).
  kUnknownFormat,
  // A known signature, but the header ends too early or its values make no sense.
  kBadHeader,
  kReadError,  // the source failed
};

// `format` is set whenever the signature was recognised, whatever the status. `size` is set
// only with kOk, and both its values are then positive.
struct ImageInfo {
  ImageFormat format = ImageFormat::kUnknown;
  ImageSizeStatus status = ImageSizeStatus::kUnknownFormat;
  ImageSize size = {};
};

// The size as stored in the header; an EXIF orientation is not applied.
ImageInfo ReadImageSize(ByteSource& source);

// The format's name for messages, e.g. "PNG"; "unbekanntes Format" for kUnknown.
std::string_view ImageFormatName(ImageFormat format);

}  // namespace kal2map
