// Sizes worked out from what a file claims: in 64 bits whatever the program's word, and never
// wrapping, so that a hostile header cannot turn a huge buffer into a small one.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <limits>

namespace kal2map {

inline constexpr std::uint64_t kNoSize = std::numeric_limits<std::uint64_t>::max();

// The product of `factors`, or kNoSize where it would not fit in 64 bits.
constexpr std::uint64_t SizeProduct(std::initializer_list<std::uint64_t> factors) {
  std::uint64_t product = 1;
  for (const std::uint64_t f : factors) {
    if (f != 0 && product > kNoSize / f) return kNoSize;
    product *= f;
  }
  return product;
}

}  // namespace kal2map
