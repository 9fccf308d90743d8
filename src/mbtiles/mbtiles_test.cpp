#include "mbtiles/mbtiles.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <cerrno>
#include <map>

#include "platform/files.h"
#include "platform/system_error.h"
#include "platform/text.h"
#include "test_util.h"

namespace kal2map {
namespace {

using test::Listing;
using test::ReadFile;
using test::TempDir;
using test::U8;
using test::WriteFile;

// What an independent reader finds in `path`: the tables' SQL, the metadata, and the tiles as
// "zoom/column/row=bytes".
std::map<std::string, std::string> ReadBack(const std::filesystem::path& path) {
  sqlite3* db = nullptr;
  std::map<std::string, std::string> found;
  if (sqlite3_open_v2(LibraryFileName(path).c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == 0) {
    for (const char* sql :
         {"SELECT name, sql FROM sqlite_master", "SELECT name, value FROM metadata",
          "SELECT zoom_level || '/' || tile_column || '/' || tile_row, tile_data FROM tiles"}) {
      sqlite3_stmt* stmt = nullptr;
      sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr);
      while (sqlite3_step(stmt) == SQLITE_ROW) {
        const auto* text = reinterpret_cast<const char*>(sqlite3_column_blob(stmt, 1));
        found[reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0))] =
            text ? std::string(text, sqlite3_column_bytes(stmt, 1)) : "";
      }
      sqlite3_finalize(stmt);
    }
  }
  sqlite3_close(db);
  return found;
}

TEST(MbtilesWriter, WritesWholeFilesOrLeavesTheOldOne) {
  enum class End { kFinish, kAbandon, kDestroy };
  struct Case {
    const char* name;  // relative to the test's folder; "-" a missing one
    const char* old;   // the file there before, or none
    bool protect;
    End end;
    std::error_code error;
    const char* listing;
  } cases[] = {
      {"Alle Blätter.mbtiles", nullptr, false, End::kFinish, {}, "Alle Blätter.mbtiles"},
      {"a.mbtiles", "old", false, End::kFinish, {}, "a.mbtiles"},
      {"a.mbtiles", "old", false, End::kAbandon, {}, "a.mbtiles"},
      {"a.mbtiles", nullptr, false, End::kDestroy, {}, ""},
      {"a.mbtiles", "old", true, End::kFinish, MakeError(FileError::kWriteProtected), "a.mbtiles"},
      {"-/a.mbtiles", nullptr, false, End::kFinish, SystemErrorCode(ENOENT), ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempDir dir;
    const std::filesystem::path path = dir / U8(c.name);
    if (c.old) WriteFile(path, c.old);
    if (c.protect) std::filesystem::permissions(path, std::filesystem::perms::owner_read);
    std::error_code ec;
    {
      MbtilesWriter writer;
      ec = writer.Open(path);
      for (std::uint32_t row : {0u, 1u}) {
        if (!ec) ec = writer.AddTile(1, 1, row, row ? "north" : std::string_view("south\0!", 7));
      }
      MbtilesMetadata m{"Alle Blätter", "",   "© Amt", -10.5, -0.00000001, 179.999999999,
                        60.25,          1.25, 30,      1,     0,           14};
      if (!ec && c.end == End::kFinish) ec = writer.Finish(m);
      if (c.end == End::kAbandon) writer.Abandon();
    }
    // The system tells a missing folder in its own words, which differ.
    EXPECT_EQ(ec.category(), c.error.category()) << ErrorText(ec);
    if (c.error.category() == FileErrorCategory()) {
      EXPECT_EQ(ec, c.error);
    }
    EXPECT_EQ(Listing(dir.path()), U8(c.listing).string());
    if (c.old && (ec || c.end != End::kFinish)) {
      EXPECT_EQ(ReadFile(path), c.old);
    }
    if (ec || c.end != End::kFinish) continue;

    const std::map<std::string, std::string> expected = {
        {"metadata", "CREATE TABLE metadata (name text, value text)"},
        {"tiles",
         "CREATE TABLE tiles (zoom_level integer, tile_column integer, tile_row integer, "
         "tile_data blob)"},
        {"name", "Alle Blätter"},
        {"metadata_index", "CREATE UNIQUE INDEX metadata_index ON metadata (name)"},
        {"tile_index",
         "CREATE UNIQUE INDEX tile_index ON tiles (zoom_level, tile_column, tile_row)"},
        {"format", "jpg"},
        {"type", "overlay"},
        {"version", "1"},
        {"bounds", "-10.5,0,180,60.25"},
        {"center", "1.25,30,1"},
        {"minzoom", "0"},
        {"maxzoom", "14"},
        {"attribution", "© Amt"},
        {"1/1/0", std::string("south\0!", 7)},
        {"1/1/1", "north"},
    };
    EXPECT_EQ(ReadBack(path), expected);
  }
}

}  // namespace
}  // namespace kal2map
