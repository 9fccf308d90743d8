#include "mapfile/map_template.h"

#include <string>

namespace kal2map {
namespace {

// Point number with two digits, as map readers expect (Point01 .. Point30).
std::string TwoDigits(int n) {
  std::string text = std::to_string(n);
  return text.size() < 2 ? "0" + text : text;
}

// An empty point line. Points 1 and 2 carry the hemisphere letters even when empty; map
// readers need at least two complete calibration lines to open the file.
std::string EmptyPointLine(int n) {
  const char* letter = n <= 2 ? "N" : "";
  const char* east = n <= 2 ? "E" : "";
  return "Point" + TwoDigits(n) + ",xy,     ,     ,in, deg,    ,        ," + letter +
         ",    ,        ," + east + ", grid,   ,           ,           ," + letter;
}

}  // namespace

void FillTemplate(State& state) {
  auto& t = state.Template;
  t[1] = "OziExplorer Map Data File Version 2.2";
  t[2] = "File.bmp";
  t[3] = "\\FILE.bmp";
  t[4] = "1 ,Map Code,";
  t[5] = "WGS 84,WGS 84,   0.0000,   0.0000,WGS 84";
  t[6] = "Reserved 1";
  t[7] = "Reserved 2";
  t[8] = "Magnetic Variation,,,E";
  t[9] = "Map Projection,Latitude/Longitude,PolyCal,No,AutoCalOnly,No,BSBUseWPX,No";
  for (int slot = 10; slot <= 39; ++slot) t[slot] = EmptyPointLine(slot - 9);
  t[40] = "Projection Setup,,,,,,,,,,";
  t[41] = "Map Feature = MF ; Map Comment = MC     These follow if they exist2";
  t[42] = "Track File = TF      These follow if they exist2";
  t[43] = "Moving Map Parameters = MM?    These follow if they exist2";
  t[44] = "";

  auto& p = state.PointPieces;
  p[1] = "Point";
  p[2] = ",xy, ";
  p[3] = ", ";
  p[4] = ",in, deg, ";
  p[5] = ", ";
  p[6] = ",N, ";
  p[7] = ", ";
  p[8] = ",E, grid,   ,           ,           ,N";
}

}  // namespace kal2map
