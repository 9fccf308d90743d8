// The batch as the window runs it on Windows: attributes and names outside the code page.
#include <gtest/gtest.h>
#include <windows.h>

#include "control/batch.h"
#include "platform/files.h"
#include "platform/text.h"
#include "test_util.h"

namespace kal2map {
namespace {

using test::ReadFile;
using test::RecordingWindow;
using test::SetAttributes;
using test::TempDir;
using test::U8;
using test::WriteFile;

const char kKal[] = "Bitmap = a.png\r\n[Calibration Point1]\r\nLatitude = 52.5\r\n";

TEST(ConvertAllWin32, ReadOnlyCalibrationsConvertProtectedMapsStay) {
  TempDir dir;
  for (const char* name : {"a.kal", "b.kal", "c.kal", "d.kal"}) WriteFile(dir / name, kKal);
  SetAttributes(dir / "a.kal", FILE_ATTRIBUTE_READONLY);
  WriteFile(dir / "b.map", "old b");
  SetAttributes(dir / "b.map", FILE_ATTRIBUTE_READONLY);
  WriteFile(dir / "c.map", "old c");
  SetAttributes(dir / "c.map", FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
  WriteFile(dir / "d.map", "old d");

  State state;
  InitState(state, dir.path());
  RecordingWindow window;
  RunReport report = ConvertAll(state, window);
  EXPECT_EQ(report.written, 2u);
  ASSERT_EQ(report.failures.size(), 2u);
  for (const auto& failure : report.failures) {
    EXPECT_EQ(failure.error, MakeError(FileError::kWriteProtected)) << failure.path;
    EXPECT_EQ(ErrorText(failure.error), "Datei ist schreibgeschützt");
  }
  EXPECT_EQ(ReadFile(dir / "b.map"), "old b");
  EXPECT_EQ(ReadFile(dir / "c.map"), "old c");
  const std::string map = ReadFile(dir / "a.map");
  EXPECT_NE(map.find("\r\na.png\r\n"), std::string::npos);
  EXPECT_EQ(ReadFile(dir / "d.map"), map);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 8);
}

// Windows folds letter case: "A.kal.kal" and "a.kal" both write A.map, so the file listed
// second is reported instead of replacing the first one's map.
TEST(ConvertAllWin32, MapNamesThatDifferOnlyInCaseClash) {
  TempDir dir;
  WriteFile(dir / "A.kal.kal", "Bitmap = first.png\r\n");
  WriteFile(dir / "a.kal", kKal);
  State state;
  InitState(state, dir.path());
  RecordingWindow window;
  RunReport report = ConvertAll(state, window);
  ASSERT_EQ(report.failures.size(), 1u);
  EXPECT_EQ(report.failures[0].path, dir / "a.kal");
  EXPECT_EQ(report.failures[0].error, MakeError(BatchError::kMapNameTaken));
  EXPECT_NE(ReadFile(dir / "A.map").find("\r\nfirst.png\r\n"), std::string::npos);
  EXPECT_EQ(test::Listing(dir.path()), "A.kal.kal A.map a.kal");
}

TEST(ConvertAllWin32, FolderAndFileNamesOutsideTheCodePage) {
  TempDir dir;
  const std::filesystem::path folder = dir / U8("Карты");
  std::filesystem::create_directory(folder);
  WriteFile(folder / U8("Κάρτα.kal"), kKal);
  State state;
  InitState(state, folder);
  RecordingWindow window;
  RunReport report = ConvertAll(state, window);
  EXPECT_TRUE(report.ok());
  EXPECT_TRUE(std::filesystem::is_regular_file(folder / U8("Κάρτα.map")));
  ASSERT_FALSE(window.messages.empty());
  const std::string expected = PathText(dir.path()) + "\\Карты\\Κάρτα.map wurde erstellt.";
  EXPECT_EQ(window.messages.back(), expected);
}

}  // namespace
}  // namespace kal2map
