#include "control/map_check.h"

#include <gtest/gtest.h>

#include "control/batch.h"
#include "test_util.h"

namespace kal2map {
namespace {

using test::ReadFile;
using test::RecordingWindow;
using test::TempDir;
using test::WriteFile;

// The first bytes of a PNG of `width` x `height`: all a size reader needs.
std::string PngHeader(std::uint32_t width, std::uint32_t height) {
  std::string png("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16);
  for (std::uint32_t v : {width, height}) {
    for (int shift = 24; shift >= 0; shift -= 8) png += static_cast<char>((v >> shift) & 0xFF);
  }
  return png + std::string("\x08\x02\0\0\0\0\0\0\0", 9);
}

// A north-up sheet of 1000 x 800 pixels from 13.0 E, 52.8 N to 13.5 E, 52.4 N.
std::string Sheet(const std::string& image, int points) {
  const int xy[4][2] = {{0, 0}, {1000, 0}, {1000, 800}, {0, 800}};
  std::string kal = "[Map]\r\nBitmap = " + image + "\r\n";
  for (int i = 0; i < points; ++i) {
    const double lon = 13.0 + 0.5 * xy[i][0] / 1000, lat = 52.8 - 0.4 * xy[i][1] / 800;
    kal += "[Calibration Point" + std::to_string(i + 1) + "]\r\nLatitude = " + std::to_string(lat) +
           "\r\nLongitude = " + std::to_string(lon) + "\r\nPixel = (" + std::to_string(xy[i][0]) +
           ", " + std::to_string(xy[i][1]) + ")\r\n";
  }
  return kal;
}

int LineCount(const std::string& map) {
  int n = 0;
  for (std::size_t at = 0; (at = map.find("\r\n", at)) != std::string::npos; at += 2) ++n;
  return n;
}

TEST(CompleteMaps, BorderWhenComputableElseTheFixedLinesAndOneWarning) {
  struct Case {
    std::string what, kal, image;  // image: bytes of "blatt.png", none when empty
    bool complete;
    int lines;
    std::vector<std::string> warnings;
  };
  const std::string png = PngHeader(1000, 800);
  const Case cases[] = {
      {"complete", Sheet("C:\\Scans\\blatt.png", 4), png, true, 56, {}},
      {"not asked for", Sheet("blatt.png", 4), png, false, 43, {}},
      {"no image",
       Sheet("blatt.png", 4),
       "",
       true,
       43,
       {"blatt.map ohne Kartenrand und Bildgröße: Bild blatt.png nicht gefunden"}},
      {"not an image",
       Sheet("blatt.png", 4),
       "no image at all",
       true,
       43,
       {"blatt.map ohne Kartenrand und Bildgröße: Bildformat von blatt.png wird nicht gelesen "
        "(nur PNG, JPEG, BMP, GIF, TIFF)"}},
      {"a broken header",
       Sheet("blatt.png", 4),
       png.substr(0, 20),
       true,
       43,
       {"blatt.map ohne Kartenrand und Bildgröße: der Kopf der PNG-Datei blatt.png ergibt keine "
        "Bildgröße"}},
      // The check says it already; a second warning for the border would say it twice.
      {"one point", Sheet("blatt.png", 1), png, true, 43, {"*"}},
      {"a point outside the image",
       Sheet("blatt.png", 4),
       PngHeader(900, 800),
       true,
       56,
       {"*", "*"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDir dir;
    WriteFile(dir / "blatt.kal", c.kal);
    if (!c.image.empty()) WriteFile(dir / "blatt.png", c.image);
    State state;
    InitState(state, dir.path());
    state.CompleteMaps = c.complete;
    RecordingWindow window;
    const RunReport report = ConvertAll(state, window);
    EXPECT_EQ(report.written, 1u);
    const std::string map = ReadFile(dir / "blatt.map");
    EXPECT_EQ(LineCount(map), c.lines);
    ASSERT_EQ(report.warnings.size(), c.warnings.size());
    for (std::size_t i = 0; i < c.warnings.size(); ++i) {
      EXPECT_EQ(report.warnings[i].kal, dir / "blatt.kal");
      if (c.warnings[i] != "*") {
        EXPECT_EQ(report.warnings[i].text, c.warnings[i]);
      }
    }
    if (c.image == png && c.lines == 56) {
      EXPECT_NE(map.find("\r\nMMPLL,3,  13.500000,  52.400000\r\nMMPLL,4,  13.000000,  52.400000"
                         "\r\nMM1B,"),
                std::string::npos);
      EXPECT_NE(map.find("\r\nIWH,Map Image Width/Height,1000,800\r\n"), std::string::npos);
    }
  }
}

}  // namespace
}  // namespace kal2map
