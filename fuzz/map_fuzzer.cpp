// Arbitrary bytes as a calibration file, through the whole conversion of one file in memory.
// Whatever the input, the map must keep the shape map readers rely on, and the state left by
// an earlier file must not leak into the next map.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "calibration/kal_scan.h"
#include "fuzz_check.h"
#include "mapfile/map_writer.h"
#include "platform/line_reader.h"
#include "record/map_format.h"
#include "record/state.h"

namespace {

using kal2map::State;

// Thirty full point sections: converting this first leaves every row of the table used.
std::string FullFile() {
  std::string text = "Bitmap = C:\\Karten\\Vorher.BMP\r\n";
  for (int i = 1; i <= 30; ++i) {
    text += "[Calibration Point" + std::to_string(i) + "]\r\nLatitude = -5" + std::to_string(i) +
            ".125\r\nLongitude = 1" + std::to_string(i) + ".75\r\nPixel = (" +
            std::to_string(1000 + i) + ", " + std::to_string(2000 + i) + ")\r\n";
  }
  return text;
}

struct States {
  State clean;
  State used;  // after converting FullFile
  States() {
    kal2map::InitState(clean, "/");
    used = clean;
    kal2map::ReadKalText(used, FullFile());
  }
};

std::vector<std::string_view> SplitCrLf(std::string_view map) {
  std::vector<std::string_view> lines;
  while (!map.empty()) {
    std::size_t end = map.find("\r\n");
    FUZZ_CHECK(end != std::string_view::npos);  // the last line has its end too
    lines.push_back(map.substr(0, end));
    map.remove_prefix(end + 2);
  }
  return lines;
}

void CheckShape(const std::string& map) {
  const std::vector<std::string_view> lines = SplitCrLf(map);
  FUZZ_CHECK(lines.size() == 43);
  for (std::string_view line : lines) {
    FUZZ_CHECK(line.find_first_of("\r\n") == std::string_view::npos);
  }
  namespace format = kal2map::map_format;
  FUZZ_CHECK(lines[0] == format::kHeaderLine);
  for (int k = 4; k <= 9; ++k) FUZZ_CHECK(lines[k - 1] == format::kLinesAfterImage[k - 4]);
  for (int k = 40; k <= 43; ++k) FUZZ_CHECK(lines[k - 1] == format::kClosingLines[k - 40]);
  for (int k = 10; k <= 39; ++k) {
    const int point = k - 9;
    const std::string head =
        std::string("Point") + char('0' + point / 10) + char('0' + point % 10) + ",xy,";
    FUZZ_CHECK(lines[k - 1].substr(0, head.size()) == head);
  }
}

// The file reader must cut the same lines as the in-memory splitter the conversion above used.
void CheckFileReaderAgrees(std::string_view text) {
  const int fd = ::memfd_create("kal", 0);
  if (fd < 0) return;
  if (::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size())) {
    kal2map::LineReader reader;
    FUZZ_CHECK(!reader.Open("/proc/self/fd/" + std::to_string(fd)));
    kal2map::LineSplitter splitter(text);
    std::string_view from_file, in_memory;
    for (;;) {
      const bool more = reader.Next(from_file);
      FUZZ_CHECK(more == splitter.Next(in_memory));
      if (!more) break;
      FUZZ_CHECK(from_file == in_memory);
    }
    FUZZ_CHECK(!reader.error());
  }
  ::close(fd);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const States states;
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  State fresh = states.clean;
  kal2map::ReadKalText(fresh, text);
  const std::string map = kal2map::BuildMap(fresh);
  CheckShape(map);
  // Writing the same record again gives the same file.
  FUZZ_CHECK(kal2map::BuildMap(fresh) == map);

  State after_other_file = states.used;
  kal2map::ReadKalText(after_other_file, text);
  FUZZ_CHECK(kal2map::BuildMap(after_other_file) == map);

  // A chosen image extension always ends the reference, when the file has one.
  State with_ext = states.clean;
  with_ext.BitmapExt = ".png";
  kal2map::ReadKalText(with_ext, text);
  const std::string ext_map = kal2map::BuildMap(with_ext);
  CheckShape(ext_map);
  const std::string_view line3 = SplitCrLf(ext_map)[2];
  FUZZ_CHECK(line3.empty() || line3.ends_with(".png"));

  CheckFileReaderAgrees(text);
  return 0;
}
