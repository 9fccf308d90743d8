// BMP needs no codec, only a copy of its rows: the one decoder that is ours on every system
// but Windows, and so the one the fuzz target reaches.
#include <algorithm>
#include <array>
#include <bit>
#include <vector>

#include "image/codec.h"

namespace kal2map::image {
namespace {

std::uint32_t Le16(const std::uint8_t* p) { return p[0] | p[1] << 8; }
std::uint32_t Le32(const std::uint8_t* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

enum Compression : std::uint32_t { kRgb = 0, kBitFields = 3, kAlphaBitFields = 6 };

// One colour of a 16 or 32 bit pixel, as its bit mask gives it, scaled to 8 bits.
struct Channel {
  std::uint32_t mask = 0;
  int shift = 0;
  std::uint32_t max = 0;

  static bool Make(std::uint32_t mask, Channel& c) {
    c.mask = mask;
    c.shift = mask == 0 ? 0 : std::countr_zero(mask);
    c.max = mask >> c.shift;
    return (c.max & (c.max + std::uint64_t{1})) == 0;  // one run of bits, else not a colour
  }
  std::uint8_t Of(std::uint32_t pixel) const {
    if (max == 0) return 0;
    const std::uint64_t v = (pixel & mask) >> shift;
    return static_cast<std::uint8_t>((v * 255 + max / 2) / max);
  }
};

class BmpRows final : public ImageRows {
 public:
  BmpRows(ReadAt read, std::uint32_t width, std::uint32_t height, bool bottom_up, unsigned bits,
          std::uint64_t offset)
      : read_(std::move(read)),
        width_(width),
        height_(height),
        bottom_up_(bottom_up),
        bits_(bits),
        offset_(offset),
        stride_((std::uint64_t{width} * bits + 31) / 32 * 4),
        raw_(stride_) {}

  std::uint32_t width() const override { return width_; }
  std::uint32_t height() const override { return height_; }

  std::error_code NextRow(std::uint8_t* rgb) override {
    if (failed_ || row_ >= height_) return std::make_error_code(std::errc::result_out_of_range);
    const std::uint64_t stored = bottom_up_ ? height_ - 1 - row_ : row_;
    if (const std::error_code ec = read_(offset_ + stored * stride_, raw_.data(), raw_.size())) {
      failed_ = true;
      return ec;
    }
    ++row_;
    const std::uint8_t* in = raw_.data();
    for (std::uint32_t x = 0; x < width_; ++x, rgb += 3) {
      switch (bits_) {
        case 24:
          rgb[0] = in[3 * x + 2], rgb[1] = in[3 * x + 1], rgb[2] = in[3 * x];
          break;
        case 16:
        case 32: {
          const std::uint32_t px = bits_ == 16 ? Le16(in + 2 * x) : Le32(in + 4 * x);
          rgb[0] = red.Of(px), rgb[1] = green.Of(px), rgb[2] = blue.Of(px);
          break;
        }
        default: {  // 1, 4 or 8 bits of an index into the palette, the leftmost pixel highest
          const std::uint64_t bit = std::uint64_t{x} * bits_;
          const unsigned index = (in[bit / 8] >> (8 - bits_ - bit % 8)) & ((1u << bits_) - 1);
          std::copy_n(palette[index].data(), 3, rgb);
        }
      }
    }
    return {};
  }

  // Indexes the file leaves out of its palette are black, as Windows shows them.
  std::array<std::array<std::uint8_t, 3>, 256> palette{};
  Channel red, green, blue;

 private:
  ReadAt read_;
  std::uint32_t width_, height_;
  bool bottom_up_;
  unsigned bits_;
  std::uint64_t offset_, stride_;
  std::vector<std::uint8_t> raw_;
  std::uint32_t row_ = 0;
  bool failed_ = false;
};

}  // namespace

std::unique_ptr<ImageRows> OpenBmpRows(ReadAt read, std::error_code& ec) {
  const auto fail = [&ec](std::error_code why) {
    ec = why;
    return nullptr;
  };
  std::uint8_t head[14 + 56 + 16] = {};
  if ((ec = read(0, head, 18))) return nullptr;
  const std::uint64_t offset = Le32(head + 10);
  const std::uint32_t info_size = Le32(head + 14);
  const bool core = info_size == 12;  // OS/2 1.x: 16-bit sizes, palette of 3-byte entries
  if (!core && info_size < 40) return fail(Unsupported(Format::kBmp));
  const std::uint32_t read_size = std::min<std::uint32_t>(info_size, 56);
  if ((ec = read(14, head + 14, read_size))) return nullptr;
  const std::uint8_t* info = head + 14;

  std::int64_t width, height;
  unsigned bits;
  std::uint32_t compression = kRgb, colours = 0;
  if (core) {
    width = Le16(info + 4), height = Le16(info + 6), bits = Le16(info + 10);
  } else {
    width = static_cast<std::int32_t>(Le32(info + 4));
    height = static_cast<std::int32_t>(Le32(info + 8));
    bits = Le16(info + 14), compression = Le32(info + 16), colours = Le32(info + 32);
  }
  const bool bottom_up = height > 0;
  height = height < 0 ? -height : height;
  if (width <= 0 || height == 0) return fail(MakeError(ImageError::kDamaged));
  if ((ec = CheckSize(width, height))) return nullptr;

  // OS/2 2.x headers (64 bytes) number their compressions differently: only plain rows agree.
  const bool masks = compression == kBitFields || compression == kAlphaBitFields;
  if ((compression != kRgb && !masks) || (masks && info_size == 64)) {
    return fail(Unsupported(Format::kBmp));  // RLE, Huffman, embedded JPEG or PNG
  }
  const bool indexed = bits == 1 || bits == 4 || bits == 8;
  if (!(indexed || bits == 16 || bits == 24 || bits == 32) || (masks && bits != 16 && bits != 32)) {
    return fail(Unsupported(Format::kBmp));
  }
  // A short header keeps its masks after it; they are part of the longer ones.
  std::uint64_t palette_at = 14 + std::uint64_t{info_size};
  std::uint8_t* mask_bytes = head + 14 + 40;
  if (masks && info_size < 52) {
    if ((ec = read(palette_at, mask_bytes, 12))) return nullptr;
    palette_at += compression == kAlphaBitFields ? 16 : 12;
  }
  std::array<std::array<std::uint8_t, 3>, 256> palette{};
  if (indexed) {
    const unsigned entry_size = core ? 3 : 4;
    std::uint32_t entries = colours == 0 ? 1u << bits : std::min(colours, 1u << bits);
    // Writers that leave the count at 0 may still store fewer entries: the table ends where
    // the rows begin.
    if (offset > palette_at)
      entries = std::min<std::uint64_t>(entries, (offset - palette_at) / entry_size);
    std::uint8_t table[256 * 4];
    if ((ec = read(palette_at, table, entries * entry_size))) return nullptr;
    for (std::uint32_t i = 0; i < entries; ++i) {
      const std::uint8_t* bgr = table + i * entry_size;
      palette[i] = {bgr[2], bgr[1], bgr[0]};
    }
  }
  auto rows =
      std::make_unique<BmpRows>(std::move(read), static_cast<std::uint32_t>(width),
                                static_cast<std::uint32_t>(height), bottom_up, bits, offset);
  rows->palette = palette;
  const bool wide = bits == 32;
  if (!Channel::Make(masks  ? Le32(mask_bytes)
                     : wide ? 0xFF0000
                            : 0x7C00,
                     rows->red) ||
      !Channel::Make(masks  ? Le32(mask_bytes + 4)
                     : wide ? 0xFF00
                            : 0x03E0,
                     rows->green) ||
      !Channel::Make(masks  ? Le32(mask_bytes + 8)
                     : wide ? 0xFF
                            : 0x001F,
                     rows->blue)) {
    return fail(Unsupported(Format::kBmp));
  }
  return rows;
}

}  // namespace kal2map::image
