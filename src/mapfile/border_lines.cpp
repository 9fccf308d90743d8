#include "mapfile/border_lines.h"

#include <charconv>
#include <cmath>

#include "calibration/point_fields.h"
#include "record/map_format.h"

namespace kal2map {
namespace {

// C's "%*.6f" without the locale, which a host program may have changed.
std::string Fixed6(double value, std::size_t width = 0) {
  char text[64];
  const auto end = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 6).ptr;
  std::string out(text, end);
  if (out.size() < width) out.insert(0, width - out.size(), ' ');
  return out;
}

// A plain decimal number and nothing else; readers cannot use anything more.
bool ParseNumber(std::string_view text, double& value) {
  text = TrimBlanks(text);
  if (text.empty()) return false;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  return ec == std::errc() && ptr == end && std::isfinite(value);
}

std::vector<std::string_view> Fields(std::string_view line) {
  std::vector<std::string_view> fields;
  for (std::size_t comma; (comma = line.find(',')) != std::string_view::npos;) {
    fields.push_back(line.substr(0, comma));
    line.remove_prefix(comma + 1);
  }
  fields.push_back(line);
  return fields;
}

// Degrees and minutes with their hemisphere letter; false unless both numbers are there.
bool ParseAngle(std::string_view degrees, std::string_view minutes, std::string_view letter,
                char negative, double& value) {
  double d = 0, m = 0;
  if (!ParseNumber(degrees, d) || !ParseNumber(minutes, m)) return false;
  value = d + m / 60;
  if (TrimBlanks(letter) == std::string_view(&negative, 1)) value = -value;
  return true;
}

}  // namespace

std::string BorderLines(const MapBorder& border) {
  const std::string w = std::to_string(border.width), h = std::to_string(border.height);
  const std::string corners[4] = {"0,0", w + ",0", w + "," + h, "0," + h};
  std::string out = "MM0,Yes\r\nMMPNUM,4\r\n";
  for (int i = 0; i < 4; ++i) out += "MMPXY," + std::to_string(i + 1) + "," + corners[i] + "\r\n";
  for (int i = 0; i < 4; ++i) {
    out += "MMPLL," + std::to_string(i + 1) + "," + Fixed6(border.corners[i][0], 11) + "," +
           Fixed6(border.corners[i][1], 11) + "\r\n";
  }
  out += "MM1B," + Fixed6(border.metres_per_pixel) + "\r\n";
  out += "MOP,Map Open Position,0,0\r\n";
  out += "IWH,Map Image Width/Height," + w + "," + h + "\r\n";
  return out;
}

std::vector<GeoPoint> UsablePoints(std::string_view map) {
  std::vector<GeoPoint> points;
  int line_number = 0;
  for (std::size_t end; (end = map.find('\n')) != std::string_view::npos;
       map.remove_prefix(end + 1)) {
    std::string_view line = map.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    ++line_number;
    const int n = line_number - map_format::kFirstPointLine + 1;
    if (n < 1 || n > kMaxPoints) continue;
    // Point, xy, x, y, in, deg, lat deg, lat min, N/S, lon deg, lon min, E/W, grid, ...
    const std::vector<std::string_view> f = Fields(line);
    GeoPoint point;
    point.number = n;
    if (f.size() != 17 || !ParseNumber(f[2], point.x) || !ParseNumber(f[3], point.y) ||
        !ParseAngle(f[6], f[7], f[8], 'S', point.lat) ||
        !ParseAngle(f[9], f[10], f[11], 'W', point.lon)) {
      continue;
    }
    points.push_back(point);
  }
  return points;
}

}  // namespace kal2map
