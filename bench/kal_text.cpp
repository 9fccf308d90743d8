#include "kal_text.h"

#include <cstdio>
#include <random>

namespace kal2map::bench {
namespace {

// Lines as map makers write them: CR LF, blanks around "=", five decimals. Each sheet is a
// north-up scan of 4000 x 3000 pixels somewhere in the Alps, so its points agree with each
// other as those of a real sheet do and the calibration check takes its usual path.
void AppendPoint(std::string& out, int n, std::mt19937& random, double west, double north) {
  char text[160];
  const int x = static_cast<int>(random() % 4000);
  const int y = static_cast<int>(random() % 3000);
  const double lat = north - y * 0.0001;
  const double lon = west + x * 0.00015;
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
  const double west = 6.0 + (random() % 900) / 100.0, north = 47.5 + (random() % 600) / 100.0;
  for (int n = 1; n <= points; ++n) AppendPoint(out, n, random, west, north);
  out += "[Comment]\r\nText = erzeugt\r\n";
  return out;
}

std::string KalOfSize(std::uint64_t bytes) {
  std::mt19937 random(1);
  std::string out;
  out.reserve(bytes + 256);
  AppendHeader(out, 1);
  for (int n = 1; out.size() < bytes; ++n) {
    AppendPoint(out, n, random, 10.0, 47.5);
    if (n % 100 == 0) out += "[Comment]\r\nText = Abschnitt ohne Punkte\r\n";
  }
  return out;
}

std::string PngHead(std::uint32_t width, std::uint32_t height) {
  std::string png("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16);
  for (std::uint32_t v : {width, height}) {
    for (int shift = 24; shift >= 0; shift -= 8) png += static_cast<char>((v >> shift) & 0xFF);
  }
  return png + std::string("\x08\x02\0\0\0\0\0\0\0", 9);
}

}  // namespace kal2map::bench
