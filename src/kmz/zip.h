// A zip archive of stored (uncompressed) entries, built in memory: JPEG tiles gain nothing from
// deflating, and readers of custom maps need no more than this.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kal2map {

// CRC-32 (IEEE 802.3, as zip uses it) of `data`, continuing from `crc`.
std::uint32_t Crc32(std::string_view data, std::uint32_t crc = 0);

class ZipWriter {
 public:
  // Appends the entry `name` (UTF-8) holding `data`. False, and nothing appended, when the
  // archive would pass what zip without its 64-bit extension holds: 4 GB, 65535 entries.
  bool Add(std::string_view name, std::string_view data);
  // The archive: the entries, their directory and its end record.
  std::string Finish() &&;

 private:
  struct Entry {
    std::string name;
    std::uint32_t crc = 0, size = 0, offset = 0;
  };
  std::string bytes_;
  std::vector<Entry> entries_;
  std::uint64_t directory_size_ = 22;  // the directory's records and the end record
};

}  // namespace kal2map
