// libpng, with its errors ending in longjmp as libjpeg's do; the same rule holds: no object
// with a destructor lives in a function that calls setjmp.
#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <vector>

#include "image/codec.h"

namespace kal2map {
namespace {

struct Jump {
  std::jmp_buf buf;
};

void Error(png_structp png, png_const_charp) {
  std::longjmp(static_cast<Jump*>(png_get_error_ptr(png))->buf, 1);
}
void Warning(png_structp, png_const_charp) {}

constexpr png_alloc_size_t kChunkBytes = png_alloc_size_t{8} << 20;

class PngRows final : public ImageRows {
 public:
  explicit PngRows(std::FILE* file) : file_(file) {}
  ~PngRows() override {
    png_destroy_read_struct(&png_, &info_, nullptr);
    std::fclose(file_);
  }

  std::uint32_t width() const override { return width_; }
  std::uint32_t height() const override { return height_; }

  std::error_code Start() {
    png_ = png_create_read_struct(PNG_LIBPNG_VER_STRING, &jump_, Error, Warning);
    if (png_ != nullptr) info_ = png_create_info_struct(png_);
    if (info_ == nullptr) return std::make_error_code(std::errc::not_enough_memory);
    if (setjmp(jump_.buf)) return MakeError(ImageError::kDamaged);
    png_init_io(png_, file_);
    // The width is judged below, the same for every format; the height does not matter to
    // rows read one at a time.
    png_set_user_limits(png_, 0x7FFFFFFF, 0x7FFFFFFF);
    // Text and colour profiles, which we never look at, inflate no further than this.
    png_set_chunk_malloc_max(png_, kChunkBytes);
    png_read_info(png_, info_);
    width_ = png_get_image_width(png_, info_);
    height_ = png_get_image_height(png_, info_);
    interlaced_ = png_get_interlace_type(png_, info_) != PNG_INTERLACE_NONE;
    if (const std::error_code ec = image::CheckSize(width_, height_)) return ec;
    // An interlaced image is held whole as RGBA, with a pointer to each row.
    if (interlaced_) {
      if (const std::error_code ec = image::CheckHeld(
              image::Format::kPng, {height_, 4 * std::uint64_t{width_} + sizeof(png_bytep)})) {
        return ec;
      }
    }
    // Every kind of PNG becomes 8-bit RGBA, which NextRow lays over white.
    png_set_strip_16(png_);
    png_set_palette_to_rgb(png_);
    png_set_expand_gray_1_2_4_to_8(png_);
    if (png_get_valid(png_, info_, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png_);
    png_set_gray_to_rgb(png_);
    png_set_add_alpha(png_, 0xFF, PNG_FILLER_AFTER);
    if (interlaced_) png_set_interlace_handling(png_);
    png_read_update_info(png_, info_);
    if (png_get_rowbytes(png_, info_) != std::size_t{4} * width_)
      return image::Unsupported(image::Format::kPng);
    const std::size_t row_bytes = std::size_t{4} * width_;
    if (interlaced_) {
      pixels_.resize(row_bytes * height_);  // within kDecoderBytes, so within size_t
      row_pointers_.resize(height_);
      for (std::uint32_t y = 0; y < height_; ++y) row_pointers_[y] = &pixels_[y * row_bytes];
      png_read_image(png_, row_pointers_.data());
    } else {
      pixels_.resize(row_bytes);
    }
    return {};
  }

  std::error_code NextRow(std::uint8_t* rgb) override {
    if (failed_ || row_ >= height_) return std::make_error_code(std::errc::result_out_of_range);
    failed_ = true;
    if (setjmp(jump_.buf)) return MakeError(ImageError::kDamaged);
    const std::uint8_t* rgba = interlaced_ ? row_pointers_[row_] : pixels_.data();
    if (!interlaced_) png_read_row(png_, pixels_.data(), nullptr);
    for (std::uint32_t x = 0; x < width_; ++x) {
      for (int c = 0; c < 3; ++c)
        rgb[3 * x + c] = image::OverWhite(rgba[4 * x + c], rgba[4 * x + 3]);
    }
    ++row_;
    failed_ = false;
    return {};
  }

 private:
  std::FILE* file_;
  Jump jump_;
  png_structp png_ = nullptr;
  png_infop info_ = nullptr;
  std::uint32_t width_ = 0, height_ = 0, row_ = 0;
  bool interlaced_ = false;
  bool failed_ = false;
  std::vector<std::uint8_t> pixels_;  // one row, or the whole image when interlaced
  std::vector<png_bytep> row_pointers_;
};

}  // namespace

std::unique_ptr<ImageRows> image::OpenPngRows(std::FILE* file, std::error_code& ec) {
  auto rows = std::make_unique<PngRows>(file);
  if ((ec = rows->Start())) return nullptr;
  return rows;
}

}  // namespace kal2map
