// Preloaded (LD_PRELOAD) into kal2map-cli by bench/run to see what its flushes cost.
// KAL2MAP_BENCH_FLUSH chooses:
//   skip        fsync, fdatasync, syncfs and sync_file_range return at once: a run as if
//               flushing were free
//   count:FILE  they run as usual, and at the end the number of full flushes (all but
//               sync_file_range) is written to FILE
//   each        fstatfs names every file system FUSE, where each replaced file is flushed whole
#include <dlfcn.h>
#include <fcntl.h>
#include <sys/statfs.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const char* Setting() {
  const char* setting = std::getenv("KAL2MAP_BENCH_FLUSH");
  return setting != nullptr ? setting : "";
}

struct Counter {
  long flushes = 0;
  ~Counter() {
    if (std::strncmp(Setting(), "count:", 6) != 0) return;
    if (std::FILE* out = std::fopen(Setting() + 6, "w")) {
      std::fprintf(out, "%ld\n", flushes);
      std::fclose(out);
    }
  }
} counter;

int Flush(const char* name, int fd) {
  if (std::strcmp(Setting(), "skip") == 0) return 0;
  ++counter.flushes;
  return reinterpret_cast<int (*)(int)>(::dlsym(RTLD_NEXT, name))(fd);
}

template <typename Stat>
int StatFs(const char* name, int fd, Stat* fs) {
  const int result = reinterpret_cast<int (*)(int, Stat*)>(::dlsym(RTLD_NEXT, name))(fd, fs);
  if (result == 0 && std::strcmp(Setting(), "each") == 0) fs->f_type = 0x65735546;
  return result;
}

}  // namespace

extern "C" {
int fsync(int fd) { return Flush("fsync", fd); }
int fdatasync(int fd) { return Flush("fdatasync", fd); }
int syncfs(int fd) { return Flush("syncfs", fd); }
int sync_file_range(int fd, off64_t offset, off64_t size, unsigned flags) {
  if (std::strcmp(Setting(), "skip") == 0) return 0;
  using Real = int (*)(int, off64_t, off64_t, unsigned);
  return reinterpret_cast<Real>(::dlsym(RTLD_NEXT, "sync_file_range"))(fd, offset, size, flags);
}
int fstatfs(int fd, struct statfs* fs) { return StatFs("fstatfs", fd, fs); }
int fstatfs64(int fd, struct statfs64* fs) { return StatFs("fstatfs64", fd, fs); }
}
