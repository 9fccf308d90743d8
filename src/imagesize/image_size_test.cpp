#include "imagesize/image_size.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>
#include <utility>

namespace kal2map {
namespace {

using namespace std::string_literals;
using F = ImageFormat;
using S = ImageSizeStatus;

std::string Be(std::uint64_t v, int n) {
  std::string s;
  for (int i = n - 1; i >= 0; --i) s += static_cast<char>(v >> 8 * i);
  return s;
}
std::string Le(std::uint64_t v, int n) {
  std::string s = Be(v, n);
  return {s.rbegin(), s.rend()};
}

std::string Png(std::uint64_t w, std::uint64_t h, std::string type = "IHDR") {
  return "\x89PNG\r\n\x1a\n"s + Be(13, 4) + type + Be(w, 4) + Be(h, 4);
}
// After SOI: an EXIF segment whose thumbnail has a frame header of its own, a DHT segment
// whose bytes look like one, and fill bytes before the frame header.
std::string Jpeg(int marker, std::uint64_t w, std::uint64_t h, std::string before = "") {
  const std::string exif = "Exif\0\0\xFF\xD8\xFF\xC0\0\x11\x08\0\x09\0\x09"s;
  return "\xFF\xD8\xFF\xE1"s + Be(exif.size() + 2, 2) + exif + "\xFF\xC4\0\x07\x08\0\x05\0\x05"s +
         before + "\xFF\xFF\xFF" + static_cast<char>(marker) + Be(17, 2) + "\x08" + Be(h, 2) +
         Be(w, 2);
}
std::string Bmp(std::uint64_t header, std::uint64_t w, std::uint64_t h) {
  const int n = header == 12 ? 2 : 4;
  return "BM"s + std::string(12, '\0') + Le(header, 4) + Le(w, n) + Le(h, n);
}
std::string Gif(std::uint64_t w, std::uint64_t h) { return "GIF89a" + Le(w, 2) + Le(h, 2); }
// A NewSubfileType entry, then ImageWidth and ImageLength of the given types (3 SHORT, 4 LONG).
std::string Tiff(bool mm, int wtype, std::uint64_t w, int htype, std::uint64_t h,
                 std::uint64_t count = 1) {
  auto e = [mm](std::uint64_t v, int n) { return mm ? Be(v, n) : Le(v, n); };
  auto entry = [&](int tag, int type, std::uint64_t v) {
    return e(tag, 2) + e(type, 2) + e(count, 4) + (type == 3 ? e(v, 2) + e(0, 2) : e(v, 4));
  };
  return (mm ? "MM\0*"s : "II*\0"s) + e(8, 4) + e(3, 2) + entry(254, 4, 0) + entry(256, wtype, w) +
         entry(257, htype, h);
}

ImageInfo Read(const std::string& bytes) {
  MemorySource source(bytes);
  return ReadImageSize(source);
}

std::tuple<int, int, std::int64_t, std::int64_t> Fields(const ImageInfo& info) {
  return {static_cast<int>(info.format), static_cast<int>(info.status), info.size.width,
          info.size.height};
}

TEST(ReadImageSize, ReadsEachFormatAndTellsUnreadFormatsFromBadHeaders) {
  const std::pair<std::string, ImageInfo> cases[] = {
      {Png(70000, 0x7fffffff), {F::kPng, S::kOk, {70000, 0x7fffffff}}},
      {Jpeg(0xC0, 640, 480), {F::kJpeg, S::kOk, {640, 480}}},
      {Jpeg(0xC2, 65535, 1, "\xFF\x01"), {F::kJpeg, S::kOk, {65535, 1}}},  // TEM has no length
      {Jpeg(0xC9, 1, 65535, "\xFF\xCC\0\x04\x01\x02"s), {F::kJpeg, S::kOk, {1, 65535}}},  // DAC
      {Jpeg(0xDE, 800, 600), {F::kJpeg, S::kOk, {800, 600}}},  // DHP: a hierarchical image
      {Bmp(40, 60000, 40000), {F::kBmp, S::kOk, {60000, 40000}}},
      {Bmp(124, 5, 0xFFFFFFFD), {F::kBmp, S::kOk, {5, 3}}},          // top-down
      {Bmp(40, 7, 0x80000000), {F::kBmp, S::kOk, {7, 2147483648}}},  // top-down, INT32_MIN
      {Bmp(12, 65535, 2), {F::kBmp, S::kOk, {65535, 2}}},
      {Gif(65535, 1), {F::kGif, S::kOk, {65535, 1}}},
      {Tiff(false, 3, 3, 3, 2), {F::kTiff, S::kOk, {3, 2}}},
      {Tiff(true, 4, 4000000000, 3, 7), {F::kTiff, S::kOk, {4000000000, 7}}},
      {Tiff(false, 4, 70000, 4, 4000000000), {F::kTiff, S::kOk, {70000, 4000000000}}},
      {"", {F::kUnknown, S::kUnknownFormat}},
      {"P6\n3 2\n255\n", {F::kUnknown, S::kUnknownFormat}},
      {"II+\0\x08\0\0\0\0\0\0\0\0\0\0\0"s, {F::kTiff, S::kUnknownFormat}},  // BigTIFF
      {Bmp(16, 3, 2), {F::kBmp, S::kUnknownFormat}},                        // OS/2 2.x
      {Png(0, 2), {F::kPng, S::kBadHeader}},
      {Png(3, 0x80000000), {F::kPng, S::kBadHeader}},
      {Png(3, 2, "gAMA"), {F::kPng, S::kBadHeader}},
      {Jpeg(0xC0, 0, 2), {F::kJpeg, S::kBadHeader}},
      {Jpeg(0xC0, 3, 0), {F::kJpeg, S::kBadHeader}},  // height left to a DNL segment
      {"\xFF\xD8\xFF\xDA\0\x08\x01\x01\x00\x00\x3f\x00\xFF\xC0\0\x11\x08\0\x02\0\x03"s,
       {F::kJpeg, S::kBadHeader}},  // SOS before SOF
      {"\xFF\xD8\xFF\xD9\xFF\xC0\0\x11\x08\0\x02\0\x03"s, {F::kJpeg, S::kBadHeader}},
      {"\xFF\xD8\x00\xFF\xC0\0\x11\x08\0\x02\0\x03"s, {F::kJpeg, S::kBadHeader}},
      {Bmp(40, 0xFFFFFFFD, 2), {F::kBmp, S::kBadHeader}},  // negative width
      {Bmp(40, 3, 0), {F::kBmp, S::kBadHeader}},
      {Gif(3, 0), {F::kGif, S::kBadHeader}},
      {Tiff(false, 3, 0, 3, 2), {F::kTiff, S::kBadHeader}},
      {Tiff(true, 3, 3, 2, 2), {F::kTiff, S::kBadHeader}},     // ASCII height
      {Tiff(true, 4, 3, 4, 2, 2), {F::kTiff, S::kBadHeader}},  // LONGs elsewhere
      {Tiff(false, 3, 3, 3, 2).substr(0, 34) + Le(300, 2) + std::string(10, '\0'),
       {F::kTiff, S::kBadHeader}},                                    // no ImageLength
      {"II*\0\xFF\xFF\xFF\xFF\0\0\0\0"s, {F::kTiff, S::kBadHeader}},  // directory past the end
      {"II*\0\x04\0\0\0"s + std::string(10, '\0') + Tiff(false, 3, 3, 3, 2).substr(22),
       {F::kTiff, S::kBadHeader}},  // directory overlapping the header
  };
  for (const auto& [bytes, expected] : cases) {
    EXPECT_EQ(Fields(Read(bytes)), Fields(expected)) << testing::PrintToString(bytes);
    if (expected.status != S::kOk) continue;
    // The builders stop at the last byte the size needs: every shorter header is cut short.
    for (std::size_t n = 8; n < bytes.size(); ++n) {
      EXPECT_EQ(Fields(Read(bytes.substr(0, n))), Fields({expected.format, S::kBadHeader}))
          << testing::PrintToString(bytes) << " cut to " << n;
    }
  }
}

// A header near the start and a short piece far out, zeros between, without storing them.
struct SparseSource final : ByteSource {
  std::string head, far;
  std::uint64_t far_offset = 0, fail_from = UINT64_MAX, over = 0, bytes_read = 0;
  std::int64_t ReadAt(std::uint64_t offset, char* buffer, std::size_t size) override {
    if (offset >= fail_from) return -1;
    if (offset >= far_offset + far.size()) return 0;
    const std::uint64_t n = std::min<std::uint64_t>(size, far_offset + far.size() - offset);
    for (std::uint64_t i = 0, at = offset; i < n; ++i, ++at) {
      buffer[i] = at < head.size() ? head[at] : at >= far_offset ? far[at - far_offset] : '\0';
    }
    bytes_read += n;
    return static_cast<std::int64_t>(n + over);
  }
};

TEST(ReadImageSize, FindsTheDirectoryAfterTheImageDataWithoutReadingThem) {
  const std::uint64_t offset = 3000000000;  // beyond 2^31, as behind a scan's image data
  const std::string tiff = Tiff(false, 4, 60000, 4, 40000);
  SparseSource source;
  source.head = tiff.substr(0, 4) + Le(offset, 4);
  source.far = tiff.substr(8);
  source.far_offset = offset;
  EXPECT_EQ(Fields(ReadImageSize(source)), Fields({F::kTiff, S::kOk, {60000, 40000}}));
  EXPECT_LE(source.bytes_read, 8192u);

  // A failing read is not a damaged header, nor one that gives up the size.
  source.fail_from = offset;
  EXPECT_EQ(Fields(ReadImageSize(source)), Fields({F::kTiff, S::kReadError}));
  source.fail_from = 0;
  EXPECT_EQ(ReadImageSize(source).status, S::kReadError);
  source.fail_from = UINT64_MAX;
  source.over = 1;  // claims more bytes than it was asked for
  EXPECT_EQ(ReadImageSize(source).status, S::kReadError);
}

}  // namespace
}  // namespace kal2map
