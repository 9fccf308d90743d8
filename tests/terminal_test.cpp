// kal2map-cli on a terminal as a user sees it: a pseudo-terminal stands in for the user's, and
// a small screen model replays what the program wrote to it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include "test_util.h"

namespace kal2map {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::TempDir;

const fs::path kExamples = KAL2MAP_EXAMPLES;

struct TerminalRun {
  int wait_status = 0;
  std::string terminal;  // every byte the terminal was sent, after its own LF to CR LF
  std::string out;       // standard output, when it went to a file
  double seconds = 0;
};

// Runs the program in `cwd` with standard error on a new 80-column terminal, and standard
// output there too or in a file; `fault` goes to the preloaded shim. With `interrupt_after`,
// Ctrl+C is typed on the terminal then.
TerminalRun RunOnTerminal(const fs::path& cwd, const std::vector<std::string>& args,
                          bool out_on_terminal, const std::string& fault, double interrupt_after) {
  TempDir capture;
  const fs::path out = capture / "out";
  TerminalRun run;
  int master = -1, slave = -1;
  winsize size{24, 80, 0, 0};
  if (::openpty(&master, &slave, nullptr, nullptr, &size) != 0) {
    ADD_FAILURE() << "no pseudo-terminal";
    return run;
  }
  std::vector<std::string> env = {"TERM=xterm"};
  if (!fault.empty()) {
    const char* asan = std::getenv("ASAN_OPTIONS");
    env.push_back(std::string("LD_PRELOAD=") + KAL2MAP_FAULT_SHIM);
    env.push_back("KAL2MAP_FAULT=" + fault);
    env.push_back("ASAN_OPTIONS=" + std::string(asan ? asan : "") + ":verify_asan_link_order=0");
  }
  std::vector<std::string> words = {fs::absolute(KAL2MAP_CLI).string()};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);

  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = ::fork();
  if (pid == 0) {
    // A session of its own with the terminal as its controlling one, so that Ctrl+C reaches it.
    ::setsid();
    ::ioctl(slave, TIOCSCTTY, 0);
    const int in = ::open("/dev/null", O_RDONLY);
    const int o = out_on_terminal ? slave : ::open(out.c_str(), O_WRONLY | O_CREAT, 0666);
    if (in < 0 || o < 0 || ::chdir(cwd.c_str()) != 0) ::_exit(126);
    ::dup2(in, 0);
    ::dup2(o, 1);
    ::dup2(slave, 2);
    ::close(master);
    for (auto& setting : env) ::putenv(setting.data());
    ::execv(argv[0], argv.data());
    ::_exit(127);
  }
  ::close(slave);
  bool interrupted = interrupt_after <= 0;
  for (;;) {
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    if (!interrupted && elapsed.count() > interrupt_after) {
      interrupted = ::write(master, "\x03", 1) == 1;
    }
    if (elapsed.count() > 120) ::kill(pid, SIGKILL);
    pollfd ready{master, POLLIN, 0};
    if (::poll(&ready, 1, 10) == 0) continue;
    char buffer[4096];
    const ssize_t n = ::read(master, buffer, sizeof buffer);
    if (n <= 0) break;  // the program and its copies of the terminal are gone
    run.terminal.append(buffer, static_cast<std::size_t>(n));
  }
  ::waitpid(pid, &run.wait_status, 0);
  ::close(master);
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  if (!out_on_terminal) run.out = ReadFile(out);
  return run;
}

// What the terminal shows at the end: its rows without trailing blanks, the empty ones at the
// end left out. The program may send only text, CR, LF and "erase to the end of the line",
// and no row may reach the last column, where terminals differ in wrapping.
std::string Screen(std::string_view bytes) {
  std::vector<std::vector<std::string>> rows(1);  // one cell per column
  std::size_t row = 0, column = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(bytes[i]);
    std::vector<std::string>& cells = rows[row];
    if (c == '\r') {
      column = 0;
    } else if (c == '\n') {
      if (++row == rows.size()) rows.emplace_back();
    } else if (bytes.substr(i, 3) == "\x1b[K") {
      cells.resize(std::min(cells.size(), column));
      i += 2;
    } else if (c < 0x20 || c == 0x7F) {
      ADD_FAILURE() << "control character " << int{c} << " at byte " << i;
    } else if ((c & 0xC0) == 0x80 && column > 0) {
      cells[column - 1] += static_cast<char>(c);  // the rest of a UTF-8 character
    } else {
      if (column >= 79) ADD_FAILURE() << "a line reaches the last column";
      if (cells.size() <= column) cells.resize(column + 1, " ");
      cells[column++] = std::string(1, static_cast<char>(c));
    }
  }
  std::string screen;
  for (const auto& cells : rows) {
    std::string text;
    for (const auto& cell : cells) text += cell;
    text.erase(text.find_last_not_of(' ') + 1);
    screen += text + "\n";
  }
  return screen.erase(screen.find_last_not_of('\n') + 1);
}

// How often the progress line changed: each text that differs from the one before it.
int ProgressChanges(const std::string& terminal) {
  int changes = 0;
  std::string last;
  for (std::size_t at = terminal.find('\r'); at != std::string::npos;
       at = terminal.find('\r', at + 1)) {
    const std::string text =
        terminal.substr(at + 1, terminal.find_first_of("\x1b\r\n", at + 1) - at - 1);
    if (text.find(" von ") == std::string::npos || text == last) continue;
    last = text;
    ++changes;
  }
  return changes;
}

TEST(Terminal, ProgressShowsOnlyInLongRunsAndLeavesEveryLineWhole) {
  struct Case {
    const char* what;
    std::string folder;  // where the sheets lie, below the folder the run converts with -r
    int sheets;
    std::string fault;  // "slow:.kal" makes every sheet take 20 ms longer
    bool out_on_terminal;
    bool protect_first;      // the first map is write-protected: a failure on standard error
    double interrupt_after;  // Ctrl+C after these seconds; 0 for never
  };
  const Case cases[] = {
      {"short run: the same bytes as without progress", "", 3, "", true, false, 0},
      {"long run, output to a file, control characters in a folder's name",
       "a\x1b]0;x\x07\nb\x1b[2J/", 80, "slow:.kal", false, false, 0},
      {"long run, output and a failure on the same terminal", "", 80, "slow:.kal", true, true, 0},
      // Each temporary file is kept open for 20 ms, so Ctrl+C usually comes while one exists.
      {"Ctrl+C stops after a whole map", "", 80, "slow:.tmp", false, false, 1.3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    fs::create_directories(dir / c.folder);
    std::vector<std::string> lines;
    for (int i = 0; i < c.sheets; ++i) {
      char name[16];
      std::snprintf(name, sizeof name, "s%02d", i);
      fs::copy_file(kExamples / "alpen.kal", dir / c.folder / (name + std::string(".kal")));
      if (i > 0 || !c.protect_first)
        lines.push_back("./" + c.folder + name + ".map wurde erstellt.");
    }
    if (c.protect_first) {
      test::WriteFile(dir / "s00.map", "old");
      fs::permissions(dir / "s00.map", fs::perms::owner_read);
      lines.push_back("kal2map-cli: ./s00.map: Datei ist schreibgeschützt");
    }

    const TerminalRun run =
        RunOnTerminal(dir.path(), {"-r", "."}, c.out_on_terminal, c.fault, c.interrupt_after);
    const std::string screen = Screen(run.terminal);
    std::string text;
    for (const auto& line : lines) text += line + "\n";
    const bool long_run = !c.fault.empty();
    EXPECT_EQ(run.terminal.find(" von ") != std::string::npos, long_run);
    EXPECT_LE(ProgressChanges(run.terminal), 10 * run.seconds + 1);
    if (c.interrupt_after > 0) {
      EXPECT_TRUE(WIFSIGNALED(run.wait_status) && WTERMSIG(run.wait_status) == SIGINT);
      EXPECT_EQ(screen, "");
      // The maps written before the stop, then the line that says how many.
      const auto written = std::count(run.out.begin(), run.out.end(), '\n') - 1;
      if (written <= 0 || written >= c.sheets) {
        ADD_FAILURE() << "stopped after " << written << " maps:\n" << run.out;
        continue;
      }
      text.resize(text.find("\n", text.find(lines[static_cast<std::size_t>(written) - 1])) + 1);
      EXPECT_EQ(run.out,
                text + "Abgebrochen: " + std::to_string(written) + " map-Dateien erstellt.\n");
      for (const auto& entry : fs::directory_iterator(dir.path())) {
        EXPECT_NE(entry.path().extension(), ".tmp") << "left behind";
        if (entry.path().extension() == ".map") {
          EXPECT_EQ(ReadFile(entry.path()), ReadFile(kExamples / "alpen.map"));
        }
      }
      continue;
    }
    EXPECT_TRUE(WIFEXITED(run.wait_status) &&
                WEXITSTATUS(run.wait_status) == (c.protect_first ? 1 : 0));
    if (c.out_on_terminal) {
      EXPECT_EQ(screen, text.substr(0, text.size() - 1));
    } else {
      EXPECT_EQ(run.out, text);
      EXPECT_EQ(screen, "");
    }
    if (!long_run) {
      std::string crlf;
      for (const auto& line : lines) crlf += line + "\r\n";
      EXPECT_EQ(run.terminal, crlf);
    }
  }
}

}  // namespace
}  // namespace kal2map
