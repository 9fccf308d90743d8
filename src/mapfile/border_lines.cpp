#include "mapfile/border_lines.h"

#include <charconv>
#include <cmath>

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

}  // namespace

std::string BorderLines(const MapBorder& border) {
  const std::string w = std::to_string(border.width), h = std::to_string(border.height);
  const std::string corners[4] = {"0,0", w + ",0", w + "," + h, "0," + h};
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
