// Helpers shared by the tests: folders and files, names in any script, a window that records.
#pragma once

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <malloc.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "control/window.h"

namespace kal2map::test {

// A fresh folder below the system's temporary folder, removed with everything in it.
class TempDir {
 public:
  TempDir() {
    std::random_device random;
    path_ = std::filesystem::temp_directory_path() /
            ("kal2map-test-" + std::to_string(random()) + std::to_string(random()));
    std::filesystem::create_directories(path_);
  }
  ~TempDir() {
    std::error_code ec;
    // Restore write bits so that protected test files can be removed.
    for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
      std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                   std::filesystem::perm_options::add, ec);
    }
    std::filesystem::remove_all(path_, ec);
  }
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::filesystem::path& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

inline void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

inline std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// Line `number` (from 1) of a map, without its CR LF.
inline std::string Line(const std::string& map, int number) {
  std::size_t start = 0;
  for (int i = 1; i < number; ++i) start = map.find("\r\n", start) + 2;
  return map.substr(start, map.find("\r\n", start) - start);
}

// A path from UTF-8 text, whatever the system's own encoding of names.
inline std::filesystem::path U8(std::string_view utf8) {
  return std::u8string(utf8.begin(), utf8.end());
}

#ifdef _WIN32
inline void SetAttributes(const std::filesystem::path& path, DWORD attributes) {
  if (!::SetFileAttributesW(path.c_str(), attributes)) {
    throw std::filesystem::filesystem_error(
        "SetFileAttributesW", path,
        std::error_code(static_cast<int>(::GetLastError()), std::system_category()));
  }
}
#endif

// The window of a test: remembers what the program showed, in order.
class RecordingWindow : public Window {
 public:
  void Open() override {
    ++opened;
    events.push_back("open");
  }
  void SetMessageLine(const std::string& text) override {
    messages.push_back(text);
    events.push_back(text);
  }
  int opened = 0;
  std::vector<std::string> messages;
  std::vector<std::string> events;  // "open" and the messages
};

// Names in `folder`, sorted, as one text ("a.kal b.map").
inline std::string Listing(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  std::string text;
  for (const auto& name : names) text += (text.empty() ? "" : " ") + name;
  return text;
}

struct RunOptions {
  std::vector<std::string> env;     // "NAME=value" set for the program (POSIX)
  std::vector<std::string> prefix;  // runs the program through another one (POSIX)
  std::chrono::seconds timeout{120};
};

struct Outcome {
  int status = -1;  // exit status; -1 when killed or timed out
  bool timed_out = false;
  std::string out, err;
  double seconds = 0;
  long max_rss_kb = 0;  // peak memory (POSIX)
};

// Runs `program` in `cwd` with `args` (UTF-8), no input, and its output captured; killed after
// the timeout. Started directly, without a shell, whose quoting and code page would change
// the arguments.
inline Outcome RunProgram(const std::filesystem::path& program, const std::filesystem::path& cwd,
                          const std::vector<std::string>& args, const RunOptions& options = {}) {
  TempDir capture;
  const std::filesystem::path out = capture / "out", err = capture / "err";
  Outcome run;
  const auto start = std::chrono::steady_clock::now();
#ifdef _WIN32
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  auto create = [&](const std::filesystem::path& path) {
    return ::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  };
  HANDLE in = ::CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                            OPEN_EXISTING, 0, nullptr);
  HANDLE out_file = create(out);
  HANDLE err_file = create(err);
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = in;
  startup.hStdOutput = out_file;
  startup.hStdError = err_file;
  std::wstring command = L"\"" + program.native() + L"\"";
  for (const auto& arg : args) command += L" \"" + U8(arg).native() + L"\"";
  PROCESS_INFORMATION process{};
  if (::CreateProcessW(program.c_str(), command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                       cwd.c_str(), &startup, &process)) {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(options.timeout);
    if (::WaitForSingleObject(process.hProcess, static_cast<DWORD>(ms.count())) != WAIT_OBJECT_0) {
      run.timed_out = true;
      ::TerminateProcess(process.hProcess, 1);
      ::WaitForSingleObject(process.hProcess, INFINITE);
    }
    DWORD status = 0;
    ::GetExitCodeProcess(process.hProcess, &status);
    if (!run.timed_out) run.status = static_cast<int>(status);
    ::CloseHandle(process.hThread);
    ::CloseHandle(process.hProcess);
  }
  for (HANDLE handle : {in, out_file, err_file}) ::CloseHandle(handle);
#else
  std::vector<std::string> words = options.prefix;
  words.push_back(program.string());
  words.insert(words.end(), args.begin(), args.end());
  // The child starts as a copy of this process and its peak memory counts from there, so
  // give back what earlier cases freed.
  ::malloc_trim(0);
  const pid_t pid = ::fork();
  if (pid == 0) {
    const int in = ::open("/dev/null", O_RDONLY);
    const int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    const int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (in < 0 || o < 0 || e < 0 || ::chdir(cwd.c_str()) != 0) ::_exit(126);
    ::dup2(in, 0);
    ::dup2(o, 1);
    ::dup2(e, 2);
    for (const auto& setting : options.env) ::putenv(const_cast<char*>(setting.c_str()));
    std::vector<char*> argv;
    for (auto& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    ::execvp(argv[0], argv.data());
    ::_exit(127);
  }
  int status = 0;
  rusage usage{};
  for (;;) {
    const pid_t done = ::wait4(pid, &status, WNOHANG, &usage);
    if (done == pid) break;
    if (std::chrono::steady_clock::now() - start > options.timeout) {
      run.timed_out = true;
      ::kill(pid, SIGKILL);
      ::wait4(pid, &status, 0, &usage);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  run.status = !run.timed_out && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.max_rss_kb = usage.ru_maxrss;
#endif
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  run.out = ReadFile(out);
  run.err = ReadFile(err);
  return run;
}

#ifdef KAL2MAP_CLI
// kal2map-cli, as a user runs it in `cwd`.
inline Outcome RunCli(const std::filesystem::path& cwd, const std::vector<std::string>& args,
                      const RunOptions& options = {}) {
  return RunProgram(std::filesystem::absolute(KAL2MAP_CLI), cwd, args, options);
}
#endif

}  // namespace kal2map::test
