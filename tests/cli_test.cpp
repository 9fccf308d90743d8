// Runs kal2map-cli as a user would and checks what it prints, its exit status, and what is
// on disk afterwards.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>

#include "test_util.h"

namespace kal2map {
namespace {

using testing::Listing;
using testing::ReadFile;
using testing::TempDir;
using testing::WriteFile;

const std::filesystem::path kExamples = KAL2MAP_EXAMPLES;

struct Outcome {
  int status;
  std::string out, err;
};

// Runs the program in `cwd` with `args` (already quoted for the shell).
Outcome RunCli(const TempDir& dir, const std::string& args, const std::filesystem::path& cwd = {}) {
  const auto out = dir.path().parent_path() / (dir.path().filename().string() + ".out");
  const auto err = dir.path().parent_path() / (dir.path().filename().string() + ".err");
  std::string command = "cd '" + (cwd.empty() ? dir.path() : cwd).string() + "' && '" +
                        KAL2MAP_CLI + "' " + args + " >'" + out.string() + "' 2>'" +
                        err.string() + "' </dev/null";
  int status = std::system(command.c_str());
  Outcome outcome{WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadFile(out), ReadFile(err)};
  std::filesystem::remove(out);
  std::filesystem::remove(err);
  return outcome;
}

void CopyExamples(const TempDir& dir) {
  for (const auto& entry : std::filesystem::directory_iterator(kExamples)) {
    if (entry.path().extension() == ".kal") {
      std::filesystem::copy_file(entry.path(), dir / entry.path().filename());
    }
  }
}

const char kKal[] = "Bitmap = a.png\r\n[Calibration Point1]\r\nLatitude = 52.5\r\n";

TEST(Cli, ExamplesMatchTheirGoldenMapsByteForByte) {
  TempDir dir;
  CopyExamples(dir);
  Outcome run = RunCli(dir, ".");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "");
  int maps = 0;
  for (const auto& entry : std::filesystem::directory_iterator(kExamples)) {
    if (entry.path().extension() != ".map") continue;
    ++maps;
    EXPECT_EQ(ReadFile(dir / entry.path().filename()), ReadFile(entry.path()))
        << entry.path().filename();
    EXPECT_NE(run.out.find("./" + entry.path().filename().string() + " wurde erstellt.\n"),
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
  Outcome run = RunCli(dir, "--ext .jpg two/c.KAL one");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out,
            "two/c.map wurde erstellt.\none/a.map wurde erstellt.\none/b.map wurde erstellt.\n");
  EXPECT_EQ(Listing(dir / "two"), "c.KAL c.map d.kal");
  EXPECT_NE(ReadFile(dir / "one" / "a.map").find("\r\na.jpg\r\na.jpg\r\n"), std::string::npos);
}

TEST(Cli, NoPathMeansTheCurrentFolder) {
  TempDir dir;
  Outcome empty = RunCli(dir, "");
  EXPECT_EQ(empty.status, 0);
  EXPECT_EQ(empty.out, "Keine kal-Dateien in ./ gefunden.\n");
  WriteFile(dir / "k.kal", kKal);
  Outcome run = RunCli(dir, "");
  EXPECT_EQ(run.out, "./k.map wurde erstellt.\n");
}

TEST(Cli, UsageErrorsWriteNothing) {
  const std::pair<std::string, std::string> cases[] = {
      {"--ext png .", "kal2map-cli: ungültige Endung"},
      {"--ext .toolongext1 .", "kal2map-cli: ungültige Endung"},
      {"--bogus .", "kal2map-cli: unbekannte Option --bogus"},
      {". missing", "kal2map-cli: missing: Datei oder Verzeichnis nicht gefunden"},
      {". notes.txt", "kal2map-cli: notes.txt: weder Ordner noch kal-Datei"},
  };
  for (const auto& [args, message] : cases) {
    TempDir dir;
    WriteFile(dir / "a.kal", kKal);
    WriteFile(dir / "notes.txt", "");
    Outcome run = RunCli(dir, args);
    EXPECT_EQ(run.status, 2) << args;
    EXPECT_EQ(run.err.rfind(message, 0), 0u) << run.err;
    EXPECT_NE(run.err.find("Aufruf: kal2map-cli"), std::string::npos);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(Listing(dir.path()), "a.kal notes.txt") << args;
  }
}

TEST(Cli, AWriteProtectedMapIsKeptAndReported) {
  TempDir dir;
  for (const char* name : {"a.kal", "b.kal", "c.kal"}) WriteFile(dir / name, kKal);
  WriteFile(dir / "b.map", "old map");
  std::filesystem::permissions(dir / "b.map", std::filesystem::perms::owner_read |
                                                  std::filesystem::perms::others_read);
  Outcome run = RunCli(dir, ".");
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "kal2map-cli: ./b.map: Datei ist schreibgeschützt\n");
  EXPECT_EQ(run.out, "./a.map wurde erstellt.\n./c.map wurde erstellt.\n");
  EXPECT_EQ(ReadFile(dir / "b.map"), "old map");
  EXPECT_EQ(Listing(dir.path()), "a.kal a.map b.kal b.map c.kal c.map");
}

TEST(Cli, HelpAndVersion) {
  TempDir dir;
  Outcome help = RunCli(dir, "--help");
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("Aufruf: kal2map-cli [--ext .EXT] [PFAD ...]\n", 0), 0u);
  Outcome version = RunCli(dir, "--version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind("kal2map-cli ", 0), 0u);
}

}  // namespace
}  // namespace kal2map
