#include "overview/overview.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "platform/text.h"
#include "util/text.h"

namespace kal2map {
namespace {

// Samples per outline at the least; a long side gets its share of them.
constexpr double kOutlineSamples = 256;

std::string Number(double value, int decimals) {
  char text[64];
  const auto end =
      std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals).ptr;
  return std::string(text, end);
}

// A JSON string; text that is not UTF-8, as a file name on Linux may be, is read as
// Windows-1252, so that the document stays valid.
std::string Quoted(std::string_view text) {
  std::string out = "\"";
  for (const char c : Utf8FromUtf8OrAnsi(text)) {
    if (c == '"' || c == '\\') {
      (out += '\\') += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      constexpr char kHex[] = "0123456789abcdef";
      out += "\\u00";
      out += kHex[(c >> 4) & 0xf];
      out += kHex[c & 0xf];
    } else {
      out += c;
    }
  }
  return out + '"';
}

// `path` below `folder` as names joined by '/', or whole where it is not below it.
std::string Relative(const std::filesystem::path& path, const std::filesystem::path& folder) {
  std::filesystem::path relative = path.lexically_normal().lexically_relative(folder);
  if (relative.empty()) return PathText(path);
  std::string out;
  for (const std::filesystem::path& name : relative) {
    if (!out.empty()) out += '/';
    out += PathText(name);
  }
  return out;
}

// Twice the area, positive when counter-clockwise with longitude east and latitude north.
double TwiceArea(const std::vector<LonLat>& ring) {
  double twice = 0;
  for (std::size_t i = 0, j = ring.size() - 1; i < ring.size(); j = i++) {
    twice += (ring[j].lon - ring[i].lon) * (ring[j].lat + ring[i].lat);
  }
  return twice;
}

// The part of `ring` west (or east) of 180 degrees.
std::vector<LonLat> HalfAt180(const std::vector<LonLat>& ring, bool west) {
  std::vector<LonLat> half;
  const auto in = [west](const LonLat& p) { return west ? p.lon <= 180 : p.lon >= 180; };
  for (std::size_t i = 0; i < ring.size(); ++i) {
    const LonLat a = ring[i], b = ring[(i + 1) % ring.size()];
    if (in(a)) half.push_back(a);
    if (in(a) != in(b) && a.lon != 180 && b.lon != 180) {
      const double t = (180 - a.lon) / (b.lon - a.lon);
      half.push_back({180, a.lat + t * (b.lat - a.lat)});
    }
  }
  return half;
}

std::string RingText(const std::vector<LonLat>& ring, double shift) {
  std::string out = "[";
  for (std::size_t i = 0; i <= ring.size(); ++i) {
    const LonLat& p = ring[i % ring.size()];
    if (i > 0) out += ',';
    out += '[' + Number(p.lon + shift, 7) + ',' + Number(p.lat, 7) + ']';
  }
  return out + ']';
}

std::string Geometry(std::vector<LonLat> ring) {
  if (ring.size() < 3) return "null";
  if (TwiceArea(ring) < 0) std::ranges::reverse(ring);
  const double east = std::ranges::max(ring, {}, &LonLat::lon).lon;
  if (east <= 180) return "{\"type\":\"Polygon\",\"coordinates\":[" + RingText(ring, 0) + "]}";
  return "{\"type\":\"MultiPolygon\",\"coordinates\":[[" + RingText(HalfAt180(ring, true), 0) +
         "],[" + RingText(HalfAt180(ring, false), -360) + "]]}";
}

}  // namespace

std::vector<LonLat> RingOf(const SheetModel& sheet,
                           std::span<const std::array<double, 2>> outline) {
  double perimeter = 0;
  for (std::size_t i = 0; i < outline.size(); ++i) {
    const auto &a = outline[i], &b = outline[(i + 1) % outline.size()];
    perimeter += std::hypot(b[0] - a[0], b[1] - a[1]);
  }
  const double step = perimeter / kOutlineSamples;
  std::vector<LonLat> ring;
  for (std::size_t i = 0; i < outline.size(); ++i) {
    const auto &a = outline[i], &b = outline[(i + 1) % outline.size()];
    const double pieces = std::max(1.0, std::ceil(std::hypot(b[0] - a[0], b[1] - a[1]) / step));
    for (double s = 0; s < pieces; ++s) {
      std::optional<LonLat> at =
          sheet.LonLatAt(a[0] + s / pieces * (b[0] - a[0]), a[1] + s / pieces * (b[1] - a[1]));
      if (!at) return {};
      if (!ring.empty()) at->lon = ring.back().lon + WrapLongitude(at->lon - ring.back().lon);
      ring.push_back(*at);
    }
  }
  if (ring.empty()) return ring;
  // A ring around a pole comes back a whole turn away from where it started.
  const double closing = ring.back().lon + WrapLongitude(ring[0].lon - ring.back().lon);
  if (!(std::abs(closing - ring[0].lon) < 1)) return {};
  const double west = std::ranges::min(ring, {}, &LonLat::lon).lon;
  const double turns = std::floor((west + 180) / 360);
  for (LonLat& p : ring) p.lon -= 360 * turns;
  return ring;
}

std::string OverviewDocument(std::span<const OverviewSheet> sheets,
                             const std::filesystem::path& folder) {
  std::string out = "{\"type\":\"FeatureCollection\",\"features\":[";
  for (std::size_t i = 0; i < sheets.size(); ++i) {
    const OverviewSheet& s = sheets[i];
    std::string warnings;
    for (const std::string& w : s.warnings) warnings += (warnings.empty() ? "" : ",") + Quoted(w);
    out += i > 0 ? ",\n" : "\n";
    out +=
        "{\"type\":\"Feature\",\"properties\":{\"kal\":" + Quoted(Relative(s.kal, folder)) +
        ",\"map\":" + Quoted(Relative(s.map, folder)) +
        ",\"image\":" + Quoted(s.image ? Relative(*s.image, folder) : s.image_name) +
        ",\"frame\":" + (s.frame ? "true" : "false") + ",\"projection\":" + Quoted(s.projection) +
        ",\"metres_per_pixel\":" + (s.metres_per_pixel ? Number(*s.metres_per_pixel, 4) : "null") +
        ",\"points\":" + std::to_string(s.points) + ",\"warnings\":[" + warnings +
        "]},\"geometry\":" + Geometry(s.ring) + "}";
  }
  return out + "\n]}\n";
}

}  // namespace kal2map
