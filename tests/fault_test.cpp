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

// kal2map-cli with `fault` handed to the preloaded shim, and `prefix` in front (to drop
// privileges).
Outcome RunCli(const fs::path& cwd, const std::vector<std::string>& args, const std::string& fault,
               const std::vector<std::string>& prefix = {}) {
  RunOptions options;
  options.prefix = prefix;
  if (!fault.empty()) {
    options.env.push_back(std::string("LD_PRELOAD=") + KAL2MAP_FAULT_SHIM);
    options.env.push_back("KAL2MAP_FAULT=" + fault);
    // The shim must come before the sanitizer runtime to see the program's calls.
    const char* asan = std::getenv("ASAN_OPTIONS");
    options.env.push_back("ASAN_OPTIONS=" + std::string(asan ? asan : "") +
                          ":verify_asan_link_order=0");
  }
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

// Every folder and file below `root` open to everyone, so that an unprivileged run may write.
void OpenToEveryone(const fs::path& root) {
  fs::permissions(root, fs::perms::all);
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    if (entry.is_symlink() || !(entry.is_directory() || entry.is_regular_file())) continue;
    fs::permissions(entry.path(), entry.is_directory() ? fs::perms::all : fs::perms(0666));
  }
}

// One tree with what a user's disk can hold below a folder: a link back to the top, a pipe, a
// folder nobody may read, a hidden folder, and (where this test may mount) the tree mounted
// inside itself. The walk must visit each real folder once, depth first, never block on the
// pipe, report the locked folder and convert everything else.
TEST(Faults, RecursiveRunOverLoopsPipesMountsAndALockedFolder) {
  TempDir dir;
  for (const char* folder : {"a/b", "c/locked", ".hidden", "c/mount"}) {
    fs::create_directories(dir / folder);
  }
  const std::pair<const char*, const char*> sheets[] = {
      {"alpen", "zeit.kal"},    {"rio", "a/rio.kal"},      {"muenchen", "a/b/m.kal"},
      {"alpen", "c/alpen.kal"}, {"rio", "c/locked/x.kal"}, {"rio", ".hidden/h.kal"}};
  for (const auto& [example, path] : sheets)
    fs::copy_file(kExamples / (example + std::string(".kal")), dir / path);
  fs::create_directory_symlink("../..", dir / "a" / "b" / "up");
  fs::create_symlink("../a", dir / "c" / "loop.kal");
  ASSERT_EQ(::mkfifo((dir / "c" / "pipe.kal").c_str(), 0666), 0);
  ASSERT_EQ(::mkfifo((dir / "a" / "pipe").c_str(), 0666), 0);
  const bool mounted =
      ::unshare(CLONE_NEWNS) == 0 &&
      ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
      ::mount(dir.path().c_str(), (dir / "c" / "mount").c_str(), nullptr, MS_BIND, nullptr) == 0;
  if (!mounted) std::printf("[   INFO   ] cannot bind-mount here; the tree holds no mount\n");
  std::vector<std::string> prefix;
  if (RunningAsRoot()) {
    if (::access("/usr/bin/setpriv", X_OK) != 0) GTEST_SKIP() << "setpriv is missing";
    OpenToEveryone(dir.path());
    prefix = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
  }
  ::chmod((dir / "c" / "locked").c_str(), 0);
  struct Restore {
    const TempDir& dir;
    bool mounted;
    ~Restore() {
      ::chmod((dir / "c" / "locked").c_str(), 0755);
      if (mounted) ::umount2((dir / "c" / "mount").c_str(), MNT_DETACH);
    }
  } restore{dir, mounted};

  const Outcome run = RunCli(dir.path(), {"-r", "."}, "", prefix);
  EXPECT_FALSE(run.timed_out);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out,
            "./zeit.map wurde erstellt.\n./a/rio.map wurde erstellt.\n"
            "./a/b/m.map wurde erstellt.\n./c/alpen.map wurde erstellt.\n");
  EXPECT_EQ(run.err, "kal2map-cli: ./c/locked/: Zugriff verweigert\n");
  EXPECT_EQ(ReadFile(dir / "a" / "b" / "m.map"), ReadFile(kExamples / "muenchen.map"));
  EXPECT_EQ(Listing(dir / ".hidden"), "h.kal");
  EXPECT_EQ(Listing(dir / "c"), "alpen.kal alpen.map locked loop.kal mount pipe.kal");
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
