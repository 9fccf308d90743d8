// Breaks the disk under kal2map-cli in every way a user's folder can be broken and checks what
// the user is told and what is on disk afterwards: the files that could be converted are, the
// others are named with the reason, no existing map is lost or damaged, nothing stray is left,
// and nothing hangs or eats memory.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <malloc.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <map>
#include <random>
#include <thread>

#include "test_util.h"

namespace kal2map {
namespace {

namespace fs = std::filesystem;
using test::Listing;
using test::Outcome;
using test::ReadFile;
using test::RunCli;
using test::RunOptions;
using test::TempDir;
using test::WriteFile;

const fs::path kExamples = KAL2MAP_EXAMPLES;
constexpr bool kSanitized = KAL2MAP_SANITIZED;  // slower, and the allocator keeps freed memory

// Hands `fault` to the shim preloaded into every program run with these options.
RunOptions WithFault(const std::string& fault) {
  RunOptions options;
  if (fault.empty()) return options;
  options.env.push_back(std::string("LD_PRELOAD=") + KAL2MAP_FAULT_SHIM);
  options.env.push_back("KAL2MAP_FAULT=" + fault);
  // The shim must come before the sanitizer runtime to see the program's calls.
  const char* asan = std::getenv("ASAN_OPTIONS");
  options.env.push_back("ASAN_OPTIONS=" + std::string(asan ? asan : "") +
                        ":verify_asan_link_order=0");
  return options;
}

// kal2map-cli with `fault` handed to the preloaded shim, and `prefix` in front (to drop
// privileges).
Outcome RunCli(const fs::path& cwd, const std::vector<std::string>& args, const std::string& fault,
               const std::vector<std::string>& prefix = {}) {
  RunOptions options = WithFault(fault);
  options.prefix = prefix;
  return test::RunCli(cwd, args, options);
}

// What a folder entry is, to compare before and after a run.
struct Entry {
  fs::file_type type;
  fs::perms perms;
  std::string bytes;  // contents of a file, target of a link
  bool operator==(const Entry&) const = default;
};

std::map<std::string, Entry> Snapshot(const fs::path& folder) {
  std::map<std::string, Entry> entries;
  for (const auto& item : fs::directory_iterator(folder)) {
    const fs::file_status st = item.symlink_status();
    Entry entry{st.type(), st.permissions(), ""};
    if (st.type() == fs::file_type::regular) entry.bytes = ReadFile(item.path());
    if (st.type() == fs::file_type::symlink) entry.bytes = fs::read_symlink(item.path()).string();
    if (st.type() == fs::file_type::directory) entry.bytes = Listing(item.path());
    entries[item.path().filename().string()] = entry;
  }
  return entries;
}

void CopyExample(const std::string& name, const fs::path& folder) {
  fs::copy_file(kExamples / (name + ".kal"), folder / (name + ".kal"));
}

bool RunningAsRoot() { return ::geteuid() == 0; }

// A map as readers need it: 43 lines, each ended by CR LF, no other CR or LF anywhere.
bool HasMapShape(const std::string& map) {
  std::size_t lines = 0;
  for (std::size_t i = 0; i < map.size(); ++i) {
    if (map[i] == '\r' && (i + 1 == map.size() || map[i + 1] != '\n')) return false;
    if (map[i] == '\n' && (i == 0 || map[i - 1] != '\r')) return false;
    lines += map[i] == '\n';
  }
  return lines == 43 && map.ends_with("\r\n");
}

// The folder holds alpen.kal, muenchen.kal and rio.kal from the examples; each case breaks
// muenchen's side of the conversion in one way.
struct FolderFault {
  const char* what;
  std::function<void(const fs::path&)> setup;
  std::string fault;  // for the shim; "@" stands for the folder
  int status;
  std::string out, err;
  std::string listing;
  std::vector<std::string> written;  // maps that must equal the examples' golden maps
};

const std::string kOthersWritten = "./alpen.map wurde erstellt.\n./rio.map wurde erstellt.\n";
const std::string kAllWritten =
    "./alpen.map wurde erstellt.\n./muenchen.map wurde erstellt.\n./rio.map wurde erstellt.\n";

void Replace(const fs::path& folder, const std::function<void(const fs::path&)>& make) {
  fs::remove(folder / "muenchen.kal");
  make(folder / "muenchen.kal");
}

const FolderFault kFolderFaults[] = {
    {"write-protected map, even for root",
     [](const fs::path& d) {
       WriteFile(d / "muenchen.map", "old map\r\n");
       fs::permissions(d / "muenchen.map", fs::perms::owner_read | fs::perms::group_read);
     },
     "",
     1,
     kOthersWritten,
     "kal2map-cli: ./muenchen.map: Datei ist schreibgeschützt\n",
     "alpen.kal alpen.map muenchen.kal muenchen.map rio.kal rio.map",
     {"alpen", "rio"}},
    {"map path is a folder",
     [](const fs::path& d) {
       fs::create_directory(d / "muenchen.map");
       WriteFile(d / "muenchen.map" / "inside", "x");
     },
     "",
     1,
     kOthersWritten,
     "kal2map-cli: ./muenchen.map: Ist ein Verzeichnis\n",
     "alpen.kal alpen.map muenchen.kal muenchen.map rio.kal rio.map",
     {"alpen", "rio"}},
    {"map path is a pipe",
     [](const fs::path& d) { ::mkfifo((d / "muenchen.map").c_str(), 0644); },
     "",
     1,
     kOthersWritten,
     "kal2map-cli: ./muenchen.map: Keine gewöhnliche Datei\n",
     "alpen.kal alpen.map muenchen.kal muenchen.map rio.kal rio.map",
     {"alpen", "rio"}},
    {"calibration file is a dangling link",
     [](const fs::path& d) {
       Replace(d, [](const fs::path& p) { fs::create_symlink("gone.kal", p); });
     },
     "",
     1,
     kOthersWritten,
     "kal2map-cli: ./muenchen.kal: Datei oder Verzeichnis nicht gefunden\n",
     "alpen.kal alpen.map muenchen.kal rio.kal rio.map",
     {"alpen", "rio"}},
    {"calibration file is a pipe without writer",
     [](const fs::path& d) { Replace(d, [](const fs::path& p) { ::mkfifo(p.c_str(), 0644); }); },
     "",
     0,
     kOthersWritten,
     "",
     "alpen.kal alpen.map muenchen.kal rio.kal rio.map",
     {"alpen", "rio"}},
    {"calibration file is a folder",
     [](const fs::path& d) { Replace(d, [](const fs::path& p) { fs::create_directory(p); }); },
     "",
     0,
     kOthersWritten,
     "",
     "alpen.kal alpen.map muenchen.kal rio.kal rio.map",
     {"alpen", "rio"}},
    {"calibration file links to a readable file",
     [](const fs::path& d) {
       fs::rename(d / "muenchen.kal", d / "target");
       fs::create_symlink("target", d / "muenchen.kal");
     },
     "",
     0,
     kAllWritten,
     "",
     "alpen.kal alpen.map muenchen.kal muenchen.map rio.kal rio.map target",
     {"alpen", "muenchen", "rio"}},
    {"calibration file disappears between listing and reading",
     [](const fs::path& d) { WriteFile(d / "muenchen.map", "old map\r\n"); },
     "vanish:@/muenchen.kal",
     1,
     kOthersWritten,
     "kal2map-cli: ./muenchen.kal: Datei oder Verzeichnis nicht gefunden\n",
     "alpen.kal alpen.map muenchen.map rio.kal rio.map",
     {"alpen", "rio"}},
    {"temporary file cannot be created",
     [](const fs::path& d) { WriteFile(d / "muenchen.map", "old map\r\n"); },
     "create:/.muenchen.map.",
     1,
     kOthersWritten,
     "kal2map-cli: ./muenchen.map: Zugriff verweigert\n",
     "alpen.kal alpen.map muenchen.kal muenchen.map rio.kal rio.map",
     {"alpen", "rio"}},
    {"disk fills up while the map is written",
     [](const fs::path& d) { WriteFile(d / "muenchen.map", "old map\r\n"); },
     "full:/.muenchen.map.",
     1,
     kOthersWritten,
     "kal2map-cli: ./muenchen.map: Kein Speicherplatz mehr auf dem Datenträger\n",
     "alpen.kal alpen.map muenchen.kal muenchen.map rio.kal rio.map",
     {"alpen", "rio"}},
    // rio's new map waits in muenchen's batch, and fails with it.
    {"flushing the batch fails",
     [](const fs::path& d) { WriteFile(d / "muenchen.map", "old map\r\n"); },
     "fsync:EIO",
     1,
     "./alpen.map wurde erstellt.\n",
     "kal2map-cli: ./muenchen.map: Ein-/Ausgabefehler\nkal2map-cli: ./rio.map: "
     "Ein-/Ausgabefehler\n",
     "alpen.kal alpen.map muenchen.kal muenchen.map rio.kal",
     {"alpen"}},
    // The maps are in place but may not survive a power cut: no success.
    {"flushing the folder fails",
     [](const fs::path& d) { WriteFile(d / "muenchen.map", "old map\r\n"); },
     "fsync-folder:EIO",
     1,
     kAllWritten,
     "kal2map-cli: ./: Ein-/Ausgabefehler\n",
     "alpen.kal alpen.map muenchen.kal muenchen.map rio.kal rio.map",
     {"alpen", "muenchen", "rio"}},
    {"disk fills up while a new map is written",
     [](const fs::path&) {},
     "full:/.muenchen.map.",
     1,
     kOthersWritten,
     "kal2map-cli: ./muenchen.map: Kein Speicherplatz mehr auf dem Datenträger\n",
     "alpen.kal alpen.map muenchen.kal rio.kal rio.map",
     {"alpen", "rio"}},
};

TEST(Faults, AFailedFileIsNamedAndTheOthersConverted) {
  for (const FolderFault& c : kFolderFaults) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    for (const char* name : {"alpen", "muenchen", "rio"}) CopyExample(name, dir.path());
    c.setup(dir.path());
    const auto before = Snapshot(dir.path());
    std::string fault = c.fault;
    if (auto at = fault.find('@'); at != std::string::npos) fault.replace(at, 1, dir.path());

    const Outcome run = RunCli(dir.path(), {"."}, fault);
    EXPECT_FALSE(run.timed_out);
    EXPECT_EQ(run.status, c.status);
    EXPECT_EQ(run.out, c.out);
    EXPECT_EQ(run.err, c.err);
    EXPECT_EQ(Listing(dir.path()), c.listing);
    const auto after = Snapshot(dir.path());
    for (const auto& [name, entry] : before) {
      if (after.count(name) == 0) continue;  // the listing above says whether it may go
      const bool rewritten = std::any_of(c.written.begin(), c.written.end(),
                                         [&](const std::string& m) { return name == m + ".map"; });
      if (!rewritten) {
        EXPECT_TRUE(after.at(name) == entry) << name << " changed";
      }
    }
    for (const std::string& map : c.written) {
      EXPECT_EQ(ReadFile(dir / (map + ".map")), ReadFile(kExamples / (map + ".map"))) << map;
    }
  }
}

// The log of one batch: a new map is renamed at once; replaced ones are all written, sent to the
// disk together, waited for, the last one flushed whole, renamed, and then their folder is
// flushed.
std::string BatchLog(const std::vector<std::string>& maps, bool replaced) {
  std::string writes, sends, waits, renames;
  for (const std::string& map : maps) {
    writes += replaced ? "write\n" : "write\nrename " + map + "\n";
    sends += "writeout\n";
    if (!renames.empty()) waits += "writeout wait\n";
    renames += "rename " + map + "\n";
  }
  return replaced ? writes + sends + waits + "fsync\n" + renames + "fsync folder\n" : writes;
}

TEST(Faults, ReplacedMapsAreFlushedInBatchesBeforeTheirRenames) {
  TempDir dir, logs;
  for (const char* name : {"alpen", "rio"}) CopyExample(name, dir.path());
  fs::create_directory(dir / "sub");
  std::vector<std::string> top{"./alpen.map", "./rio.map"}, sub;
  for (int i = 1000; i < 1300; ++i) {
    fs::copy_file(kExamples / "rio.kal", dir / "sub" / ("s" + std::to_string(i) + ".kal"));
    sub.push_back("./sub/s" + std::to_string(i) + ".map");
  }
  const std::vector<std::string> full(sub.begin(), sub.begin() + 256),
      rest(sub.begin() + 256, sub.end());
  // Another program's files waiting to be written are not waited for: rio.kal's run flushes
  // rio.map alone.
  for (int i = 0; i < 2000; ++i) WriteFile(logs / ("foreign" + std::to_string(i)), "x");
  const std::pair<std::vector<std::string>, std::string> runs[] = {
      {{"."}, BatchLog(top, false)},
      {{"."}, BatchLog(top, true)},
      {{"rio.kal"}, BatchLog({"rio.map"}, true)},
      {{"-r", "."}, BatchLog(top, true) + BatchLog(sub, false)},
      {{"-r", "."}, BatchLog(top, true) + BatchLog(full, true) + BatchLog(rest, true)},
  };
  for (std::size_t i = 0; i < std::size(runs); ++i) {
    const fs::path log = logs / std::to_string(i);
    EXPECT_EQ(RunCli(dir.path(), runs[i].first, "log:" + log.string()).status, 0);
    EXPECT_EQ(ReadFile(log), runs[i].second) << i;
  }
}

// A KMZ joins its map's batch: one flush makes both last, and when it fails neither is replaced.
TEST(Faults, AKmzIsFlushedAndReplacedWithItsMap) {
  TempDir dir, logs;
  std::string bmp = "BM";  // 16 x 16 pixels, 24 bits, grey
  for (std::uint32_t v :
       {54u + 768u, 0u, 54u, 40u, 16u, 16u, 0x180001u, 0u, 768u, 0u, 0u, 0u, 0u}) {
    for (int shift = 0; shift < 32; shift += 8) bmp += static_cast<char>((v >> shift) & 0xFF);
  }
  WriteFile(dir / "a.bmp", bmp + std::string(768, '\x80'));
  std::string kal = "Bitmap = a.bmp\r\n";
  for (int i = 0; i < 4; ++i) {
    const int x = i % 2 * 16, y = i / 2 * 16;
    kal += "[Calibration Point" + std::to_string(i + 1) +
           "]\r\nLatitude = " + std::to_string(52.5 - y * 1e-4) +
           "\r\nLongitude = " + std::to_string(13.25 + x * 1e-4) + "\r\nPixel = (" +
           std::to_string(x) + ", " + std::to_string(y) + ")\r\n";
  }
  WriteFile(dir / "x.kal", kal);
  ASSERT_EQ(RunCli(dir.path(), {"--kmz", "."}, "").status, 0);
  const std::string map = ReadFile(dir / "x.map"), kmz = ReadFile(dir / "x.kmz");
  WriteFile(dir / "x.map", "old map\r\n");
  WriteFile(dir / "x.kmz", "old kmz");
  EXPECT_EQ(RunCli(dir.path(), {"--kmz", "."}, "fsync:EIO").status, 1);
  EXPECT_EQ(ReadFile(dir / "x.map") + ReadFile(dir / "x.kmz"), "old map\r\nold kmz");
  const fs::path log = logs / "log";
  EXPECT_EQ(RunCli(dir.path(), {"--kmz", "."}, "log:" + log.string()).status, 0);
  EXPECT_EQ(ReadFile(log), BatchLog({"./x.map", "./x.kmz"}, true));
  EXPECT_EQ(ReadFile(dir / "x.map") + ReadFile(dir / "x.kmz"), map + kmz);
}

// Ctrl+C while the third of five replaced maps is read: the batch of three is finished whole.
TEST(Faults, AStopInTheMiddleOfABatchFinishesIt) {
  TempDir dir;
  for (const char* name : {"a", "b", "c", "d", "e"}) {
    fs::copy_file(kExamples / "rio.kal", dir / (name + std::string(".kal")));
    WriteFile(dir / (name + std::string(".map")), "old map\r\n");
  }
  const Outcome run = RunCli(dir.path(), {"."}, "interrupt:/c.kal");
  EXPECT_EQ(run.status, -1);  // ended by the interrupt
  EXPECT_EQ(run.out,
            "./a.map wurde erstellt.\n./b.map wurde erstellt.\n./c.map wurde erstellt.\n"
            "Abgebrochen: 3 map-Dateien erstellt.\n");
  EXPECT_EQ(Listing(dir.path()), "a.kal a.map b.kal b.map c.kal c.map d.kal d.map e.kal e.map");
  EXPECT_EQ(ReadFile(dir / "c.map"), ReadFile(kExamples / "rio.map"));
  EXPECT_EQ(ReadFile(dir / "d.map"), "old map\r\n");
}

// A path named on the command line that is no calibration file is refused before anything is
// written, and a pipe is never opened for reading, so nothing waits for a writer.
TEST(Faults, OddFilesNamedOnTheCommandLineAreRefused) {
  const std::pair<const char*, std::function<void(const fs::path&)>> cases[] = {
      {"kal2map-cli: x.kal: weder Ordner noch kal-Datei\n",
       [](const fs::path& p) { ::mkfifo(p.c_str(), 0644); }},
      {"kal2map-cli: x.kal: Datei oder Verzeichnis nicht gefunden\n",
       [](const fs::path& p) { fs::create_symlink("gone.kal", p); }},
  };
  for (const auto& [err, make] : cases) {
    TempDir dir;
    CopyExample("alpen", dir.path());
    make(dir / "x.kal");
    const Outcome run = RunCli(dir.path(), {"alpen.kal", "x.kal"});
    EXPECT_FALSE(run.timed_out);
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err.rfind(err, 0), 0u) << run.err;
    EXPECT_EQ(Listing(dir.path()), "alpen.kal x.kal");
  }
}

// Real permissions instead of an injected failure: a folder the user may read but not write.
// Root may write anywhere, so as root the program runs as the unprivileged user "nobody".
TEST(Faults, AFolderWithoutWriteAccessKeepsItsMaps) {
  TempDir dir;
  for (const char* name : {"alpen", "rio"}) CopyExample(name, dir.path());
  WriteFile(dir / "rio.map", "old map\r\n");
  ::chmod((dir / "rio.map").c_str(), 0666);
  ::chmod(dir.path().c_str(), 0555);
  struct Restore {
    const fs::path& path;
    ~Restore() { ::chmod(path.c_str(), 0755); }  // so that the folder can be removed
  } restore{dir.path()};
  std::vector<std::string> prefix;
  if (RunningAsRoot()) {
    if (::access("/usr/bin/setpriv", X_OK) != 0) {
      GTEST_SKIP() << "setpriv is missing";
    }
    prefix = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
  }
  const auto before = Snapshot(dir.path());
  const Outcome run = RunCli(dir.path(), {"."}, "", prefix);
  EXPECT_EQ(run.status, 1) << run.err;
  EXPECT_EQ(run.out, "Keine map-Datei erstellt.\n");
  EXPECT_EQ(run.err,
            "kal2map-cli: ./alpen.map: Zugriff verweigert\n"
            "kal2map-cli: ./rio.map: Zugriff verweigert\n");
  EXPECT_TRUE(Snapshot(dir.path()) == before);
}

// One tree with what a user's disk can hold below a folder: a link back to the top, pipes, a
// folder nobody may read, a hidden folder, and (where this test may mount) the tree mounted
// inside itself. The walk must visit each real folder once, depth first, never block on a
// pipe, report the locked folder and convert everything else.
TEST(Faults, RecursiveRunOverLoopsPipesMountsAndALockedFolder) {
  TempDir dir;
  for (const char* folder : {"a/b", "c/locked", ".hidden", "c/mount"}) {
    fs::create_directories(dir / folder);
  }
  for (const char* sheet : {"zeit", "a/rio", "a/b/m", "c/alpen", "c/locked/x", ".hidden/h"}) {
    fs::copy_file(kExamples / "muenchen.kal", dir / (sheet + std::string(".kal")));
  }
  fs::create_directory_symlink("../..", dir / "a" / "b" / "up");
  fs::create_symlink("../a", dir / "c" / "loop.kal");
  ASSERT_EQ(::mkfifo((dir / "c" / "pipe.kal").c_str(), 0666), 0);
  struct Mount {
    fs::path at;
    bool made =
        ::unshare(CLONE_NEWNS) == 0 &&
        ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
        ::mount(at.parent_path().parent_path().c_str(), at.c_str(), nullptr, MS_BIND, nullptr) == 0;
    ~Mount() { made&& ::umount2(at.c_str(), MNT_DETACH); }
  } mount{dir / "c" / "mount"};
  if (!mount.made) std::printf("[   INFO   ] cannot bind-mount here; the tree holds no mount\n");
  std::vector<std::string> prefix;  // root may read anything: run as "nobody"
  if (RunningAsRoot()) {
    if (::access("/usr/bin/setpriv", X_OK) != 0) GTEST_SKIP() << "setpriv is missing";
    for (const char* folder : {"", "a", "a/b", "c"}) fs::permissions(dir / folder, fs::perms::all);
    prefix = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
  }
  fs::permissions(dir / "c" / "locked", fs::perms::none);

  const Outcome run = RunCli(dir.path(), {"-r", "."}, "", prefix);
  EXPECT_FALSE(run.timed_out);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out,
            "./zeit.map wurde erstellt.\n./a/rio.map wurde erstellt.\n"
            "./a/b/m.map wurde erstellt.\n./c/alpen.map wurde erstellt.\n");
  EXPECT_EQ(run.err, "kal2map-cli: ./c/locked/: Zugriff verweigert\n");
  EXPECT_EQ(ReadFile(dir / "a" / "b" / "m.map"), ReadFile(kExamples / "muenchen.map"));
}

// What an 80-column terminal shows at the end, without trailing blanks and empty rows. Only
// text, CR, LF and "erase to the end of the line" may reach it, and no row the last column.
std::string Screen(std::string_view bytes) {
  std::vector<std::string> rows(1);
  std::size_t row = 0, column = 0;  // a byte a column: the names here are ASCII
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(bytes[i]);
    if (c == '\r') {
      column = 0;
    } else if (c == '\n') {
      if (++row == rows.size()) rows.emplace_back();
    } else if (bytes.substr(i, 3) == "\x1b[K") {
      rows[row].resize(std::min(rows[row].size(), column));
      i += 2;
    } else if (c < 0x20 || c == 0x7F || column >= 79) {
      ADD_FAILURE() << "control character " << int{c} << " or a line too long";
    } else {
      if (rows[row].size() <= column) rows[row].resize(column + 1, ' ');
      rows[row][column++] = static_cast<char>(c);
    }
  }
  std::string screen;
  for (std::string& text : rows) screen += text.erase(text.find_last_not_of(' ') + 1) + "\n";
  return screen.erase(screen.find_last_not_of('\n') + 1);
}

// Standard error on a terminal (from `script`), standard output there too or in a file.
TEST(Faults, ProgressOnATerminalOnlyInLongRunsAndNoLineTorn) {
  struct Case {
    const char* what;
    std::string folder;  // holds the sheets, below the folder converted with -r
    std::string fault;   // "slow:.kal" adds 20 ms to each sheet: a run of more than a second
    bool out_on_terminal, protect_first, interrupt;  // first map write-protected; Ctrl+C at 1.3 s
  };
  const Case cases[] = {
      {"short run: the same bytes as without a terminal", "", "", true, false, false},
      {"output to a file, control characters in names", "a\x1b]0;x\x07\nb\x1b[2J/", "slow:.kal",
       false, false, false},
      {"output and a failure on the same terminal", "", "slow:.kal", true, true, false},
      // Each temporary file stays open 20 ms, so Ctrl+C usually comes while one exists.
      {"Ctrl+C leaves whole maps only", "", "slow:.tmp", false, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir, capture;
    fs::create_directories(dir / c.folder);
    std::string lines;  // what standard output and error say, in order
    const int sheets = c.fault.empty() ? 3 : 80;
    for (int i = 0; i < sheets; ++i) {
      const std::string name = c.folder + "s" + std::to_string(100 + i);
      fs::copy_file(kExamples / "alpen.kal", dir / (name + ".kal"));
      if (i > 0 || !c.protect_first) lines += "./" + name + ".map wurde erstellt.\n";
    }
    if (c.protect_first) {
      WriteFile(dir / "s100.map", "old");
      fs::permissions(dir / "s100.map", fs::perms::owner_read);
      lines += "kal2map-cli: ./s100.map: Datei ist schreibgeschützt\n";
    }
    std::string command = "exec '" + fs::absolute(KAL2MAP_CLI).string() + "' -r .";
    if (!c.out_on_terminal) command += " >" + (capture / "out").string();
    if (c.interrupt) command = "(sleep 1.3; kill -INT $$) & " + command;
    RunOptions options = WithFault(c.fault);
    options.env.push_back("TERM=xterm");
    const Outcome run =
        test::RunProgram("/usr/bin/script", dir.path(), {"-qfec", command, "/dev/null"}, options);
    const std::string out = c.out_on_terminal ? "" : ReadFile(capture / "out");
    std::size_t draws = 0;  // of the progress line
    for (auto at = run.out.find(" von "); at != std::string::npos;
         at = run.out.find(" von ", at + 1)) {
      ++draws;
    }
    EXPECT_EQ(draws > 0, !c.fault.empty());
    if (!c.out_on_terminal) {
      EXPECT_LE(draws, 10 * run.seconds);
    }
    if (c.interrupt) {
      // Ended as by the signal, after the maps it names; no temporary file left.
      EXPECT_EQ(run.status, 128 + SIGINT);
      const auto written = std::count(out.begin(), out.end(), '\n') - 1;  // then the count
      EXPECT_TRUE(written > 0 && written < sheets) << out;
      std::size_t end = 0;
      for (long k = 0; k < written && k < sheets; ++k) end = lines.find('\n', end) + 1;
      EXPECT_EQ(out, lines.substr(0, end) + "Abgebrochen: " + std::to_string(written) +
                         " map-Dateien erstellt.\n");
      EXPECT_EQ(Listing(dir.path()).find(".tmp"), std::string::npos);
    } else {
      EXPECT_EQ(run.status, c.protect_first ? 1 : 0);
      EXPECT_EQ(out, c.out_on_terminal ? "" : lines);
    }
    if (c.fault.empty()) {
      EXPECT_EQ(run.out.find('\x1b'), std::string::npos);
    }
    EXPECT_EQ(Screen(run.out),
              c.out_on_terminal && !c.interrupt ? lines.substr(0, lines.size() - 1) : "");
  }
}

// A real full disk: a small tmpfs in a private mount namespace, filled up to a few pages.
TEST(Faults, AFullDiskKeepsTheOldMapAndFreesTheSpace) {
  TempDir dir;
  if (::unshare(CLONE_NEWNS) != 0 ||
      ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
      ::mount("tmpfs", dir.path().c_str(), "tmpfs", 0, "size=1m,mode=0755") != 0) {
    GTEST_SKIP() << "cannot mount a tmpfs here; the injected full disk covers this";
  }
  struct Unmount {
    const fs::path& path;
    ~Unmount() { ::umount2(path.c_str(), MNT_DETACH); }
  } unmount{dir.path()};

  // a.map and z.map fit in the space left, big.map (two 40 kB image names) does not.
  const std::string small = ReadFile(kExamples / "alpen.kal");
  WriteFile(dir / "a.kal", small);
  WriteFile(dir / "z.kal", small);
  WriteFile(dir / "big.kal", small + "Bitmap = " + std::string(40000, 'B') + ".png\r\n");
  WriteFile(dir / "big.map", "old map\r\n");
  {
    const int fd = ::open((dir / "filler").c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    const std::string block(4096, 'f');
    off_t size = 0;
    while (::write(fd, block.data(), block.size()) > 0) size += 4096;
    ASSERT_EQ(::ftruncate(fd, size - 16 * 1024), 0);
    ::close(fd);
  }
  struct statvfs vfs;
  ASSERT_EQ(::statvfs(dir.path().c_str(), &vfs), 0);
  ASSERT_LT(vfs.f_bavail * vfs.f_bsize, 40000u);
  const auto before = Snapshot(dir.path());

  const Outcome run = RunCli(dir.path(), {"."});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "./a.map wurde erstellt.\n./z.map wurde erstellt.\n");
  EXPECT_EQ(run.err, "kal2map-cli: ./big.map: Kein Speicherplatz mehr auf dem Datenträger\n");
  EXPECT_EQ(Listing(dir.path()), "a.kal a.map big.kal big.map filler z.kal z.map");
  EXPECT_EQ(ReadFile(dir / "big.map"), "old map\r\n");
  EXPECT_EQ(ReadFile(dir / "z.map"), ReadFile(kExamples / "alpen.map"));
  const auto after = Snapshot(dir.path());
  for (const char* name : {"a.kal", "big.kal", "big.map", "filler", "z.kal"}) {
    EXPECT_TRUE(after.at(name) == before.at(name)) << name;
  }
}

// Files no calibration program writes, but a damaged disk or a wrong file can hold. Each is
// converted in seconds, with memory bounded by the longest line rather than the file's size.
TEST(Faults, HostileSizesConvertQuicklyInBoundedMemory) {
  constexpr std::size_t kMiB = 1024 * 1024;
  struct Hostile {
    const char* what;
    std::function<std::string()> make;
    std::size_t longest_line;
  };
  const Hostile cases[] = {
      {"one 64 MB image name",
       [] { return "[Calibration Point1]\r\nBitmap = " + std::string(64 * kMiB, 'K') + "\r\n"; },
       64 * kMiB},
      {"one 64 MB latitude",
       [] {
         return "[Calibration Point1]\r\nLatitude = 5." + std::string(64 * kMiB, '7') + "\r\n";
       },
       64 * kMiB},
      {"200,000 point sections",
       [] {
         std::string text = "Bitmap = many.png\r\n";
         for (int i = 1; i <= 200000; ++i) {
           text += "[Calibration Point" + std::to_string(i) +
                   "]\r\nLatitude = 52.5\r\nLongitude = 13.25\r\nPixel = (10, 20)\r\n";
         }
         return text;
       },
       64},
      {"4 MB of random bytes",
       [] {
         std::mt19937 random(20240601);
         std::string text(4 * kMiB, '\0');
         for (char& c : text) c = static_cast<char>(random());
         return text;
       },
       64 * 1024},
      {"16 MB of NUL bytes", [] { return std::string(16 * kMiB, '\0'); }, 16 * kMiB},
  };
  for (const Hostile& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    WriteFile(dir / "x.kal", c.make());
    const Outcome run = RunCli(dir.path(), {"."});
    EXPECT_FALSE(run.timed_out);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "./x.map wurde erstellt.\n");
    EXPECT_EQ(Listing(dir.path()), "x.kal x.map");
    EXPECT_TRUE(HasMapShape(ReadFile(dir / "x.map")));
    EXPECT_LT(run.seconds, kSanitized ? 60 : 10);
    // The line itself, the map's two copies of an image name, and little else.
    const long limit_kb = static_cast<long>((16 * kMiB + 6 * c.longest_line) / 1024);
    if (!kSanitized) {
      EXPECT_LT(run.max_rss_kb, limit_kb);
    }
    std::printf("[   INFO   ] %s: %.2f s, %ld MB\n", c.what, run.seconds, run.max_rss_kb / 1024);
  }
}

// Names up to the system's limit convert, although the temporary file's name is longer.
TEST(Faults, LongestFileNamesConvert) {
  TempDir dir;
  const std::string base(250, 'k');
  fs::copy_file(kExamples / "rio.kal", dir / (base + ".kal"));
  const Outcome run = RunCli(dir.path(), {"."});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Listing(dir.path()), base + ".kal " + base + ".map");
  EXPECT_EQ(ReadFile(dir / (base + ".map")), ReadFile(kExamples / "rio.map"));
}

}  // namespace
}  // namespace kal2map

namespace kal2map {
namespace {

// The KMZ is optional to its map: an image that claims more memory than the program may have,
// here with the address space limited as on a small machine, costs the KMZ at most.
TEST(Faults, AHostileImageCostsItsKmzNeverItsMap) {
  if (kSanitized) GTEST_SKIP() << "the sanitizer's shadow memory needs more address space";
  // A GIF of 35 bytes whose screen and frame claim 32768 x 32768 pixels.
  const std::string gif(
      "GIF89a\x00\x80\x00\x80\x80\x00\x00"
      "\x00\x00\x00\xff\xff\xff"
      "\x2c\x00\x00\x00\x00\x00\x80\x00\x80\x00"
      "\x02\x02\x4c\x01\x00\x3b",
      35);
  TempDir dir;
  WriteFile(dir / "a.gif", gif);
  WriteFile(dir / "x.kal",
            "Bitmap = a.gif\r\n[Calibration Point1]\r\nLatitude = 52.5\r\nLongitude = 13.25\r\n"
            "Pixel = (10, 20)\r\n[Calibration Point2]\r\nLatitude = 52.4\r\nLongitude = 13.3\r\n"
            "Pixel = (500, 600)\r\n");
  const Outcome run = RunCli(dir.path(), {"--kmz", "."}, "",
                             {"/bin/sh", "-c", "ulimit -v 700000 && exec \"$0\" \"$@\""});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("x.map wurde erstellt."), std::string::npos) << run.out;
  EXPECT_NE(run.err.find("x.kmz nicht erstellt"), std::string::npos) << run.err;
  EXPECT_EQ(Listing(dir.path()), "a.gif x.kal x.map");
  EXPECT_LT(run.max_rss_kb, 256 * 1024);
}

}  // namespace
}  // namespace kal2map
