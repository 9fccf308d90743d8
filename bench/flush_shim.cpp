// Preloaded (LD_PRELOAD) into kal2map-cli by bench/run to see what its flushes cost.
// KAL2MAP_BENCH_FLUSH chooses:
//   skip        fsync, fdatasync and syncfs return at once: a run as if flushing were free
//   count:FILE  they run as usual, and at the end their number is written to FILE
#include <dlfcn.h>

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

}  // namespace

extern "C" {
int fsync(int fd) { return Flush("fsync", fd); }
int fdatasync(int fd) { return Flush("fdatasync", fd); }
int syncfs(int fd) { return Flush("syncfs", fd); }
}
