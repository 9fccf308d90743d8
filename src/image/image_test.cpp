#include "image/image.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#ifndef _WIN32
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include "test_util.h"

namespace kal2map {
namespace {

using Rgb = std::array<int, 3>;
constexpr Rgb kRed{255, 0, 0}, kGreen{0, 255, 0}, kBlue{0, 0, 255}, kWhite{255, 255, 255},
    kBlack{0, 0, 0}, kYellow{255, 255, 0};

struct Decoded {
  std::error_code ec;
  std::uint32_t width = 0, height = 0;
  std::vector<std::uint8_t> rgb;
  Rgb At(std::uint32_t x, std::uint32_t y) const {
    const std::uint8_t* p = &rgb[3 * (std::size_t{y} * width + x)];
    return {p[0], p[1], p[2]};
  }
};

Decoded Decode(const std::filesystem::path& path) {
  Decoded d;
  const auto rows = OpenImageRows(path, d.ec);
  if (rows == nullptr) return d;
  d.width = rows->width(), d.height = rows->height();
  d.rgb.resize(std::size_t{3} * d.width * d.height);
  for (std::uint32_t y = 0; y < d.height && !d.ec; ++y)
    d.ec = rows->NextRow(&d.rgb[3 * y * d.width]);
  return d;
}

void ExpectNear(const Rgb& got, const Rgb& want, int tolerance, const std::string& where) {
  for (int c = 0; c < 3; ++c)
    EXPECT_LE(std::abs(got[c] - want[c]), tolerance) << where << " channel " << c;
}

// Each file holds four quadrants of one colour each; transparency must come out white.
TEST(ImageRows, DecodesEachKindOfFile) {
  const struct {
    const char* file;
    Rgb top_left, top_right, bottom_left, bottom_right;
    int tolerance;
  } cases[] = {
      {"progressive.jpg", kRed, kGreen, kBlue, kWhite, 16},
      {"palette-alpha.png", kRed, kGreen, kBlue, kWhite, 0},
      {"rgba16.png", kRed, {128, 128, 128}, kBlue, kWhite, 1},
      {"gray-interlaced.png", kBlack, {128, 128, 128}, {64, 64, 64}, kWhite, 2},
      {"transparent-interlaced.gif", kRed, kGreen, kBlue, kWhite, 0},
      {"lzw.tif", kRed, kGreen, kBlue, kWhite, 0},
      {"packbits-palette.tif", kRed, kGreen, kBlue, kWhite, 0},
      {"deflate-alpha.tif", kRed, {128, 128, 128}, kBlue, kWhite, 1},
#ifndef _WIN32  // libtiff's RGBA interface: separate planes, which Wine's codec refuses
      {"planar.tif", kRed, kGreen, kBlue, kWhite, 0},
#endif
      {"tiled.tif", kRed, kGreen, kBlue, kWhite, 0},
  };
  for (const auto& c : cases) {
    const Decoded d = Decode(std::filesystem::path(KAL2MAP_TEST_DATA) / "images" / c.file);
    ASSERT_FALSE(d.ec) << c.file << ": " << d.ec.message();
    const std::uint32_t w = d.width, h = d.height;
    ExpectNear(d.At(w / 4, h / 4), c.top_left, c.tolerance, c.file);
    ExpectNear(d.At(3 * w / 4, h / 4), c.top_right, c.tolerance, c.file);
    ExpectNear(d.At(w / 4, 3 * h / 4), c.bottom_left, c.tolerance, c.file);
    ExpectNear(d.At(3 * w / 4, 3 * h / 4), c.bottom_right, c.tolerance, c.file);
  }
}

void Put(std::string& s, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) s += static_cast<char>(value >> 8 * i);
}

// A BMP of 3 x 2 pixels of the colours Colour() gives, written as Windows would.
constexpr Rgb kColours[] = {kBlack, kWhite, kRed, kGreen, kBlue, kYellow};
Rgb Colour(unsigned bits, int x, int y) { return kColours[(x + 2 * y) % (bits == 1 ? 2 : 6)]; }

std::string Bmp(unsigned bits, bool top_down, bool core, std::uint32_t compression = 0) {
  // An OS/2 header cannot count its palette: it always has all 2^bits entries.
  const int width = 3, height = 2, entries = bits > 8 ? 0 : core ? 1 << bits : bits == 1 ? 2 : 6;
  const std::uint32_t info_size = core ? 12 : 40;
  std::string info;
  Put(info, info_size, 4);
  Put(info, width, core ? 2 : 4);
  Put(info, top_down ? -height : height, core ? 2 : 4);
  Put(info, 1, 2);
  Put(info, bits, 2);
  if (!core) {
    info += std::string(24, '\0');
    info[16] = static_cast<char>(compression);
    info[32] = static_cast<char>(entries);
  }
  for (int i = 0; i < entries; ++i) {
    for (int c = 2; c >= 0; --c) info += static_cast<char>(i < 6 ? kColours[i][c] : 0);
    if (!core) info += '\0';
  }
  std::string pixels;
  for (int row = 0; row < height; ++row) {
    const int y = top_down ? row : height - 1 - row;
    std::string line((width * bits + 31) / 32 * 4, '\0');
    for (int x = 0; x < width; ++x) {
      const Rgb c = Colour(bits, x, y);
      const std::uint32_t index = (x + 2 * y) % (bits == 1 ? 2 : 6);
      const std::uint32_t value = bits == 16 ? (c[0] >> 3) << 10 | (c[1] >> 3) << 5 | c[2] >> 3
                                             : c[0] << 16 | c[1] << 8 | c[2];
      if (bits <= 8) {
        line[x * bits / 8] |= static_cast<char>(index << (8 - bits - x * bits % 8));
      } else {
        for (unsigned b = 0; b < bits / 8; ++b)
          line[x * bits / 8 + b] = static_cast<char>(value >> 8 * b);
      }
    }
    pixels += line;
  }
  std::string file = "BM";
  Put(file, 14 + info.size() + pixels.size(), 4);
  Put(file, 0, 4);
  Put(file, 14 + info.size(), 4);
  return file + info + pixels;
}

TEST(ImageRows, DecodesBmpRows) {
  test::TempDir dir;
  for (const unsigned bits : {1u, 4u, 8u, 16u, 24u, 32u}) {
    for (const bool top_down : {false, true}) {
      for (const bool core : {false, true}) {
        if (core && (top_down || bits == 16 || bits == 32)) continue;  // OS/2 had neither
        const std::string name = std::to_string(bits) + (top_down ? "t" : "b") + (core ? "c" : "");
        test::WriteFile(dir / (name + ".bmp"), Bmp(bits, top_down, core));
        const Decoded d = Decode(dir / (name + ".bmp"));
        ASSERT_FALSE(d.ec) << name << ": " << d.ec.message();
        ASSERT_EQ(d.width * 10 + d.height, 32u) << name;
        for (int y = 0; y < 2; ++y) {
          for (int x = 0; x < 3; ++x) ExpectNear(d.At(x, y), Colour(bits, x, y), 0, name);
        }
      }
    }
  }
}

TEST(ImageRows, RefusesWhatItCannotDecode) {
  test::TempDir dir;
  const std::string png =
      test::ReadFile(std::filesystem::path(KAL2MAP_TEST_DATA) / "images" / "rgba16.png");
  const std::string tif =
      test::ReadFile(std::filesystem::path(KAL2MAP_TEST_DATA) / "images" / "lzw.tif");
  std::string jpeg;
  const std::uint8_t rgb[16 * 16 * 3] = {};
  ASSERT_FALSE(EncodeBaselineJpeg(rgb, 16, 16, 90, jpeg));
  std::string wide = Bmp(24, false, false);
  wide[18 + 2] = 0x20;  // 2 MiB pixels wide
  const struct {
    const char* name;
    std::string bytes;
    std::error_condition want;
  } cases[] = {
      {"empty", "", ImageError::kUnknownFormat},
      {"text", "Kalibrierung", ImageError::kUnknownFormat},
      {"short.bmp", Bmp(24, false, false).substr(0, 60), ImageError::kDamaged},
      {"short.png", png.substr(0, png.size() / 2), ImageError::kDamaged},
      {"short.jpg", jpeg.substr(0, jpeg.size() / 2), ImageError::kDamaged},
      {"short.tif", tif.substr(0, tif.size() / 2), ImageError::kDamaged},
      {"wide.bmp", wide, ImageError::kTooLarge},
#ifndef _WIN32  // the Windows Imaging Component reads RLE
      {"rle.bmp", Bmp(8, false, false, 1), ImageError::kUnsupported},
#endif
  };
  for (const auto& c : cases) {
    test::WriteFile(dir / c.name, c.bytes);
    EXPECT_EQ(Decode(dir / c.name).ec, c.want)
        << c.name << ": " << Decode(dir / c.name).ec.message();
  }
  EXPECT_EQ(Decode(dir / "missing.png").ec, std::errc::no_such_file_or_directory);
#ifndef _WIN32
  EXPECT_NE(Decode(dir / "rle.bmp").ec.message().find("BMP"), std::string::npos);
#endif
}

#ifndef _WIN32
// Headers of a few bytes claiming 1 to 4 GB: each file is decoded row by row in a child, whose
// memory must grow by less than the budget however the decoder refuses it.
TEST(ImageRows, HostileHeadersStayWithinTheBudget) {
  const struct {
    const char* file;
    std::error_condition want;
    const char* says;
  } cases[] = {
      {"huge.gif", ImageError::kDamaged, ""},
      {"huge-interlaced.gif", ImageError::kTooLarge, "GIF zu groß für 256 MB"},
      {"huge-interlaced.png", ImageError::kTooLarge, "PNG mit Zeilensprung zu groß für 256 MB"},
      {"huge-progressive.jpg", ImageError::kTooLarge, "JPEG zu groß für 256 MB"},
  };
  const auto peak_kb = [] {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
  };
  for (const auto& c : cases) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      const long start = peak_kb();
      std::error_code ec;
      const auto rows =
          OpenImageRows(std::filesystem::path(KAL2MAP_TEST_DATA) / "images" / c.file, ec);
      std::vector<std::uint8_t> rgb(rows ? std::size_t{3} * rows->width() : 0);
      for (std::uint32_t y = 0; rows && y < rows->height() && !ec; ++y) ec = rows->NextRow(&rgb[0]);
      const bool refused = ec == c.want && ec.message().find(c.says) != std::string::npos;
      _exit(!refused ? 1 : peak_kb() - start >= static_cast<long>(kMemoryBudget >> 10) ? 2 : 0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_EQ(status, 0) << c.file << " (1: not refused so, 2: beyond the budget)";
  }
}
#endif

TEST(ImageEncoding, BaselineJpegDecodesToTheSameColours) {
  std::vector<std::uint8_t> rgb;
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 24; ++x) {
      const Rgb& c = x < 8 ? kRed : x < 16 ? kGreen : kBlue;
      rgb.insert(rgb.end(), c.begin(), c.end());
    }
  }
  std::string jpeg;
  ASSERT_FALSE(EncodeBaselineJpeg(rgb.data(), 24, 16, 95, jpeg));
  EXPECT_NE(jpeg.find("\xFF\xC0"), std::string::npos);
  EXPECT_EQ(jpeg.find("\xFF\xC2"), std::string::npos);
  test::TempDir dir;
  test::WriteFile(dir / "out.jpg", jpeg);
  const Decoded d = Decode(dir / "out.jpg");
  ASSERT_FALSE(d.ec) << d.ec.message();
  ASSERT_EQ(d.width * 100 + d.height, 2416u);
  for (const int x : {3, 12, 20})
    ExpectNear(d.At(x, 8), x < 8 ? kRed : x < 16 ? kGreen : kBlue, 24, "x " + std::to_string(x));
}

}  // namespace
}  // namespace kal2map
