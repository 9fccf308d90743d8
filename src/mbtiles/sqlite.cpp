#include "mbtiles/sqlite.h"

#include <sqlite3.h>

#include <string>

#include "platform/error_category.h"
#include "platform/system_error.h"
#include "platform/text.h"

namespace kal2map {
namespace {

// Texts by SQLite's primary code; the extended code is kept in the error for whoever looks.
std::string Text(int code) {
  switch (code & 0xff) {
    case SQLITE_CANTOPEN:
      return "Datenbankdatei kann nicht geöffnet werden";
    case SQLITE_IOERR:
      return "Ein-/Ausgabefehler";
    case SQLITE_READONLY:
      return "Datenbank ist schreibgeschützt";
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return "Datenbank wird von einem anderen Programm benutzt";
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
      return "Datenbankdatei ist beschädigt";
    case SQLITE_TOOBIG:
      return "Eintrag zu groß für die Datenbank";
    case SQLITE_CONSTRAINT:
      return "Eintrag doppelt vorhanden";
    case SQLITE_PERM:
    case SQLITE_AUTH:
      return "Zugriff verweigert";
  }
  return std::string("SQLite: ") + sqlite3_errstr(code);
}

const std::error_category& SqliteCategory() {
  static const TextCategory category("sqlite", Text);
  return category;
}

}  // namespace

std::error_code SqliteError(sqlite3* db, int rc) {
  if (rc == SQLITE_OK || rc == SQLITE_ROW || rc == SQLITE_DONE) return {};
  const int primary = rc & 0xff;
  if (primary == SQLITE_FULL) return std::make_error_code(std::errc::no_space_on_device);
  if (primary == SQLITE_NOMEM) return std::make_error_code(std::errc::not_enough_memory);
  // The system's number is only recorded for these, and stays from an earlier failure.
  if ((primary == SQLITE_IOERR || primary == SQLITE_CANTOPEN) && db != nullptr) {
    if (const int number = sqlite3_system_errno(db)) return SystemErrorCode(number);
  }
  return {rc, SqliteCategory()};
}

std::error_code SqliteStatement::Bind(int index, std::int64_t value) {
  return SqliteError(db_, sqlite3_bind_int64(stmt_, index, value));
}

std::error_code SqliteStatement::Bind(int index, std::string_view text) {
  return SqliteError(db_, sqlite3_bind_text64(stmt_, index, text.data(), text.size(),
                                              SQLITE_TRANSIENT, SQLITE_UTF8));
}

std::error_code SqliteStatement::BindBlob(int index, const void* data, std::size_t size) {
  // A null pointer would bind NULL rather than an empty blob.
  static const char kNothing = 0;
  return SqliteError(
      db_, sqlite3_bind_blob64(stmt_, index, size == 0 ? &kNothing : data, size, SQLITE_TRANSIENT));
}

bool SqliteStatement::Step(std::error_code& ec) {
  const int rc = sqlite3_step(stmt_);
  ec = SqliteError(db_, rc);
  return rc == SQLITE_ROW;
}

std::error_code SqliteStatement::Run() {
  std::error_code ec;
  while (Step(ec)) {
  }
  Reset();
  return ec;
}

void SqliteStatement::Reset() {
  sqlite3_reset(stmt_);
  sqlite3_clear_bindings(stmt_);
}

std::int64_t SqliteStatement::Integer(int column) const {
  return sqlite3_column_int64(stmt_, column);
}

std::string_view SqliteStatement::Blob(int column) const {
  const void* data = sqlite3_column_blob(stmt_, column);
  const int size = sqlite3_column_bytes(stmt_, column);
  return {static_cast<const char*>(data), static_cast<std::size_t>(size)};
}

void SqliteStatement::Finalize() {
  sqlite3_finalize(stmt_);
  stmt_ = nullptr;
}

std::error_code SqliteDatabase::Open(const std::filesystem::path& path) {
  Close();
  // One connection per object, never shared between threads: no locking of its own needed.
  const int rc =
      sqlite3_open_v2(LibraryFileName(path).c_str(), &db_,
                      SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
  // A handle comes back even from a failed open, to tell why and then be closed.
  const std::error_code ec = SqliteError(db_, rc);
  if (ec) Close();
  return ec;
}

std::error_code SqliteDatabase::Execute(const char* sql) {
  return SqliteError(db_, sqlite3_exec(db_, sql, nullptr, nullptr, nullptr));
}

std::error_code SqliteDatabase::Prepare(std::string_view sql, SqliteStatement& statement) {
  statement.Finalize();
  statement.db_ = db_;
  return SqliteError(db_, sqlite3_prepare_v2(db_, sql.data(), static_cast<int>(sql.size()),
                                             &statement.stmt_, nullptr));
}

std::error_code SqliteDatabase::Close() {
  if (db_ == nullptr) return {};
  const std::error_code ec = SqliteError(db_, sqlite3_close(db_));
  // Busy: a statement is still open. The handle closes with the last of them; this object
  // forgets it either way, so that it is never closed twice.
  if (ec) sqlite3_close_v2(db_);
  db_ = nullptr;
  return ec;
}

}  // namespace kal2map
