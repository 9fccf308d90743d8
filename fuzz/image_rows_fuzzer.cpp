// Arbitrary bytes as an image file, through OpenImageRows to whichever codec its signature
// names. Run with a malloc limit of the decoder's budget, so that any allocation a header
// talks the program into beyond it is a finding. A refusal is an image error or the system's;
// an image that opens gives rows until the first error and none after it.
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

// A file in memory, named by its descriptor, so that the codecs read it as they read any other.
class MemoryFile {
 public:
  MemoryFile() : fd_(memfd_create("image", MFD_CLOEXEC)) { FUZZ_CHECK(fd_ >= 0); }
  ~MemoryFile() { close(fd_); }
  std::string Fill(const std::uint8_t* data, std::size_t size) const {
    FUZZ_CHECK(ftruncate(fd_, 0) == 0);
    FUZZ_CHECK(pwrite(fd_, data, size, 0) == static_cast<ssize_t>(size));
    return "/proc/self/fd/" + std::to_string(fd_);
  }

 private:
  int fd_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const MemoryFile file;
  const std::string path = file.Fill(data, size);
  // What Windows judges before its codec: any input, any format.
  const image::ReadAt read = [data, size](std::uint64_t offset, std::uint8_t* out,
                                          std::size_t n) -> std::error_code {
    if (offset > size || n > size - offset) return MakeError(ImageError::kDamaged);
    std::memcpy(out, data + offset, n);
    return {};
  };
  for (const auto format : {image::Format::kJpeg, image::Format::kPng, image::Format::kGif}) {
    (void)image::HeldWholeBytes(format, read);
  }

  const std::error_category& ours = MakeError(ImageError::kDamaged).category();
  const auto refusal = [&ours](std::error_code ec) {
    return ec && (ec.category() == ours || ec.category() == std::generic_category());
  };
  std::error_code ec;
  const auto rows = kal2map::OpenImageRows(path, ec);
  if (rows == nullptr) {
    FUZZ_CHECK(refusal(ec));
    return 0;
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
  return 0;
}
