#include "mbtiles/tile_scratch.h"

namespace kal2map {
namespace {

// Nobody else sees the file and it dies with the process: no journal, locks or flushes. Its
// pages mostly pass through once, so a small cache leaves memory to the tiles being drawn, and
// what is taken out need not be overwritten (Debian's SQLite does by default).
constexpr const char* kSchema = R"(
PRAGMA page_size = 16384;
PRAGMA cache_size = -4096;
PRAGMA journal_mode = OFF;
PRAGMA synchronous = OFF;
PRAGMA locking_mode = EXCLUSIVE;
PRAGMA secure_delete = OFF;
CREATE TABLE scratch (key INTEGER PRIMARY KEY, bytes BLOB NOT NULL);
)";

}  // namespace

std::error_code TileScratch::Start() {
  if (db_.IsOpen()) return {};
  std::error_code ec = db_.Open("");
  if (!ec) ec = db_.Execute(kSchema);
  if (!ec) ec = db_.Prepare("INSERT OR REPLACE INTO scratch VALUES (?, ?)", put_);
  if (!ec) ec = db_.Prepare("SELECT bytes FROM scratch WHERE key = ?", get_);
  if (!ec) ec = db_.Prepare("DELETE FROM scratch WHERE key = ?", forget_);
  if (ec) {
    put_.Finalize();
    get_.Finalize();
    forget_.Finalize();
    db_.Close();
  }
  return ec;
}

// Keys are SQLite's signed 64-bit row ids, the same bits.
std::error_code TileScratch::Put(std::uint64_t key, std::span<const std::uint8_t> bytes) {
  std::error_code ec = Start();
  if (!ec) ec = put_.Bind(1, static_cast<std::int64_t>(key));
  if (!ec) ec = put_.BindBlob(2, bytes.data(), bytes.size());
  if (ec) {
    if (db_.IsOpen()) put_.Reset();
    return ec;
  }
  return put_.Run();
}

std::error_code TileScratch::Take(std::uint64_t key, std::vector<std::uint8_t>& bytes) {
  const auto absent = std::make_error_code(std::errc::no_such_file_or_directory);
  if (!db_.IsOpen()) return absent;
  std::error_code ec = get_.Bind(1, static_cast<std::int64_t>(key));
  if (!ec && get_.Step(ec)) {
    const std::string_view stored = get_.Blob(0);
    const auto* data = reinterpret_cast<const std::uint8_t*>(stored.data());
    bytes.assign(data, data + stored.size());
  } else if (!ec) {
    ec = absent;
  }
  get_.Reset();
  if (ec) return ec;
  ec = forget_.Bind(1, static_cast<std::int64_t>(key));
  if (!ec) return forget_.Run();
  forget_.Reset();
  return ec;
}

}  // namespace kal2map
