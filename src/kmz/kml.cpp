#include "kmz/kml.h"

#include <charconv>

#include "util/text.h"

namespace kal2map {
namespace {

// Text for XML: well-formed UTF-8 whatever bytes a file name held, the markup characters
// escaped, and the characters XML 1.0 forbids (a file name on Linux may hold control
// characters) left out.
std::string Escaped(std::string_view name) {
  const std::string text = Utf8FromUtf8OrAnsi(name);
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    // U+FFFE and U+FFFF, the two noncharacters below U+10000 that XML excludes.
    if (text.compare(i, 2, "\xEF\xBF") == 0 && i + 2 < text.size() &&
        (text[i + 2] == '\xBE' || text[i + 2] == '\xBF')) {
      i += 2;
      continue;
    }
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&apos;";
        break;
      default:
        if (static_cast<unsigned char>(c) >= 0x20 || c == '\t' || c == '\n' || c == '\r') {
          out += c;
        }
    }
  }
  return out;
}

// The shortest digits that read back as the same double, without an exponent and whatever the
// locale: the tiles' shared edges stay one number.
std::string Number(double value) {
  char buffer[400];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
  return std::string(buffer, result.ptr);
}

}  // namespace

std::string TileFileName(const Tile& tile) {
  return "files/tile_" + std::to_string(tile.row) + "_" + std::to_string(tile.column) + ".jpg";
}

std::string KmlDocument(std::string_view sheet_name, std::span<const Tile> tiles, int draw_order) {
  const std::string name = Escaped(sheet_name);
  std::string kml =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<kml xmlns=\"http://www.opengis.net/kml/2.2\">\n<Document>\n<Folder>\n<name>" +
      name + "</name>\n";
  for (const Tile& t : tiles) {
    kml += "<GroundOverlay>\n<name>" + name + " " + std::to_string(t.row) + " " +
           std::to_string(t.column) + "</name>\n<drawOrder>" + std::to_string(draw_order) +
           "</drawOrder>\n<Icon><href>" + TileFileName(t) + "</href></Icon>\n<LatLonBox>" +
           "<north>" + Number(t.box.north) + "</north><south>" + Number(t.box.south) +
           "</south><east>" + Number(t.box.east) + "</east><west>" + Number(t.box.west) +
           "</west></LatLonBox>\n</GroundOverlay>\n";
  }
  return kml + "</Folder>\n</Document>\n</kml>\n";
}

}  // namespace kal2map
