// Tiles in the making that do not all fit in memory, kept on disk until they are complete.
#pragma once

#include <cstdint>
#include <span>
#include <system_error>
#include <vector>

#include "mbtiles/sqlite.h"

namespace kal2map {

// A private SQLite database in a temporary file, which the system removes when it is closed
// (or the process ends), opened on the first Put. Not for more than one thread at a time.
class TileScratch {
 public:
  // Stores `bytes` under `key`, replacing what was there.
  std::error_code Put(std::uint64_t key, std::span<const std::uint8_t> bytes);
  // Moves what is stored under `key` into `bytes` and forgets it. Nothing stored there:
  // std::errc::no_such_file_or_directory, and `bytes` is left alone.
  std::error_code Take(std::uint64_t key, std::vector<std::uint8_t>& bytes);

 private:
  std::error_code Start();

  // Declared first, so that the statements are finalized before it closes.
  SqliteDatabase db_;
  SqliteStatement put_, get_, forget_;
};

}  // namespace kal2map
