#include "mbtiles/sqlite.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include "platform/system_error.h"
#include "platform/text.h"
#include "test_util.h"

namespace kal2map {
namespace {

TEST(SqliteError, SaysWhatFailedInTheSystemsWordsOrGerman) {
  const struct {
    int rc;
    std::error_code error;  // where it is not SQLite's own
    const char* text;
  } cases[] = {
      {SQLITE_DONE, {}, nullptr},
      {SQLITE_FULL, std::make_error_code(std::errc::no_space_on_device), nullptr},
      {SQLITE_NOMEM, std::make_error_code(std::errc::not_enough_memory), nullptr},
      {SQLITE_CONSTRAINT_UNIQUE, {}, "Eintrag doppelt vorhanden"},
      {SQLITE_IOERR_WRITE, {}, "Ein-/Ausgabefehler"},  // no system error recorded
      {SQLITE_MISMATCH, {}, "SQLite: datatype mismatch"},
  };
  for (const auto& c : cases) {
    const std::error_code ec = SqliteError(nullptr, c.rc);
    if (c.text == nullptr) {
      EXPECT_EQ(ec, c.error) << c.rc;
    } else {
      EXPECT_EQ(ErrorText(ec), c.text);
    }
  }
}

TEST(SqliteDatabase, MissingFolderIsTheSystemsError) {
  test::TempDir dir;
  SqliteDatabase db;
  const std::error_code ec = db.Open(dir / "missing" / test::U8("Blätter.db"));
  EXPECT_EQ(ec.category(), SystemErrorCode(1).category()) << ErrorText(ec);
  EXPECT_FALSE(db.IsOpen());
}

}  // namespace
}  // namespace kal2map
