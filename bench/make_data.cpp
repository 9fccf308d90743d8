// kal2map_bench_data folder DIR COUNT POINTS [images]
//                                              COUNT sheets with POINTS points each in DIR, and
//                                              with "images" the head of each sheet's PNG
// kal2map_bench_data file PATH MEGABYTES        one calibration file of that size
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "kal_text.h"

namespace {

bool Write(const std::filesystem::path& path, const std::string& bytes) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && ok;
}

int Usage() {
  std::fputs("usage: kal2map_bench_data folder DIR COUNT POINTS [images] | file PATH MEGABYTES\n",
             stderr);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) return Usage();
  const std::string_view what = argv[1];
  const std::filesystem::path target = argv[2];
  if (what == "folder" && (argc == 5 || (argc == 6 && std::string_view(argv[5]) == "images"))) {
    std::filesystem::create_directories(target);
    const int count = std::atoi(argv[3]);
    const int points = std::atoi(argv[4]);
    for (int sheet = 1; sheet <= count; ++sheet) {
      char name[32];
      std::snprintf(name, sizeof name, "blatt%05d.kal", sheet);
      if (!Write(target / name, kal2map::bench::KalSheet(sheet, points))) return 1;
      if (argc == 6) {
        std::snprintf(name, sizeof name, "Blatt%04d.PNG", sheet);
        if (!Write(target / name, kal2map::bench::PngHead(4000, 3000))) return 1;
      }
    }
    return 0;
  }
  if (what == "file" && argc == 4) {
    const auto megabytes = std::strtoull(argv[3], nullptr, 10);
    return Write(target, kal2map::bench::KalOfSize(megabytes << 20)) ? 0 : 1;
  }
  return Usage();
}
