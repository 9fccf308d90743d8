#include "mapfile/map_reader.h"

#include <charconv>
#include <cmath>

#include "record/map_format.h"
#include "util/text.h"

namespace kal2map {
namespace {

using namespace map_format;

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

std::vector<GeoPoint> UsablePoints(std::string_view map) {
  std::vector<GeoPoint> points;
  int line_number = 0;
  for (std::size_t end; (end = map.find('\n')) != std::string_view::npos;
       map.remove_prefix(end + 1)) {
    std::string_view line = map.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    ++line_number;
    const int n = line_number - kFirstPointLine + 1;
    if (n < 1 || n > kMaxPoints) continue;
    const std::vector<std::string_view> f = Fields(line);
    GeoPoint point;
    point.number = n;
    if (f.size() != kPointFieldCount || !ParseNumber(f[kPixelXField], point.x) ||
        !ParseNumber(f[kPixelYField], point.y) ||
        !ParseAngle(f[kLatDegField], f[kLatMinField], f[kLatHemisphereField], 'S', point.lat) ||
        !ParseAngle(f[kLonDegField], f[kLonMinField], f[kLonHemisphereField], 'W', point.lon)) {
      continue;
    }
    points.push_back(point);
  }
  return points;
}

}  // namespace kal2map
