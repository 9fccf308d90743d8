#include "control/batch.h"

#include <gtest/gtest.h>

#include "platform/files.h"
#include "platform/text.h"
#include "record/map_format.h"
#include "test_util.h"

namespace kal2map {
namespace {

using test::Line;
using test::Listing;
using test::ReadFile;
using test::RecordingWindow;
using test::TempDir;
using test::WriteFile;

const char kKarte[] =
    "[Map]\r\nBitmap = Karte.png\r\n[Calibration Point1]\r\nLatitude = 52.5\r\n"
    "Longitude = 13.25\r\nPixel = (10, 20)\r\n[Calibration Point2]\r\nLatitude = 52.4\r\n"
    "Longitude = 13.3\r\nPixel = (500, 600)\r\n";

struct BatchTest : ::testing::Test {
  BatchTest() { InitState(state, dir.path()); }
  TempDir dir;
  State state;
  RecordingWindow window;
};

TEST_F(BatchTest, ConvertsAFolderOfOneFileIntoItsMapAndNamesIt) {
  WriteFile(dir / "Karte.kal", kKarte);
  RunReport report = ConvertAll(state, window);
  EXPECT_TRUE(report.ok());
  const std::string map = ReadFile(dir / "Karte.map");
  EXPECT_EQ(Line(map, 2), "karte.png");
  EXPECT_EQ(Line(map, 3), "Karte.png");
  EXPECT_EQ(Line(map, 10),
            "Point01,xy,   10,   20,in, deg,  52,  30,N,  13,  15,E, grid,   ,           ,"
            "           ,N");
  EXPECT_EQ(Line(map, 11),
            "Point02,xy,  500,  600,in, deg,  52,  24,N,  13,  18,E, grid,   ,           ,"
            "           ,N");
  EXPECT_EQ(Line(map, 12), map_format::EmptyPointLine(3));
  ASSERT_FALSE(window.messages.empty());
  EXPECT_EQ(window.messages.back(), PathText(dir / "Karte.map") + " wurde erstellt.");
}

TEST_F(BatchTest, ReportsTheLastMapAndLeavesOtherFilesAlone) {
  for (const char* name : {"b.kal", "a.KAL", "c.kal"}) WriteFile(dir / name, kKarte);
  WriteFile(dir / "notes.txt", "x");
  std::filesystem::create_directory(dir / "folder.kal");
  RunReport report = ConvertAll(state, window);
  EXPECT_EQ(report.found, 3u);
  EXPECT_EQ(report.written, 3u);
  EXPECT_EQ(Listing(dir.path()), "a.KAL a.map b.kal b.map c.kal c.map folder.kal notes.txt");
  EXPECT_EQ(window.messages.back(), PathText(dir / "c.map") + " wurde erstellt.");
  // The maps do not match the pattern: a second run converts the same three files.
  EXPECT_EQ(ConvertAll(state, window).found, 3u);
}

TEST_F(BatchTest, AFolderWithoutCalibrationFilesSaysSo) {
  RunReport report = ConvertAll(state, window);
  EXPECT_TRUE(report.ok());
  EXPECT_EQ(report.found, 0u);
  EXPECT_EQ(window.messages, std::vector<std::string>{"Keine kal-Dateien in " +
                                                      PathText(dir.path() / "") + " gefunden."});
  EXPECT_EQ(Listing(dir.path()), "");
}

TEST_F(BatchTest, AFailedFileDoesNotStopTheRun) {
  for (const char* name : {"a.kal", "b.kal", "c.kal"}) WriteFile(dir / name, kKarte);
  std::filesystem::create_directory(dir / "b.map");  // b's map cannot be written
  RunReport report = ConvertAll(state, window);
  EXPECT_EQ(report.found, 3u);
  EXPECT_EQ(report.written, 2u);
  ASSERT_EQ(report.failures.size(), 1u);
  EXPECT_EQ(report.failures[0].path, dir / "b.map");
  EXPECT_EQ(window.messages.back(), PathText(dir / "c.map") + " wurde erstellt.");
  EXPECT_EQ(Listing(dir.path()), "a.kal a.map b.kal b.map c.kal c.map");
}

TEST_F(BatchTest, MessageNamesTheLastMapWrittenNotTheLastTried) {
  for (const char* name : {"a.kal", "b.kal"}) WriteFile(dir / name, kKarte);
  std::filesystem::create_directory(dir / "b.map");
  ConvertAll(state, window);
  EXPECT_EQ(window.messages.back(), PathText(dir / "a.map") + " wurde erstellt.");
}

TEST_F(BatchTest, NoMapWrittenIsNotReportedAsSuccess) {
  WriteFile(dir / "a.kal", kKarte);
  std::filesystem::create_directory(dir / "a.map");
  RunReport report = ConvertAll(state, window);
  EXPECT_FALSE(report.ok());
  EXPECT_EQ(window.messages, std::vector<std::string>{"Keine map-Datei erstellt."});
}

TEST_F(BatchTest, TwoCalibrationFilesForOneMapKeepTheFirstMap) {
  WriteFile(dir / "a.kal", kKarte);
  WriteFile(dir / "a.kal.kal", "Bitmap = other.png\r\n");
  RunReport report = ConvertAll(state, window);
  EXPECT_EQ(report.found, 2u);
  EXPECT_EQ(report.written, 1u);
  ASSERT_EQ(report.failures.size(), 1u);
  EXPECT_EQ(report.failures[0].path, dir / "a.kal.kal");
  EXPECT_EQ(report.failures[0].error, MakeError(BatchError::kMapNameTaken));
  EXPECT_EQ(Line(ReadFile(dir / "a.map"), 2), "karte.png");
  EXPECT_EQ(window.messages.back(), PathText(dir / "a.map") + " wurde erstellt.");
}

TEST_F(BatchTest, ConvertsASingleFileNamedDirectly) {
  WriteFile(dir / "Karte.kal", kKarte);
  WriteFile(dir / "other.kal", kKarte);
  Plan plan;
  PlanFile(plan, dir / "Karte.kal");
  RunReport report = ConvertPlan(state, window, plan);
  EXPECT_EQ(report.written, 1u);
  EXPECT_EQ(Listing(dir.path()), "Karte.kal Karte.map other.kal");
  EXPECT_EQ(window.messages.back(), PathText(dir / "Karte.map") + " wurde erstellt.");
}

TEST_F(BatchTest, ImageExtensionChoiceReachesTheMap) {
  WriteFile(dir / "Karte.kal", kKarte);
  state.BitmapExt = ".jpg";
  ConvertAll(state, window);
  const std::string map = ReadFile(dir / "Karte.map");
  EXPECT_EQ(Line(map, 2), "karte.jpg");
  EXPECT_EQ(Line(map, 3), "Karte.jpg");
}

// Names of the jobs' calibration files relative to `dir`, in plan order.
std::vector<std::string> PlannedNames(const Plan& plan, const std::filesystem::path& dir) {
  std::vector<std::string> names;
  for (const Job& job : plan.jobs)
    names.push_back(job.kal.lexically_relative(dir).generic_string());
  return names;
}

TEST_F(BatchTest, SubfoldersAreVisitedDepthFirstInNameOrder) {
  for (const char* name :
       {"b/z.kal", "b/a/y.kal", "a/x.kal", "top.kal", ".hidden/h.kal", "c/n.txt"}) {
    std::filesystem::create_directories((dir / name).parent_path());
    WriteFile(dir / name, kKarte);
  }
#ifdef _WIN32
  // Windows hides a folder by its attribute; a leading "." is an ordinary name there.
  test::SetAttributes(dir / ".hidden", FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN);
#else
  std::filesystem::create_directory_symlink(dir.path(), dir / "b" / "loop");
#endif
  Plan flat, deep;
  PlanFolder(flat, state.WorkFolder, false);
  PlanFolder(deep, state.WorkFolder, true);
  EXPECT_EQ(PlannedNames(flat, dir.path()), std::vector<std::string>{"top.kal"});
  EXPECT_EQ(PlannedNames(deep, dir.path()),
            (std::vector<std::string>{"top.kal", "a/x.kal", "b/z.kal", "b/a/y.kal"}));
  EXPECT_TRUE(deep.failures.empty());
  RunReport report = ConvertPlan(state, window, deep);
  EXPECT_EQ(report.written, 4u);
  EXPECT_EQ(Listing(dir / "b" / "a"), "y.kal y.map");
}

TEST_F(BatchTest, StoppingLeavesWholeMapsAndSaysHowMany) {
  struct StoppingWindow : RecordingWindow {
    bool StopRequested() override { return messages.size() >= 2; }
  } stopping;
  for (const char* name : {"a.kal", "b.kal", "c.kal"}) WriteFile(dir / name, kKarte);
  RunReport report = ConvertAll(state, stopping);
  EXPECT_TRUE(report.stopped);
  EXPECT_EQ(report.written, 2u);
  EXPECT_EQ(stopping.messages.back(), "Abgebrochen: 2 map-Dateien erstellt.");
  EXPECT_EQ(Listing(dir.path()), "a.kal a.map b.kal b.map c.kal");
}

TEST_F(BatchTest, TheSameMapFromTwoRootsIsMadeOnce) {
  WriteFile(dir / "a.kal", kKarte);
  Plan plan;
  PlanFolder(plan, state.WorkFolder, false);
  PlanFile(plan, dir / "." / "a.kal");
  RunReport report = ConvertPlan(state, window, plan);
  EXPECT_EQ(report.found, 1u);
  EXPECT_EQ(report.written, 1u);
  EXPECT_TRUE(report.ok());
  EXPECT_EQ(window.messages,
            std::vector<std::string>{PathText(dir / "a.map") + " wurde erstellt."});
}

// The same folder under another name (a link; on Windows its 8.3 short name): each file once.
TEST_F(BatchTest, AFolderReachedUnderAnotherNameIsConvertedOnce) {
  WriteFile(dir / "a.kal", kKarte);
#ifdef _WIN32
  std::wstring other(32768, L'\0');
  other.resize(::GetShortPathNameW(dir.path().c_str(), other.data(), 32768));
  if (other.empty() || other == dir.path().native()) GTEST_SKIP() << "no short names here";
#else
  const std::filesystem::path other = dir / "link";
  std::filesystem::create_directory_symlink(dir.path(), other);
#endif
  Plan plan;
  PlanFolder(plan, dir.path(), false);
  PlanFolder(plan, other, false);
  RunReport report = ConvertPlan(state, window, plan);
  EXPECT_TRUE(report.ok());
  EXPECT_EQ(report.written, 1u);
}

}  // namespace
}  // namespace kal2map
