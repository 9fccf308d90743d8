// Arbitrary bytes as an image: to the BMP reader, the one format whose rows the program copies
// itself, whatever the signature says; then as a file through OpenImageRows to whichever codec
// the signature names. Run with the decoder's budget as malloc limit, so that an allocation a
// header talks a decoder into beyond it is a finding. Whatever the input, nothing is read
// outside it, a refusal is one of the image errors (or the system's, from a codec), and an
// image that opens has a sane size and gives rows until the first error and none after it.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "image/codec.h"

namespace {

using kal2map::ImageError;
using kal2map::MakeError;
namespace image = kal2map::image;

// The input as a file in memory, named by its descriptor, so that the codecs read it as any.
std::string AsFile(const std::uint8_t* data, std::size_t size) {
  static const int fd = memfd_create("image", MFD_CLOEXEC);
  FUZZ_CHECK(fd >= 0 && ftruncate(fd, 0) == 0);
  FUZZ_CHECK(pwrite(fd, data, size, 0) == static_cast<ssize_t>(size));
  return "/proc/self/fd/" + std::to_string(fd);
}

void Decode(const std::unique_ptr<kal2map::ImageRows>& rows, std::error_code ec) {
  const std::error_category& ours = MakeError(ImageError::kDamaged).category();
  const auto refusal = [&ours](std::error_code e) {
    return e && (e.category() == ours || e.category() == std::generic_category());
  };
  if (rows == nullptr) {
    FUZZ_CHECK(refusal(ec));
    return;
  }
  FUZZ_CHECK(!ec);
  FUZZ_CHECK(rows->width() > 0 && rows->width() <= image::kMaxWidth && rows->height() > 0);
  std::vector<std::uint8_t> rgb(std::size_t{3} * rows->width());
  // A few bytes may claim a gigapixel of blank rows around a GIF's frame, which take time to
  // give but no memory: beyond this many pixels the rows show the codecs nothing new.
  const std::uint64_t enough = std::max<std::uint64_t>(1, (std::uint64_t{1} << 24) / rows->width());
  std::uint32_t y = 0;
  for (; y < rows->height() && y < enough && !(ec = rows->NextRow(rgb.data())); ++y) {
  }
  FUZZ_CHECK(y == rows->height() || y == enough || refusal(ec));
  if (y < enough) FUZZ_CHECK(rows->NextRow(rgb.data()));  // past the end, or after an error
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const image::ReadAt read = [data, size](std::uint64_t offset, std::uint8_t* out,
                                          std::size_t n) -> std::error_code {
    if (offset > size || n > size - offset) return MakeError(ImageError::kDamaged);
    std::memcpy(out, data + offset, n);
    return {};
  };
  (void)image::DetectFormat(data, size);
  // What Windows judges before its codec, of any input.
  for (const auto format : {image::Format::kJpeg, image::Format::kPng, image::Format::kGif}) {
    (void)image::HeldWholeBytes(format, read);
  }
  std::error_code ec;
  Decode(image::OpenBmpRows(read, ec), ec);
  Decode(kal2map::OpenImageRows(AsFile(data, size), ec), ec);
  return 0;
}
