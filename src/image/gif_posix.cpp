// giflib, first frame only. A plain frame is decoded a row at a time as the rows are asked
// for; the rows of an interlaced one arrive out of order, so that frame is decoded whole, one
// byte a pixel, where the budget allows: GIF's 16-bit sizes allow 4 GB.
#include <gif_lib.h>

#include <array>
#include <cstdio>
#include <vector>

#include "image/codec.h"
#include "util/size.h"

namespace kal2map {
namespace {

int ReadBytes(GifFileType* gif, GifByteType* out, int size) {
  return static_cast<int>(std::fread(out, 1, size, static_cast<std::FILE*>(gif->UserData)));
}

std::error_code GifFailure(int error) {
  if (error == D_GIF_ERR_NOT_ENOUGH_MEM) return std::make_error_code(std::errc::not_enough_memory);
  return MakeError(ImageError::kDamaged);
}

class GifRows final : public ImageRows {
 public:
  explicit GifRows(std::FILE* file) : file_(file) {}
  ~GifRows() override {
    if (gif_ != nullptr) DGifCloseFile(gif_, nullptr);
    std::fclose(file_);
  }
  std::uint32_t width() const override { return width_; }
  std::uint32_t height() const override { return height_; }

  std::error_code Start() {
    int error = 0;
    gif_ = DGifOpen(file_, ReadBytes, &error);
    if (gif_ == nullptr) return GifFailure(error);
    width_ = gif_->SWidth, height_ = gif_->SHeight;
    if (const std::error_code ec = image::CheckSize(width_, height_)) return ec;
    for (GifRecordType type;;) {
      if (DGifGetRecordType(gif_, &type) == GIF_ERROR) return GifFailure(gif_->Error);
      if (type == TERMINATE_RECORD_TYPE) return MakeError(ImageError::kDamaged);  // no frame
      if (type == IMAGE_DESC_RECORD_TYPE) break;
      if (type != EXTENSION_RECORD_TYPE) continue;
      int code = 0;
      GifByteType* block = nullptr;
      if (DGifGetExtension(gif_, &code, &block) == GIF_ERROR) return GifFailure(gif_->Error);
      // Graphic control: bit 0 of its flags marks the index that shows what lies beneath.
      if (code == GRAPHICS_EXT_FUNC_CODE && block != nullptr && block[0] >= 4 && (block[1] & 1)) {
        transparent_ = block[4];
      }
      while (block != nullptr) {
        if (DGifGetExtensionNext(gif_, &block) == GIF_ERROR) return GifFailure(gif_->Error);
      }
    }
    if (DGifGetImageDesc(gif_) == GIF_ERROR) return GifFailure(gif_->Error);
    return StartFrame();
  }

  std::error_code NextRow(std::uint8_t* rgb) override {
    if (failed_ || row_ >= height_) return std::make_error_code(std::errc::result_out_of_range);
    const std::int64_t y = std::int64_t{row_++} - top_;
    const std::uint8_t* line = nullptr;
    if (y >= 0 && y < frame_height_) {
      line = &frame_[interlaced_ ? y * frame_width_ : 0];
      // Rows of a plain frame come in order, each once; the first was read at the start.
      if (!interlaced_ && y > 0 && !ReadLine()) {
        failed_ = true;
        return GifFailure(gif_->Error);
      }
    }
    for (std::int64_t x = 0; x < width_; ++x, rgb += 3) {
      const std::int64_t fx = x - left_;
      // Around the frame and through its transparent pixels lies the blank map: white.
      const int index = line != nullptr && fx >= 0 && fx < frame_width_ ? line[fx] : -1;
      if (index < 0 || index == transparent_) {
        rgb[0] = rgb[1] = rgb[2] = 255;
      } else {
        std::copy_n(colours_[index].data(), 3, rgb);
      }
    }
    return {};
  }

 private:
  std::error_code StartFrame() {
    const GifImageDesc& frame = gif_->Image;
    const ColorMapObject* map = frame.ColorMap != nullptr ? frame.ColorMap : gif_->SColorMap;
    if (map == nullptr) return MakeError(ImageError::kDamaged);
    // Indexes past the colour table are black.
    for (int i = 0; i < map->ColorCount && i < 256; ++i) {
      colours_[i] = {map->Colors[i].Red, map->Colors[i].Green, map->Colors[i].Blue};
    }
    left_ = frame.Left, top_ = frame.Top;
    frame_width_ = frame.Width, frame_height_ = frame.Height;
    interlaced_ = frame.Interlace;
    if (frame_width_ <= 0 || frame_height_ <= 0) return MakeError(ImageError::kDamaged);
    if (const std::error_code ec = image::CheckSize(frame_width_, frame_height_)) return ec;
    if (!interlaced_) {
      // The first row proves the frame's data, before blank rows above it cost any time.
      frame_.resize(static_cast<std::size_t>(frame_width_));
      return ReadLine() ? std::error_code() : GifFailure(gif_->Error);
    }
    const std::uint64_t pixels =
        SizeProduct({std::uint64_t(frame_width_), std::uint64_t(frame_height_)});
    if (const std::error_code ec = image::CheckHeld(image::Format::kGif, {pixels})) return ec;
    frame_.resize(static_cast<std::size_t>(pixels));
    constexpr int kStart[] = {0, 4, 2, 1}, kStep[] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass) {
      for (std::int64_t y = kStart[pass]; y < frame_height_; y += kStep[pass]) {
        if (DGifGetLine(gif_, &frame_[static_cast<std::size_t>(y * frame_width_)],
                        static_cast<int>(frame_width_)) == GIF_ERROR) {
          return GifFailure(gif_->Error);
        }
      }
    }
    DGifCloseFile(gif_, nullptr);
    gif_ = nullptr;
    return {};
  }

  bool ReadLine() {
    return DGifGetLine(gif_, frame_.data(), static_cast<int>(frame_width_)) != GIF_ERROR;
  }

  std::FILE* file_;
  GifFileType* gif_ = nullptr;
  std::uint32_t width_ = 0, height_ = 0, row_ = 0;
  std::int64_t left_ = 0, top_ = 0, frame_width_ = 0, frame_height_ = 0;
  int transparent_ = -1;
  bool interlaced_ = false, failed_ = false;
  std::array<std::array<std::uint8_t, 3>, 256> colours_{};
  std::vector<std::uint8_t> frame_;  // the frame when interlaced, else its current row
};

}  // namespace

std::unique_ptr<ImageRows> image::OpenGifRows(std::FILE* file, std::error_code& ec) {
  auto rows = std::make_unique<GifRows>(file);
  if ((ec = rows->Start())) return nullptr;
  return rows;
}

}  // namespace kal2map
