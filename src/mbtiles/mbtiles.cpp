#include "mbtiles/mbtiles.h"

#include <charconv>
#include <utility>

#include "platform/files.h"

namespace kal2map {
namespace {

// The file is this process's alone until it is moved into place, and is flushed whole before
// that: a failure abandons it, so SQLite needs no journal, no locks and no flushes of its own.
// Tiles of 10-30 KB fill 8 KB overflow pages whole and leave about 7 % unused; with larger pages
// each tile sits whole on one with the rest empty (16-40 % larger files), smaller ones save 3 %
// for twice the pages a tile. The application id is the one MBTiles names ("MPBX").
constexpr const char* kSchema = R"(
PRAGMA page_size = 8192;
PRAGMA journal_mode = OFF;
PRAGMA synchronous = OFF;
PRAGMA locking_mode = EXCLUSIVE;
PRAGMA application_id = 1297105496;
BEGIN;
CREATE TABLE metadata (name text, value text);
CREATE UNIQUE INDEX metadata_index ON metadata (name);
CREATE TABLE tiles (zoom_level integer, tile_column integer, tile_row integer, tile_data blob);
CREATE UNIQUE INDEX tile_index ON tiles (zoom_level, tile_column, tile_row);
)";

// Degrees to a centimetre, in the C locale's notation whatever the user's, and without an
// exponent, which not every reader of the metadata parses.
std::string Degrees(double value) {
  char buffer[32];
  char* end = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 7).ptr;
  while (end[-1] == '0') --end;
  if (end[-1] == '.') --end;
  std::string text(buffer, end);
  return text == "-0" ? "0" : text;
}

}  // namespace

std::error_code MbtilesWriter::Open(const std::filesystem::path& path) {
  Abandon();
  if (std::error_code ec = CheckReplaceable(path)) return ec;
  target_ = path;
  temp_ = TemporaryNameFor(path);
  std::error_code ec = db_.Open(temp_);
  if (!ec) ec = db_.Execute(kSchema);
  if (!ec) ec = db_.Prepare("INSERT INTO tiles VALUES (?, ?, ?, ?)", insert_);
  if (ec) Abandon();
  return ec;
}

std::error_code MbtilesWriter::AddTile(int zoom, std::uint32_t column, std::uint32_t row,
                                       std::string_view jpeg) {
  if (!db_.IsOpen()) return std::make_error_code(std::errc::bad_file_descriptor);
  std::error_code ec = insert_.Bind(1, zoom);
  if (!ec) ec = insert_.Bind(2, std::int64_t{column});
  if (!ec) ec = insert_.Bind(3, std::int64_t{row});
  if (!ec) ec = insert_.BindBlob(4, jpeg.data(), jpeg.size());
  if (ec) {
    insert_.Reset();
    return ec;
  }
  return insert_.Run();
}

std::error_code MbtilesWriter::Finish(const MbtilesMetadata& m) {
  if (!db_.IsOpen()) return std::make_error_code(std::errc::bad_file_descriptor);
  const std::pair<const char*, std::string> rows[] = {
      {"name", m.name},
      {"format", "jpg"},
      {"type", "overlay"},
      {"version", "1"},
      {"bounds",
       Degrees(m.west) + "," + Degrees(m.south) + "," + Degrees(m.east) + "," + Degrees(m.north)},
      {"center",
       Degrees(m.center_lon) + "," + Degrees(m.center_lat) + "," + std::to_string(m.center_zoom)},
      {"minzoom", std::to_string(m.min_zoom)},
      {"maxzoom", std::to_string(m.max_zoom)},
      {"description", m.description},
      {"attribution", m.attribution},
  };
  SqliteStatement insert;
  std::error_code ec = db_.Prepare("INSERT INTO metadata VALUES (?, ?)", insert);
  for (const auto& [name, value] : rows) {
    if (ec) break;
    // An empty attribution is still a row: readers that check the keys expect it.
    if (value.empty() && name != std::string_view("name") &&
        name != std::string_view("attribution")) {
      continue;
    }
    ec = insert.Bind(1, name);
    if (!ec) ec = insert.Bind(2, value);
    if (!ec) ec = insert.Run();
  }
  insert.Finalize();
  insert_.Finalize();
  if (!ec) ec = db_.Execute("COMMIT");
  const std::error_code closed = db_.Close();
  if (!ec) ec = closed;
  if (!ec) ec = ReplaceWithFinished(target_, temp_);
  Abandon();  // after the move there is nothing left to remove
  return ec;
}

void MbtilesWriter::Abandon() {
  insert_.Finalize();
  db_.Close();
  if (!temp_.empty()) {
    std::error_code ignored;
    std::filesystem::remove(temp_, ignored);
  }
  temp_.clear();
  target_.clear();
}

}  // namespace kal2map
