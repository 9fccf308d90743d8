// Runs kal2map-cli as a user would and checks what it prints, its exit status, and what is
// on disk afterwards.
#include <gtest/gtest.h>

#include "control/choice.h"
#include "test_util.h"

namespace kal2map {
namespace {

using test::Listing;
using test::Outcome;
using test::ReadFile;
using test::TempDir;
using test::U8;
using test::WriteFile;

// Absolute, so that it also holds when the tests run in a folder on another drive.
const std::filesystem::path kExamples = std::filesystem::absolute(KAL2MAP_EXAMPLES);

// The separator the program puts between a folder and a name it found there; a path the user
// typed is shown as typed.
#ifdef _WIN32
const std::string kSep = "\\";
#else
const std::string kSep = "/";
#endif

// Runs the program in `dir` with `args`, each one word.
Outcome RunCli(const TempDir& dir, const std::vector<std::string>& args) {
  return test::RunCli(dir.path(), args);
}

void CopyExamples(const TempDir& dir) {
  for (const auto& entry : std::filesystem::directory_iterator(kExamples)) {
    if (entry.path().extension() == ".kal") {
      std::filesystem::copy_file(entry.path(), dir / entry.path().filename());
    }
  }
}

const char kKal[] =
    "Bitmap = a.png\r\n[Calibration Point1]\r\nLatitude = 52.5\r\nLongitude = 13.25\r\n"
    "Pixel = (10, 20)\r\n[Calibration Point2]\r\nLatitude = 52.4\r\nLongitude = 13.3\r\n"
    "Pixel = (500, 600)\r\n";

TEST(Cli, ExamplesMatchTheirGoldenMapsByteForByte) {
  TempDir dir;
  CopyExamples(dir);
  Outcome run = RunCli(dir, {"."});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  int maps = 0;
  for (const auto& entry : std::filesystem::directory_iterator(kExamples)) {
    if (entry.path().extension() != ".map") continue;
    ++maps;
    EXPECT_EQ(ReadFile(dir / entry.path().filename()), ReadFile(entry.path()))
        << entry.path().filename();
    EXPECT_NE(run.out.find("." + kSep + entry.path().filename().string() + " wurde erstellt.\n"),
              std::string::npos);
  }
  EXPECT_GE(maps, 3);
}

TEST(Cli, ConvertsFoldersAndFilesInTheOrderGiven) {
  TempDir dir;
  std::filesystem::create_directories(dir / "one");
  std::filesystem::create_directories(dir / "two");
  WriteFile(dir / "one" / "b.kal", kKal);
  WriteFile(dir / "one" / "a.kal", kKal);
  WriteFile(dir / "two" / "c.KAL", kKal);
  WriteFile(dir / "two" / "d.kal", kKal);
  Outcome run = RunCli(dir, {"--ext", ".jpg", "two/c.KAL", "one"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, "two" + kSep + "c.map wurde erstellt.\none" + kSep +
                         "a.map wurde erstellt.\none" + kSep + "b.map wurde erstellt.\n");
  EXPECT_EQ(Listing(dir / "two"), "c.KAL c.map d.kal");
  EXPECT_NE(ReadFile(dir / "one" / "a.map").find("\r\na.jpg\r\na.jpg\r\n"), std::string::npos);
}

TEST(Cli, NoPathMeansTheCurrentFolder) {
  TempDir dir;
  Outcome empty = RunCli(dir, {});
  EXPECT_EQ(empty.status, 0);
  EXPECT_EQ(empty.out, "Keine kal-Dateien in ." + kSep + " gefunden.\n");
  WriteFile(dir / "k.kal", kKal);
  Outcome run = RunCli(dir, {});
  EXPECT_EQ(run.out, "." + kSep + "k.map wurde erstellt.\n");
}

// Names outside the Windows code page: arguments, files and messages keep every character.
TEST(Cli, NamesInAnyScript) {
  TempDir dir;
  std::filesystem::create_directory(dir / U8("Карты"));
  WriteFile(dir / U8("Карты") / U8("Κάρτα.kal"), kKal);
  WriteFile(dir / U8("Ελλάδα.kal"), kKal);
  Outcome run = RunCli(dir, {"Карты", "Ελλάδα.kal"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "Карты" + kSep + "Κάρτα.map wurde erstellt.\nΕλλάδα.map wurde erstellt.\n");
  EXPECT_EQ(ReadFile(dir / U8("Карты") / U8("Κάρτα.map")), ReadFile(dir / U8("Ελλάδα.map")));
  EXPECT_NE(ReadFile(dir / U8("Ελλάδα.map")).find("\r\na.png\r\n"), std::string::npos);
}

// A calibration file reached twice is the same file: converted once, at its first place, and
// planned as the window plans the same choices.
TEST(Cli, AFileReachedTwiceIsConvertedOnceAsTheWindowWould) {
  TempDir dir;
  std::filesystem::create_directories(dir / "t" / "sub");
  WriteFile(dir / "t" / "alpen.kal", kKal);
  WriteFile(dir / "t" / "sub" / "b.kal", kKal);
  const std::vector<std::vector<std::string>> cases = {
      {"t", "t/alpen.kal"}, {"-r", "t", "t/sub"}, {"t", "t"}, {"t/alpen.kal", "./t/../t"}};
  for (const auto& args : cases) {
    for (const char* map : {"t/alpen.map", "t/sub/b.map"}) std::filesystem::remove(dir / map);
    Outcome run = RunCli(dir, args);
    EXPECT_EQ(run.status, 0) << args[1] << run.err;
    std::vector<std::filesystem::path> cli_maps, paths;
    for (std::size_t at = 0, end; (end = run.out.find(" wurde erstellt.\n", at)) != run.out.npos;
         at = end + 17) {
      cli_maps.push_back((dir / run.out.substr(at, end - at)).lexically_normal());
    }
    for (const auto& arg : args) {
      if (arg != "-r") paths.push_back(dir / arg);
    }
    std::vector<std::filesystem::path> window_maps;
    for (const Job& job : PlanChoice(ChoosePaths(paths).taken, args[0] == "-r").jobs) {
      window_maps.push_back(job.map.lexically_normal());
    }
    EXPECT_EQ(cli_maps, window_maps) << args[1];
  }
}

TEST(Cli, UsageErrorsWriteNothing) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"--ext", "png", "."}, "kal2map-cli: ungültige Endung"},
      {{"--ext", ".toolongext1", "."}, "kal2map-cli: ungültige Endung"},
      {{"--bogus", "."}, "kal2map-cli: unbekannte Option --bogus"},
      {{".", "missing"}, "kal2map-cli: missing: Datei oder Verzeichnis nicht gefunden"},
      {{".", "notes.txt"}, "kal2map-cli: notes.txt: weder Ordner noch kal-Datei"},
  };
  for (const auto& [args, message] : cases) {
    TempDir dir;
    WriteFile(dir / "a.kal", kKal);
    WriteFile(dir / "notes.txt", "");
    Outcome run = RunCli(dir, args);
    EXPECT_EQ(run.status, 2) << args[0];
    EXPECT_EQ(run.err.rfind(message, 0), 0u) << run.err;
    EXPECT_NE(run.err.find("Aufruf: kal2map-cli"), std::string::npos);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(Listing(dir.path()), "a.kal notes.txt") << args[0];
  }
}

TEST(Cli, AWriteProtectedMapIsKeptAndReported) {
  TempDir dir;
  for (const char* name : {"a.kal", "b.kal", "c.kal"}) WriteFile(dir / name, kKal);
  WriteFile(dir / "b.map", "old map");
  std::filesystem::permissions(
      dir / "b.map", std::filesystem::perms::owner_read | std::filesystem::perms::others_read);
  Outcome run = RunCli(dir, {"."});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "kal2map-cli: ." + kSep + "b.map: Datei ist schreibgeschützt\n");
  EXPECT_EQ(run.out, "." + kSep + "a.map wurde erstellt.\n." + kSep + "c.map wurde erstellt.\n");
  EXPECT_EQ(ReadFile(dir / "b.map"), "old map");
  EXPECT_EQ(Listing(dir.path()), "a.kal a.map b.kal b.map c.kal c.map");
}

// A map of all sheets that cannot be made fails alone, naming its file and why; the sheets'
// maps are written all the same.
TEST(Cli, AMapOfAllSheetsThatCannotBeMadeFailsAlone) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"--mbtiles", "nowhere/x.mbtiles", "."}, "nowhere/x.mbtiles: "},
      {{"--kmz-all", "x.kmz", "."}, "x.kmz: Kein Blatt hat zugleich ein Bild und eine Lage\n"},
  };
  for (const auto& [args, message] : cases) {
    TempDir dir;
    WriteFile(dir / "a.kal", kKal);
    Outcome run = RunCli(dir, args);
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("kal2map-cli: " + message), std::string::npos) << run.err;
    EXPECT_EQ(Listing(dir.path()), "a.kal a.map") << args[1];
  }
}

TEST(Cli, HelpAndVersion) {
  TempDir dir;
  Outcome help = RunCli(dir, {"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(
      help.out.rfind("Aufruf: kal2map-cli [-r] [--complete] [--kmz [--kmz-tiles N] "
                     "[--kmz-order N]] [--frame] [--overview DATEI] [--mbtiles DATEI] "
                     "[--kmz-all DATEI] [--ext .EXT] [PFAD ...]\n",
                     0),
      0u);
  Outcome version = RunCli(dir, {"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind("kal2map-cli ", 0), 0u);
}

#ifdef _WIN32
// A folder deeper than the 260 characters of old Windows paths, named absolute, relative with
// ".." and "/" (which the \\?\ prefix would take as names), with that prefix, and by its file.
// Messages never show the prefix.
TEST(Cli, FoldersDeeperThan260Characters) {
  TempDir dir;
  std::string relative = "x/..";
  for (char c = 'a'; relative.size() < 300; ++c) relative += "/" + std::string(40, c);
  const std::filesystem::path deep = (dir / relative).lexically_normal();
  std::filesystem::create_directories(deep);
  std::filesystem::copy_file(kExamples / "alpen.kal", deep / "alpen.kal");
  // No argument ends in a separator: a quote after a backslash would be taken as text.
  const std::string shown = deep.string(), created = "\\alpen.map wurde erstellt.\n";
  const std::pair<std::string, std::string> cases[] = {
      {shown, shown + created},
      {relative, relative + created},
      {"\\\\?\\" + shown, shown + created},
      {shown + "\\alpen.kal", shown + created},
  };
  for (const auto& [arg, out] : cases) {
    std::filesystem::remove(deep / "alpen.map");
    Outcome run = RunCli(dir, {arg});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, out);
    EXPECT_EQ(ReadFile(deep / "alpen.map"), ReadFile(kExamples / "alpen.map")) << arg;
  }
}
#endif

}  // namespace
}  // namespace kal2map
