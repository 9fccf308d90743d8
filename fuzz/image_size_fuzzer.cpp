// Arbitrary bytes as an image file. Whatever the input, a size given is positive, a known
// signature is named, the reader stays within the bytes it was given and reads them front to
// back in a few blocks, and bytes after a complete header change nothing.
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "fuzz_check.h"
#include "imagesize/image_size.h"

namespace {

using kal2map::ImageFormat;
using kal2map::ImageInfo;
using kal2map::ImageSizeStatus;
using namespace std::string_view_literals;

// Counts the reads; each hands back exactly the data's bytes, fewer only at its end.
class CheckedSource final : public kal2map::ByteSource {
 public:
  explicit CheckedSource(std::string_view data) : data_(data), memory_(data) {}

  std::int64_t ReadAt(std::uint64_t offset, char* buffer, std::size_t size) override {
    ++reads;
    const std::int64_t got = memory_.ReadAt(offset, buffer, size);
    const std::uint64_t left = offset < data_.size() ? data_.size() - offset : 0;
    FUZZ_CHECK(got >= 0 && static_cast<std::uint64_t>(got) == std::min<std::uint64_t>(size, left));
    if (got > 0) FUZZ_CHECK(std::string_view(buffer, got) == data_.substr(offset, got));
    return got;
  }

  int reads = 0;

 private:
  std::string_view data_;
  kal2map::MemorySource memory_;
};

ImageFormat FormatOfSignature(std::string_view data) {
  const std::pair<std::string_view, ImageFormat> signatures[] = {
      {"\x89PNG\r\n\x1a\n"sv, ImageFormat::kPng},
      {"\xFF\xD8"sv, ImageFormat::kJpeg},
      {"BM"sv, ImageFormat::kBmp},
      {"GIF87a"sv, ImageFormat::kGif},
      {"GIF89a"sv, ImageFormat::kGif},
      {"II*\0"sv, ImageFormat::kTiff},
      {"MM\0*"sv, ImageFormat::kTiff},
  };
  for (const auto& [bytes, format] : signatures) {
    if (data.starts_with(bytes)) return format;
  }
  return ImageFormat::kUnknown;
}

ImageInfo Read(std::string_view data, int* reads) {
  CheckedSource source(data);
  const ImageInfo info = kal2map::ReadImageSize(source);
  *reads = source.reads;
  return info;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  int reads = 0;
  const ImageInfo info = Read(bytes, &reads);

  FUZZ_CHECK(info.status != ImageSizeStatus::kReadError);  // memory does not fail
  if (info.status == ImageSizeStatus::kOk) {
    FUZZ_CHECK(info.size.width > 0 && info.size.height > 0);
  } else {
    FUZZ_CHECK(info.size.width == 0 && info.size.height == 0);
  }
  const ImageFormat expected = FormatOfSignature(bytes);
  if (expected != ImageFormat::kUnknown) FUZZ_CHECK(info.format == expected);
  if (info.format == ImageFormat::kUnknown) {
    FUZZ_CHECK(info.status == ImageSizeStatus::kUnknownFormat);
  }
  // Blocks of 4 KB, each starting past the one before: the count stays small for any data.
  FUZZ_CHECK(reads <= 3 + static_cast<int>(size / 2048));

  // A reader that used bytes past the data, or decided by where the data ends, would see these.
  std::string longer(bytes);
  longer.append(16, '\xFF');
  const ImageInfo again = Read(longer, &reads);
  if (size >= 8) FUZZ_CHECK(again.format == info.format);
  if (info.status == ImageSizeStatus::kOk) {
    FUZZ_CHECK(again.status == ImageSizeStatus::kOk && again.size.width == info.size.width &&
               again.size.height == info.size.height);
  }
  return 0;
}
