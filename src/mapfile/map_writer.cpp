#include "mapfile/map_writer.h"

#include <algorithm>

#include "platform/files.h"

namespace kal2map {
namespace {

void PadInPlace(std::string& cell, std::size_t width) {
  if (cell.size() < width) cell.insert(0, width - cell.size(), ' ');
}

// Degree text as written: a negative value loses its sign and turns the hemisphere letter
// around, because map readers apply the sign to the minutes only when the letter says so.
struct Degrees {
  std::string text;
  bool negative = false;
};

Degrees WrittenDegrees(const std::string& padded_cell, std::size_t width) {
  std::size_t first = padded_cell.find_first_not_of(' ');
  if (first == std::string::npos || padded_cell[first] != '-') return {padded_cell, false};
  std::string magnitude = padded_cell.substr(first + 1);
  if (magnitude.empty()) magnitude = "0";  // "-.5" is minus half a degree
  PadInPlace(magnitude, width);
  return {magnitude, true};
}

void AppendLine(std::string& out, std::string_view line) {
  out.append(line);
  out.append("\r\n");
}

void AppendPointLine(std::string& out, State& state, std::int64_t i) {
  const auto& piece = state.PointPieces;
  PointRow& row = state.Points[i];
  PadInPlace(row[PixelX], 4);
  PadInPlace(row[PixelY], 4);
  PadInPlace(row[LatDeg], 3);
  PadInPlace(row[LonDeg], 3);
  const Degrees lat = WrittenDegrees(row[LatDeg], 3);
  const Degrees lon = WrittenDegrees(row[LonDeg], 3);

  out += piece[1];
  if (i < 10) out += '0';
  out += std::to_string(i);
  out += piece[2];
  out += row[PixelX];
  out += piece[3];
  out += row[PixelY];
  out += piece[4];
  out += lat.text;
  out += piece[5];
  out += row[LatMin];
  out += lat.negative ? ",S, " : piece[6];
  out += lon.text;
  out += piece[7];
  out += row[LonMin];
  if (lon.negative) {
    out += ",W";
    out.append(piece[8], 2);
  } else {
    out += piece[8];
  }
  out += "\r\n";
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

std::string BuildMap(State& state, std::int64_t& point_count) {
  if (point_count > kMaxPoints) point_count = kMaxPoints;
  const std::int64_t n = std::max<std::int64_t>(point_count, 0);
  const auto& t = state.Template;

  std::string out;
  out.reserve(4096 + state.BitmapName.size() * 2);
  AppendLine(out, t[1]);
  AppendLine(out, LowerAnsi(FileNamePart(state.BitmapName)));
  AppendLine(out, state.BitmapName);
  for (int slot = 4; slot <= 9; ++slot) AppendLine(out, t[slot]);
  for (std::int64_t i = 1; i <= n; ++i) AppendPointLine(out, state, i);
  for (std::int64_t slot = n + 10; slot <= 43; ++slot) AppendLine(out, t[slot]);
  return out;
}

std::error_code WriteMap(State& state, const std::filesystem::path& map_path,
                         std::int64_t& point_count) {
  return ReplaceFileContents(map_path, BuildMap(state, point_count));
}

}  // namespace kal2map
