#include "kal_text.h"

#include <cstdio>
#include <random>

namespace kal2map::bench {
namespace {

// Lines as map makers write them: CR LF, blanks around "=", five decimals.
void AppendPoint(std::string& out, int n, std::mt19937& random) {
  char text[160];
  const int x = static_cast<int>(random() % 4000);
  const int y = static_cast<int>(random() % 3000);
  const double lat = 47.0 + (random() % 700000) / 100000.0;
  const double lon = 6.0 + (random() % 900000) / 100000.0;
  std::snprintf(text, sizeof text,
                "[Calibration Point%d]\r\nPixel = (%d, %d)\r\nLatitude = %.5f\r\n"
                "Longitude = %.5f\r\n",
                n, x, y, lat, lon);
  out += text;
}

void AppendHeader(std::string& out, int sheet) {
  char text[200];
  std::snprintf(text, sizeof text,
                "[Map]\r\nName = Blatt %04d\r\nBitmap = C:\\Karten\\Blatt%04d.PNG\r\n"
                "Size = (4000, 3000)\r\n",
                sheet, sheet);
  out += text;
}

}  // namespace

std::string KalSheet(int sheet, int points) {
  std::mt19937 random(static_cast<unsigned>(sheet));
  std::string out;
  AppendHeader(out, sheet);
  for (int n = 1; n <= points; ++n) AppendPoint(out, n, random);
  out += "[Comment]\r\nText = erzeugt\r\n";
  return out;
}

std::string KalOfSize(std::uint64_t bytes) {
  std::mt19937 random(1);
  std::string out;
  out.reserve(bytes + 256);
  AppendHeader(out, 1);
  for (int n = 1; out.size() < bytes; ++n) {
    AppendPoint(out, n, random);
    if (n % 100 == 0) out += "[Comment]\r\nText = Abschnitt ohne Punkte\r\n";
  }
  return out;
}

}  // namespace kal2map::bench
