// Preloaded into kal2map-cli by the fault-injection tests (LD_PRELOAD) to make the system calls
// fail that cannot be made to fail on demand otherwise, even as root. KAL2MAP_FAULT chooses:
//   create:TEXT  creating a file whose path contains TEXT fails with EACCES
//   full:TEXT    a file created with TEXT in its path takes 1000 bytes, then the disk is full
//   vanish:PATH  PATH is deleted when the program closes its first folder listing
//   fsync:EIO, fsync-folder:EIO, fsync-folder:EINVAL, syncfs:EIO   flushing any file (folder,
//                file system) fails so
//   log:FILE     appends "write" (to a file the program opened), "fsync", "fsync folder",
//                "syncfs", "writeout" ("writeout wait": sync_file_range, waiting) and "rename TO"
//                to FILE for each such call, in order
// With log and fsync, fstatfs says every file system is ext4, so that a batch is flushed alike
// wherever the test runs.
//   slow:TEXT    opening a file whose path contains TEXT takes 20 ms longer, for long runs
//   interrupt:TEXT   opening a file whose path contains TEXT raises SIGINT, as Ctrl+C would
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

constexpr std::size_t kFullAfter = 1000;
constexpr int kMaxFd = 4096;
long written_to_full[kMaxFd];  // bytes written per descriptor of a "full" file; -1 for others

struct Fault {
  const char* kind = nullptr;  // one of those listed above
  const char* text = nullptr;
};

Fault TheFault() {
  static Fault fault = [] {
    Fault f;
    static char setting[4096];
    const char* env = std::getenv("KAL2MAP_FAULT");
    if (env == nullptr || std::strlen(env) >= sizeof setting) return f;
    std::strcpy(setting, env);
    char* colon = std::strchr(setting, ':');
    if (colon == nullptr) return f;
    *colon = '\0';
    f.kind = setting;
    f.text = colon + 1;
    for (long& n : written_to_full) n = -1;
    return f;
  }();
  return fault;
}

bool Is(const char* kind) {
  Fault f = TheFault();
  return f.kind != nullptr && std::strcmp(f.kind, kind) == 0;
}

template <typename Fn>
Fn Next(const char* name) {
  return reinterpret_cast<Fn>(::dlsym(RTLD_NEXT, name));
}

void Log(const char* call, const char* path = nullptr) {
  static int log = Is("log") ? Next<int (*)(const char*, int, ...)>("open")(
                                   TheFault().text, O_WRONLY | O_CREAT | O_APPEND, 0644)
                             : -1;
  static auto real_write = Next<ssize_t (*)(int, const void*, size_t)>("write");
  char line[4096];
  const int n =
      std::snprintf(line, sizeof line, "%s%s%s\n", call, path ? " " : "", path ? path : "");
  if (log >= 0 && n > 0 && n < static_cast<int>(sizeof line)) real_write(log, line, n);
}

int Opened(int fd, const char* path, int flags) {
  if (fd >= 0 && Is("interrupt") && std::strstr(path, TheFault().text) != nullptr) {
    ::raise(SIGINT);
  }
  if (fd >= 0 && Is("slow") && std::strstr(path, TheFault().text) != nullptr) {
    const timespec delay{0, 20 * 1000 * 1000};
    ::nanosleep(&delay, nullptr);
  }
  if (fd >= 0 && fd < kMaxFd && (flags & O_CREAT) && Is("full") &&
      std::strstr(path, TheFault().text) != nullptr) {
    written_to_full[fd] = 0;
  }
  return fd;
}

bool RefuseCreate(const char* path, int flags) {
  if ((flags & O_CREAT) && Is("create") && std::strstr(path, TheFault().text) != nullptr) {
    errno = EACCES;
    return true;
  }
  return false;
}

mode_t ModeArg(int flags, va_list args) {
  return (flags & O_CREAT) ? static_cast<mode_t>(va_arg(args, int)) : 0;
}

}  // namespace

extern "C" {

int open(const char* path, int flags, ...) {
  va_list args;
  va_start(args, flags);
  const mode_t mode = ModeArg(flags, args);
  va_end(args);
  if (RefuseCreate(path, flags)) return -1;
  static auto real = Next<int (*)(const char*, int, ...)>("open");
  return Opened(real(path, flags, mode), path, flags);
}

int open64(const char* path, int flags, ...) {
  va_list args;
  va_start(args, flags);
  const mode_t mode = ModeArg(flags, args);
  va_end(args);
  if (RefuseCreate(path, flags)) return -1;
  static auto real = Next<int (*)(const char*, int, ...)>("open64");
  return Opened(real(path, flags, mode), path, flags);
}

int openat(int dirfd, const char* path, int flags, ...) {
  va_list args;
  va_start(args, flags);
  const mode_t mode = ModeArg(flags, args);
  va_end(args);
  if (RefuseCreate(path, flags)) return -1;
  static auto real = Next<int (*)(int, const char*, int, ...)>("openat");
  return Opened(real(dirfd, path, flags, mode), path, flags);
}

int openat64(int dirfd, const char* path, int flags, ...) {
  va_list args;
  va_start(args, flags);
  const mode_t mode = ModeArg(flags, args);
  va_end(args);
  if (RefuseCreate(path, flags)) return -1;
  static auto real = Next<int (*)(int, const char*, int, ...)>("openat64");
  return Opened(real(dirfd, path, flags, mode), path, flags);
}

ssize_t write(int fd, const void* data, size_t size) {
  static auto real = Next<ssize_t (*)(int, const void*, size_t)>("write");
  if (fd > 2) Log("write");  // not the program's output
  if (fd >= 0 && fd < kMaxFd && Is("full") && written_to_full[fd] >= 0) {
    const std::size_t room = kFullAfter - static_cast<std::size_t>(written_to_full[fd]);
    if (room == 0) {
      errno = ENOSPC;
      return -1;
    }
    if (size > room) size = room;  // a short write first, as a filling disk gives
    const ssize_t n = real(fd, data, size);
    if (n > 0) written_to_full[fd] += n;
    return n;
  }
  return real(fd, data, size);
}

int close(int fd) {
  static auto real = Next<int (*)(int)>("close");
  if (fd >= 0 && fd < kMaxFd && Is("full")) written_to_full[fd] = -1;
  return real(fd);
}

int fsync(int fd) {
  static auto real = Next<int (*)(int)>("fsync");
  struct stat st;
  const bool folder = ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode);
  Log(folder ? "fsync folder" : "fsync");
  if (Is(folder ? "fsync-folder" : "fsync")) {
    errno = std::strcmp(TheFault().text, "EINVAL") == 0 ? EINVAL : EIO;
    return -1;
  }
  return real(fd);
}

int syncfs(int fd) {
  static auto real = Next<int (*)(int)>("syncfs");
  Log("syncfs");
  if (Is("syncfs")) {
    errno = EIO;
    return -1;
  }
  return real(fd);
}

int sync_file_range(int fd, off64_t offset, off64_t size, unsigned flags) {
  static auto real = Next<int (*)(int, off64_t, off64_t, unsigned)>("sync_file_range");
  Log(flags & SYNC_FILE_RANGE_WAIT_AFTER ? "writeout wait" : "writeout");
  return real(fd, offset, size, flags);
}

int fstatfs(int fd, struct statfs* fs) {
  static auto real = Next<int (*)(int, struct statfs*)>("fstatfs");
  const int result = real(fd, fs);
  if (result == 0 && (Is("log") || Is("fsync"))) fs->f_type = 0xEF53;
  return result;
}

int rename(const char* from, const char* to) {
  static auto real = Next<int (*)(const char*, const char*)>("rename");
  Log("rename", to);
  return real(from, to);
}

int closedir(DIR* dir) {
  static auto real = Next<int (*)(DIR*)>("closedir");
  static bool done = false;
  if (!done && Is("vanish")) {
    done = true;
    ::unlink(TheFault().text);
  }
  return real(dir);
}

}  // extern "C"
