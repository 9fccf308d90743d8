#include "calibration/kal_scan.h"

#include <algorithm>

#include "calibration/point_fields.h"
#include "platform/line_reader.h"
#include "util/text.h"

namespace kal2map {

namespace {

// Starts a new file: empties the used rows of the table and the image reference.
void ClearPoints(State& state) {
  // The count of the previous file may exceed the table; its rows do not.
  const std::int64_t used = std::min(state.PointCount, kMaxPoints);
  for (std::int64_t r = 1; r <= used; ++r) {
    for (int c = PixelX; c <= LonMin; ++c) state.Points[r][c].clear();
  }
  state.PointCount = 0;
  state.BitmapName.clear();
}

// `name` with its extension replaced by `ext`, or `ext` appended when the file name part has
// none. A point in a folder part or at the start of the file name is not an extension.
std::string ReplaceExtension(const std::string& name, const std::string& ext) {
  std::size_t part = name.find_last_of("\\/");
  part = part == std::string::npos ? 0 : part + 1;
  std::size_t point = name.rfind('.');
  if (point == std::string::npos || point <= part) return name + ext;
  return name.substr(0, point) + ext;
}

constexpr std::string_view kSection = "[Calibration Point";
constexpr std::string_view kBitmap = "Bitmap";

// A line holding "Bitmap" names the image if it also holds "=".
void TakeImageLine(State& state, std::string_view line) {
  std::size_t eq = line.find('=');
  if (eq == std::string_view::npos) return;
  state.BitmapName = TrimBlanks(line.substr(eq + 1));
  if (!state.BitmapExt.empty()) {
    state.BitmapName = ReplaceExtension(state.BitmapName, state.BitmapExt);
  }
}

// With the table full no line is parsed any more: a line can only add a section to the count
// or name the image, and neither depends on the other. Searching for the two texts instead of
// splitting every line keeps a file of many sections at the speed of reading it.
void ScanFullTable(State& state, std::string_view text) {
  for (std::size_t at = text.find(kSection); at != std::string_view::npos;
       at = text.find(kSection, FindLineEnd(text, at + kSection.size()))) {
    ++state.PointCount;  // once per line, however often the line holds the text
  }
  for (std::size_t at = text.find(kBitmap); at != std::string_view::npos;) {
    const std::string_view line = LineAround(text, at);
    TakeImageLine(state, line);
    at = text.find(kBitmap, static_cast<std::size_t>(line.data() - text.data()) + line.size());
  }
}

}  // namespace

void ScanLine(State& state, ScanState& scan, std::string_view line) {
  if (!line.empty() && line.front() == '[') scan.in_section = false;
  if (scan.in_section && state.PointCount <= kMaxPoints) ParsePointLine(state, line);
  if (line.find(kSection) != std::string_view::npos) {
    ++state.PointCount;
    scan.in_section = true;
  }
  if (line.find(kBitmap) != std::string_view::npos) TakeImageLine(state, line);
}

namespace {

// The same as ScanLine on each of `lines` in turn, which carry their ends.
void ScanLines(State& state, ScanState& scan, std::string_view lines) {
  LineSplitter splitter(lines);
  std::string_view line;
  while (state.PointCount <= kMaxPoints && splitter.Next(line)) ScanLine(state, scan, line);
  if (state.PointCount > kMaxPoints) ScanFullTable(state, splitter.rest());
}

}  // namespace

std::error_code ReadKal(State& state, const std::filesystem::path& path) {
  ClearPoints(state);
  LineReader reader;
  if (std::error_code ec = reader.Open(path)) return ec;
  ScanState scan;
  std::string_view lines;
  while (reader.NextLines(lines)) ScanLines(state, scan, lines);
  return reader.error();
}

void ReadKalText(State& state, std::string_view contents) {
  ClearPoints(state);
  ScanState scan;
  ScanLines(state, scan, contents);
}

}  // namespace kal2map
