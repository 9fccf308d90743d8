// SQLite's handles owned, and its results as error codes.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string_view>
#include <system_error>

struct sqlite3;
struct sqlite3_stmt;

namespace kal2map {

// SQLite's result `rc`, from a call on `db`, as an error code: where the system failed, the
// system's code (so a missing folder reads as such); a full disk as no_space_on_device; else
// SQLite's own code with a German text. Success for SQLITE_OK, SQLITE_ROW and SQLITE_DONE.
std::error_code SqliteError(sqlite3* db, int rc);

// One prepared statement; finalized when it goes.
class SqliteStatement {
 public:
  SqliteStatement() = default;
  SqliteStatement(const SqliteStatement&) = delete;
  SqliteStatement& operator=(const SqliteStatement&) = delete;
  ~SqliteStatement() { Finalize(); }

  // Parameters count from 1, as in SQLite. The bytes of text and blobs are copied.
  std::error_code Bind(int index, std::int64_t value);
  std::error_code Bind(int index, std::string_view text);
  std::error_code BindBlob(int index, const void* data, std::size_t size);
  // The next row: true when there is one, false at the end or on failure (then `ec` is set).
  bool Step(std::error_code& ec);
  // Runs a statement that returns no rows, then makes it ready to run again.
  std::error_code Run();
  // Makes the statement ready to run again, its parameters cleared.
  void Reset();
  // The `column`th (from 0) value of the current row.
  std::int64_t Integer(int column) const;
  std::string_view Blob(int column) const;
  void Finalize();

 private:
  friend class SqliteDatabase;
  sqlite3_stmt* stmt_ = nullptr;
  sqlite3* db_ = nullptr;
};

// One connection; closed when it goes.
class SqliteDatabase {
 public:
  SqliteDatabase() = default;
  SqliteDatabase(const SqliteDatabase&) = delete;
  SqliteDatabase& operator=(const SqliteDatabase&) = delete;
  ~SqliteDatabase() { Close(); }

  // Opens or creates the database file `path`; an empty path gives a private database in a
  // temporary file that the system removes when it is closed.
  std::error_code Open(const std::filesystem::path& path);
  // Runs `sql`, statements without rows.
  std::error_code Execute(const char* sql);
  std::error_code Prepare(std::string_view sql, SqliteStatement& statement);
  // Closes; the statements must have been finalized first.
  std::error_code Close();
  bool IsOpen() const { return db_ != nullptr; }

 private:
  sqlite3* db_ = nullptr;
};

}  // namespace kal2map
