#include "kmz/zip.h"

#include <array>
#include <limits>

namespace kal2map {
namespace {

constexpr std::uint16_t kVersion = 20;        // 2.0: the oldest that readers all accept
constexpr std::uint16_t kUtf8Names = 0x0800;  // general purpose flag bit 11
// 1980-01-01 00:00, the earliest DOS date: the same sheet makes the same bytes on every run.
constexpr std::uint16_t kDosTime = 0;
constexpr std::uint16_t kDosDate = (1 << 5) | 1;
constexpr std::uint64_t kLimit = std::numeric_limits<std::uint32_t>::max();

constexpr std::array<std::uint32_t, 256> kCrcTable = [] {
  std::array<std::uint32_t, 256> table{};
  for (std::uint32_t n = 0; n < 256; ++n) {
    std::uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[n] = c;
  }
  return table;
}();

void Put16(std::string& out, std::uint32_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>((v >> 8) & 0xFF);
}

void Put32(std::string& out, std::uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

// The fields local header and directory entry share, from "version needed" to the name's
// length.
void PutCommon(std::string& out, std::uint32_t crc, std::uint32_t size, std::size_t name_size) {
  for (std::uint32_t v : {std::uint32_t{kVersion}, std::uint32_t{kUtf8Names}, 0u /* stored */,
                          std::uint32_t{kDosTime}, std::uint32_t{kDosDate}}) {
    Put16(out, v);
  }
  for (std::uint32_t v : {crc, size, size}) Put32(out, v);
  Put16(out, static_cast<std::uint32_t>(name_size));
}

}  // namespace

std::uint32_t Crc32(std::string_view data, std::uint32_t crc) {
  crc = ~crc;
  for (unsigned char b : data) crc = kCrcTable[(crc ^ b) & 0xFF] ^ (crc >> 8);
  return ~crc;
}

bool ZipWriter::Add(std::string_view name, std::string_view data) {
  // The entries, and the directory still to come, must end within 4 GB.
  const std::uint64_t directory = directory_size_ + 46 + name.size();
  const std::uint64_t end = std::uint64_t{bytes_.size()} + 30 + name.size() + data.size();
  if (entries_.size() >= 0xFFFF || name.size() > 0xFFFF || end + directory > kLimit) return false;
  directory_size_ = directory;
  Entry entry{std::string(name), Crc32(data), static_cast<std::uint32_t>(data.size()),
              static_cast<std::uint32_t>(bytes_.size())};
  Put32(bytes_, 0x04034B50);
  PutCommon(bytes_, entry.crc, entry.size, name.size());
  Put16(bytes_, 0);  // extra field length
  bytes_ += name;
  bytes_ += data;
  entries_.push_back(std::move(entry));
  return true;
}

std::string ZipWriter::Finish() && {
  const auto directory_offset = static_cast<std::uint32_t>(bytes_.size());
  for (const Entry& e : entries_) {
    Put32(bytes_, 0x02014B50);
    Put16(bytes_, kVersion);  // made by: MS-DOS, 2.0
    PutCommon(bytes_, e.crc, e.size, e.name.size());
    for (int field = 0; field < 4; ++field) Put16(bytes_, 0);  // extra, comment, disk, internal
    Put32(bytes_, 0);                                          // external attributes
    Put32(bytes_, e.offset);
    bytes_ += e.name;
  }
  const auto directory_size = static_cast<std::uint32_t>(bytes_.size() - directory_offset);
  Put32(bytes_, 0x06054B50);
  Put16(bytes_, 0);  // this disk
  Put16(bytes_, 0);  // the directory's disk
  Put16(bytes_, static_cast<std::uint32_t>(entries_.size()));
  Put16(bytes_, static_cast<std::uint32_t>(entries_.size()));
  Put32(bytes_, directory_size);
  Put32(bytes_, directory_offset);
  Put16(bytes_, 0);  // comment length
  return std::move(bytes_);
}

}  // namespace kal2map
