#include "mapfile/map_writer.h"

#include <algorithm>

#include "platform/files.h"
#include "record/map_format.h"

namespace kal2map {

using map_format::kBeforeLatitude;
using map_format::kBeforePixelX;
using map_format::kBetweenCells;
using map_format::kDegreeWidth;
using map_format::kEastTail;
using map_format::kLineEnd;
using map_format::kNorthBeforeLongitude;
using map_format::kPixelWidth;
using map_format::kPointPrefix;
using map_format::kSouthBeforeLongitude;
using map_format::kWestTail;

namespace {

// A copy of `cell` with blanks in front up to `width`; a longer cell stays whole.
std::string Padded(std::string_view cell, std::size_t width) {
  std::string padded;
  if (cell.size() < width) padded.assign(width - cell.size(), ' ');
  padded.append(cell);
  return padded;
}

// Degree text as written: a negative value loses its sign and turns the hemisphere letter
// around, because map readers apply the sign to the minutes only when the letter says so.
struct Degrees {
  std::string text;
  bool negative = false;
};

Degrees WrittenDegrees(const std::string& cell, std::size_t width) {
  std::string padded = Padded(cell, width);
  std::size_t first = padded.find_first_not_of(' ');
  if (first == std::string::npos || padded[first] != '-') return {std::move(padded), false};
  std::string magnitude = padded.substr(first + 1);
  if (magnitude.empty()) magnitude = "0";  // "-.5" is minus half a degree
  return {Padded(magnitude, width), true};
}

void AppendLine(std::string& out, std::string_view line) {
  out.append(line);
  out.append(kLineEnd);
}

void AppendPointLine(std::string& out, const PointRow& row, std::int64_t i) {
  const Degrees lat = WrittenDegrees(row[LatDeg], kDegreeWidth);
  const Degrees lon = WrittenDegrees(row[LonDeg], kDegreeWidth);
  out += kPointPrefix;
  if (i < 10) out += '0';
  out += std::to_string(i);
  out += kBeforePixelX;
  out += Padded(row[PixelX], kPixelWidth);
  out += kBetweenCells;
  out += Padded(row[PixelY], kPixelWidth);
  out += kBeforeLatitude;
  out += lat.text;
  out += kBetweenCells;
  out += row[LatMin];
  out += lat.negative ? kSouthBeforeLongitude : kNorthBeforeLongitude;
  out += lon.text;
  out += kBetweenCells;
  out += row[LonMin];
  out += lon.negative ? kWestTail : kEastTail;
  out += kLineEnd;
}

}  // namespace

std::string FileNamePart(const std::string& path) {
  std::size_t slash = path.rfind('\\');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string LowerAnsi(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) {
    auto b = static_cast<unsigned char>(c);
    if ((b >= 'A' && b <= 'Z') || (b >= 0xC0 && b <= 0xDE && b != 0xD7)) {
      b += 0x20;
    } else if (b == 0x8A || b == 0x8C || b == 0x8E) {  // Š Œ Ž
      b += 0x10;
    } else if (b == 0x9F) {  // Ÿ
      b = 0xFF;
    }
    c = static_cast<char>(b);
  }
  return lower;
}

std::string BuildMap(const State& state) {
  const std::int64_t n = std::clamp<std::int64_t>(state.PointCount, 0, kMaxPoints);
  std::string out;
  out.reserve(4096 + state.BitmapName.size() * 2);
  AppendLine(out, map_format::kHeaderLine);
  AppendLine(out, LowerAnsi(FileNamePart(state.BitmapName)));
  AppendLine(out, state.BitmapName);
  for (std::string_view line : map_format::kLinesAfterImage) AppendLine(out, line);
  for (std::int64_t i = 1; i <= n; ++i) AppendPointLine(out, state.Points[i], i);
  for (std::int64_t i = n + 1; i <= kMaxPoints; ++i) {
    AppendLine(out, map_format::EmptyPointLine(static_cast<int>(i)));
  }
  for (std::string_view line : map_format::kClosingLines) AppendLine(out, line);
  return out;
}

}  // namespace kal2map
