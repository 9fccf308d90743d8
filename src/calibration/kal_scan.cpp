#include "calibration/kal_scan.h"

#include <algorithm>

#include "calibration/point_fields.h"
#include "platform/line_reader.h"

namespace kal2map {

void ClearPoints(State& state) {
  // A read that failed before the writer ran may leave a count above the table's size.
  const std::int64_t used = std::min(state.PointCount, kMaxPoints);
  for (std::int64_t r = 1; r <= used; ++r) {
    for (int c = PixelX; c <= LonMin; ++c) state.Points[r][c].clear();
  }
  state.PointCount = 0;
  state.BitmapName.clear();
}

void ScanLine(State& state, ScanState& scan, std::string_view line) {
  if (!line.empty() && line.front() == '[') scan.in_section = false;
  if (scan.in_section && state.PointCount <= kMaxPoints) ParsePointLine(state, line);
  if (line.find("[Calibration Point") != std::string_view::npos) {
    ++state.PointCount;
    scan.in_section = true;
  }
  if (line.find("Bitmap") != std::string_view::npos) {
    std::size_t eq = line.find('=');
    if (eq != std::string_view::npos) {
      state.BitmapName = TrimBlanks(line.substr(eq + 1));
      if (!state.BitmapExt.empty()) {
        state.BitmapName = ReplaceExtension(state.BitmapName, state.BitmapExt);
      }
    }
  }
}

std::error_code ReadKal(State& state, const std::filesystem::path& path) {
  ClearPoints(state);
  LineReader reader;
  if (std::error_code ec = reader.Open(path)) return ec;
  ScanState scan;
  std::string_view line;
  while (reader.Next(line)) ScanLine(state, scan, line);
  return reader.error();
}

void ReadKalText(State& state, std::string_view contents) {
  ClearPoints(state);
  ScanState scan;
  LineSplitter splitter(contents);
  std::string_view line;
  while (splitter.Next(line)) ScanLine(state, scan, line);
}

std::string ReplaceExtension(const std::string& name, const std::string& ext) {
  std::size_t part = name.find_last_of("\\/");
  part = part == std::string::npos ? 0 : part + 1;
  std::size_t point = name.rfind('.');
  if (point == std::string::npos || point <= part) return name + ext;
  return name.substr(0, point) + ext;
}

}  // namespace kal2map
