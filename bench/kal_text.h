// Calibration files for the benchmark, made up on the spot so that no data is committed.
#pragma once

#include <cstdint>
#include <string>

namespace kal2map::bench {

// One map sheet: a [Map] section with the image reference, then `points` calibration point
// sections. The same `sheet` number always gives the same bytes.
std::string KalSheet(int sheet, int points);

// A calibration file of about `bytes` bytes: a sheet whose point sections go on (and are
// interleaved with other sections) until the size is reached.
std::string KalOfSize(std::uint64_t bytes);

// The first bytes of a PNG file of that size, as much as a size reader looks at.
std::string PngHead(std::uint32_t width, std::uint32_t height);

}  // namespace kal2map::bench
