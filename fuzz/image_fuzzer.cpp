// Arbitrary bytes as a BMP, the one format whose rows the program copies itself. Whatever the
// input, nothing is read outside it, a refusal is one of the image errors, and an image that
// opens has a sane size and gives rows until the first error and none after it.
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz_check.h"
#include "image/codec.h"

namespace {

using kal2map::ImageError;
using kal2map::MakeError;
namespace image = kal2map::image;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const image::ReadAt read = [data, size](std::uint64_t offset, std::uint8_t* out,
                                          std::size_t n) -> std::error_code {
    if (offset > size || n > size - offset) return MakeError(ImageError::kDamaged);
    std::memcpy(out, data + offset, n);
    return {};
  };
  const std::error_category& ours = MakeError(ImageError::kDamaged).category();
  // Every input goes to the BMP reader, whatever its signature says: it must not trust one.
  (void)image::DetectFormat(data, size);
  std::error_code ec;
  const auto rows = image::OpenBmpRows(read, ec);
  if (rows == nullptr) {
    FUZZ_CHECK(ec && ec.category() == ours);
    return 0;
  }
  FUZZ_CHECK(!ec);
  FUZZ_CHECK(rows->width() > 0 && rows->width() <= image::kMaxWidth && rows->height() > 0);
  std::vector<std::uint8_t> rgb(std::size_t{3} * rows->width());
  std::uint32_t y = 0;
  for (; y < rows->height() && !(ec = rows->NextRow(rgb.data())); ++y) {
  }
  FUZZ_CHECK(y == rows->height() || ec.category() == ours);
  FUZZ_CHECK(rows->NextRow(rgb.data()));  // past the end, or after an error
  return 0;
}
