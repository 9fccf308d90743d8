#include "mbtiles/tile_scratch.h"

#include <gtest/gtest.h>

#include <limits>

namespace kal2map {
namespace {

TEST(TileScratch, TakesOutWhatWasPutLastAndForgetsIt) {
  const auto absent = std::make_error_code(std::errc::no_such_file_or_directory);
  TileScratch scratch;
  std::vector<std::uint8_t> bytes{9};
  EXPECT_EQ(scratch.Take(1, bytes), absent);  // nothing stored yet

  constexpr std::uint64_t kLast = std::numeric_limits<std::uint64_t>::max();
  const std::vector<std::uint8_t> big(300'000, 7), small{0, 1, 2};
  EXPECT_FALSE(scratch.Put(kLast, small));
  EXPECT_FALSE(scratch.Put(0, small));
  EXPECT_FALSE(scratch.Put(0, big));  // replaces
  EXPECT_FALSE(scratch.Put(5, {}));
  const struct {
    std::uint64_t key;
    std::vector<std::uint8_t> bytes;
  } cases[] = {{kLast, small}, {0, big}, {5, {}}};
  for (const auto& c : cases) {
    EXPECT_FALSE(scratch.Take(c.key, bytes)) << c.key;
    EXPECT_EQ(bytes, c.bytes) << c.key;
    EXPECT_EQ(scratch.Take(c.key, bytes), absent) << c.key;
  }
}

}  // namespace
}  // namespace kal2map
