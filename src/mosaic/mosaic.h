// One seamless map of many sheets: each shows what lies within its frame, the finer sheet
// where two overlap, redrawn into one grid of tiles. The sheets are read once each, in bands,
// and tiles still waiting for a neighbouring sheet go to a scratch store when memory is short,
// so that the number of sheets does not raise the memory taken.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string>
#include <system_error>
#include <vector>

#include "georef/sheet.h"

namespace kal2map {

struct MosaicSheet {
  std::string name;  // UTF-8, as the sheet is known to the user
  SheetModel sheet;
  std::filesystem::path image;
  std::uint32_t width = 0, height = 0;      // the image's size
  std::vector<std::array<double, 2>> clip;  // what it shows, in scan pixels: frame or image
};

enum class MosaicError {
  kNoSheet = 1,   // no sheet has both an image and a place
  kTooManyTiles,  // the sheets' places span more tiles than any device could hold
  kStopped,       // the user stopped the run
};
std::error_code MakeError(MosaicError e);

// Told before each sheet is drawn (`sheet` from 1 of `sheets`, `tiles` 0), after each of its
// tiles (`tiles` drawn so far), and after each level is complete (`level`, with its `tiles`).
// False stops the mosaic.
struct MosaicProgress {
  std::size_t sheet = 0, sheets = 0;
  int level = -1;
  std::size_t tiles = 0;
};
using MosaicObserver = std::function<bool(const MosaicProgress&)>;

// Where tiles in the making go when they do not fit in memory.
class TileSpill {
 public:
  virtual ~TileSpill() = default;
  virtual std::error_code Put(std::uint64_t key, std::span<const std::uint8_t> bytes) = 0;
  // Moves the bytes stored for `key` into `bytes`, and forgets them.
  virtual std::error_code Take(std::uint64_t key, std::vector<std::uint8_t>& bytes) = 0;
};

// What the mosaic takes of memory beyond one sheet's decoder: tiles in the making, and the
// sheet's window of rows.
struct MosaicMemory {
  std::size_t tiles = std::size_t{40} << 20;
  std::size_t window = std::size_t{48} << 20;
};

// What a mosaic came to.
struct MosaicSummary {
  std::size_t sheets = 0;  // sheets drawn
  std::size_t tiles = 0;   // tiles written
  int min_zoom = 0, max_zoom = 0;
  bool reduced = false;               // coarser than its finest sheet, to keep within a tile budget
  std::vector<std::string> warnings;  // German, UTF-8: sheets left out, and why
};

}  // namespace kal2map
