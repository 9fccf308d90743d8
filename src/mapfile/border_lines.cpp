#include "mapfile/border_lines.h"

#include <charconv>
#include <cmath>

#include "record/map_format.h"

namespace kal2map {
namespace {

// C's "%*.*f" without the locale, which a host program may have changed.
std::string Fixed(double value, int decimals, std::size_t width = 0) {
  char text[384];
  const auto end =
      std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals).ptr;
  std::string out(text, end);
  if (out.size() < width) out.insert(0, width - out.size(), ' ');
  return out;
}

std::string Fixed6(double value, std::size_t width = 0) { return Fixed(value, 6, width); }

// Replaces line `number` (from 1) of `map`, whose lines end in kLineEnd.
void ReplaceLine(std::string& map, int number, std::string_view text) {
  std::size_t start = 0;
  for (int i = 1; i < number && start != std::string::npos; ++i) {
    start = map.find(map_format::kLineEnd, start);
    if (start != std::string::npos) start += map_format::kLineEnd.size();
  }
  if (start == std::string::npos) return;
  const std::size_t end = map.find(map_format::kLineEnd, start);
  map.replace(start, end == std::string::npos ? std::string::npos : end - start, text);
}

const char* ProjectionName(ProjectionKind kind) {
  switch (kind) {
    case ProjectionKind::kMercator:
      return "Mercator";
    case ProjectionKind::kTransverseMercator:
      return "Transverse Mercator";
    case ProjectionKind::kLambertConic:
      return "Lambert Conformal Conic";
    case ProjectionKind::kLatLon:
      break;
  }
  return "Latitude/Longitude";
}

}  // namespace

void DeclareProjection(std::string& map, const Projection& projection) {
  using map_format::kFirstPointLine;
  ReplaceLine(map, kFirstPointLine - 1,
              std::string("Map Projection,") + ProjectionName(projection.kind) +
                  ",PolyCal,No,AutoCalOnly,No,BSBUseWPX,No");
  if (projection.kind == ProjectionKind::kLatLon) return;
  const bool cone = projection.kind == ProjectionKind::kLambertConic;
  std::string setup = "Projection Setup, " + Fixed(projection.lat0, 9) + ", " +
                      Fixed(projection.lon0, 9) + ", " + Fixed(cone ? 1 : projection.scale, 9) +
                      ", " + Fixed(projection.false_easting, 2) + ", " +
                      Fixed(projection.false_northing, 2) + ",";
  setup +=
      cone ? " " + Fixed(projection.parallel1, 9) + ", " + Fixed(projection.parallel2, 9) + ",,,"
           : ",,,,";
  ReplaceLine(map, kFirstPointLine + static_cast<int>(kMaxPoints), setup);
}

std::string BorderLines(const MapBorder& border) {
  const std::string w = std::to_string(border.width), h = std::to_string(border.height);
  std::string corners[4] = {"0,0", w + ",0", w + "," + h, "0," + h};
  if (border.frame) {
    for (std::size_t i = 0; i < 4; ++i) {
      corners[i] =
          std::to_string((*border.frame)[i][0]) + "," + std::to_string((*border.frame)[i][1]);
    }
  }
  std::string out;
  const auto line = [&out](const std::string& text) { (out += text) += map_format::kLineEnd; };
  line("MM0,Yes");
  line("MMPNUM,4");
  for (int i = 0; i < 4; ++i) line("MMPXY," + std::to_string(i + 1) + "," + corners[i]);
  for (int i = 0; i < 4; ++i) {
    line("MMPLL," + std::to_string(i + 1) + "," + Fixed6(border.corners[i][0], 11) + "," +
         Fixed6(border.corners[i][1], 11));
  }
  line("MM1B," + Fixed6(border.metres_per_pixel));
  line("MOP,Map Open Position,0,0");
  line("IWH,Map Image Width/Height," + w + "," + h);
  return out;
}

}  // namespace kal2map
