// kal2map_bench_data folder DIR COUNT POINTS          COUNT sheets with POINTS points each in DIR
// kal2map_bench_data images DIR COUNT POINTS          the same, each with the head of its PNG
// kal2map_bench_data tree DIR COUNT FOLDERS POINTS    the same spread over FOLDERS folders, in
//                                                     groups of ten below DIR (DIR/gebiet1/ordner3)
// kal2map_bench_data file PATH MEGABYTES              one calibration file of that size
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
  std::fputs(
      "usage: kal2map_bench_data folder|images DIR COUNT POINTS | tree DIR COUNT FOLDERS POINTS | "
      "file PATH MEGABYTES\n",
      stderr);
  return 2;
}

// Sheets `first` to `first + count - 1` in `folder`.
bool WriteSheets(const std::filesystem::path& folder, int first, int count, int points,
                 bool images = false) {
  std::filesystem::create_directories(folder);
  for (int sheet = first; sheet < first + count; ++sheet) {
    char name[32];
    std::snprintf(name, sizeof name, "blatt%05d.kal", sheet);
    if (!Write(folder / name, kal2map::bench::KalSheet(sheet, points))) return false;
    std::snprintf(name, sizeof name, "Blatt%04d.PNG", sheet);  // the name the sheet gives
    if (images && !Write(folder / name, kal2map::bench::PngHead(4000, 3000))) return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) return Usage();
  const std::string_view what = argv[1];
  const std::filesystem::path target = argv[2];
  if ((what == "folder" || what == "images") && argc == 5) {
    return WriteSheets(target, 1, std::atoi(argv[3]), std::atoi(argv[4]), what == "images") ? 0
                                                                                           : 1;
  }
  if (what == "tree" && argc == 6) {
    const int count = std::atoi(argv[3]);
    const int folders = std::atoi(argv[4]);
    if (folders < 1) return Usage();
    int first = 1;
    for (int f = 0; f < folders; ++f) {
      const int here = count / folders + (f < count % folders ? 1 : 0);
      const std::filesystem::path folder = target / ("gebiet" + std::to_string(f / 10 + 1)) /
                                           ("ordner" + std::to_string(f % 10 + 1));
      if (!WriteSheets(folder, first, here, std::atoi(argv[5]))) return 1;
      first += here;
    }
    return 0;
  }
  if (what == "file" && argc == 4) {
    const auto megabytes = std::strtoull(argv[3], nullptr, 10);
    return Write(target, kal2map::bench::KalOfSize(megabytes << 20)) ? 0 : 1;
  }
  return Usage();
}
