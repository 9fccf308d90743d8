// libjpeg-turbo. Its errors end in longjmp back to the call that failed, never in exit();
// each function that calls setjmp holds no object with a destructor, so that the jump skips
// nothing C++ would run.
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <vector>

// jpeglib.h expects size_t and FILE declared before it.
#include <jerror.h>
#include <jpeglib.h>

#include "image/codec.h"
#include "util/size.h"

namespace kal2map {
namespace {

struct ErrorManager {
  jpeg_error_mgr pub;  // first, so that the library's pointer to it is one to this
  std::jmp_buf jump;
  bool damaged = false;
};

void ErrorExit(j_common_ptr cinfo) {
  std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1);
}

// Warnings stay off stderr. Those meaning that rows were made up (gray or repeated) because
// data was missing or corrupt make the image damaged: a map must not be drawn on guesses.
void EmitMessage(j_common_ptr cinfo, int level) {
  const int code = cinfo->err->msg_code;
  if (level < 0 &&
      (code == JWRN_JPEG_EOF || code == JWRN_HIT_MARKER || code == JWRN_HUFF_BAD_CODE)) {
    reinterpret_cast<ErrorManager*>(cinfo->err)->damaged = true;
  }
}

void OutputMessage(j_common_ptr) {}

jpeg_error_mgr* Quiet(ErrorManager& err) {
  jpeg_std_error(&err.pub);
  err.pub.error_exit = ErrorExit;
  err.pub.emit_message = EmitMessage;
  err.pub.output_message = OutputMessage;
  return &err.pub;
}

std::error_code Failure(const ErrorManager& err, std::error_code otherwise) {
  if (err.pub.msg_code == JERR_OUT_OF_MEMORY)
    return std::make_error_code(std::errc::not_enough_memory);
  // More than max_memory_to_use allows.
  if (err.pub.msg_code == JERR_NO_BACKING_STORE) return image::OverBudget(image::Format::kJpeg);
  return otherwise;
}

// Kinds of JPEG the library was not built for, e.g. 12-bit samples, rather than damage.
std::error_code Refusal(const ErrorManager& err) {
  switch (err.pub.msg_code) {
    case JERR_BAD_PRECISION:
    case JERR_CONVERSION_NOTIMPL:
    case JERR_NOT_COMPILED:
    case JERR_NOTIMPL:
      return image::Unsupported(image::Format::kJpeg);
  }
  return MakeError(ImageError::kDamaged);
}

class JpegRows final : public ImageRows {
 public:
  explicit JpegRows(std::FILE* file) : file_(file) { cinfo_.err = Quiet(err_); }
  ~JpegRows() override {
    if (created_) jpeg_destroy_decompress(&cinfo_);
    std::fclose(file_);
  }

  std::uint32_t width() const override { return cinfo_.image_width; }
  std::uint32_t height() const override { return cinfo_.image_height; }

  std::error_code Start() {
    if (setjmp(err_.jump)) return Failure(err_, Refusal(err_));
    jpeg_create_decompress(&cinfo_);
    created_ = true;
    jpeg_stdio_src(&cinfo_, file_);
    // What the library holds beyond its rows: the coefficients of an image of several scans.
    // Where that would pass the budget it stops rather than spill to a file it has none of.
    cinfo_.mem->max_memory_to_use = static_cast<long>(kDecoderBytes);
    jpeg_read_header(&cinfo_, TRUE);
    if (const std::error_code ec = image::CheckSize(cinfo_.image_width, cinfo_.image_height)) {
      return ec;
    }
    if (jpeg_has_multiple_scans(&cinfo_)) {
      if (const std::error_code ec = image::CheckHeld(image::Format::kJpeg, {HeldCoefficients()}))
        return ec;
    }
    cmyk_ = cinfo_.jpeg_color_space == JCS_CMYK || cinfo_.jpeg_color_space == JCS_YCCK;
    cinfo_.out_color_space = cmyk_ ? JCS_CMYK : JCS_RGB;
    // Photoshop writes CMYK inverted, and marks its files.
    inverted_ = cinfo_.saw_Adobe_marker;
    jpeg_start_decompress(&cinfo_);
    if (cmyk_) line_.resize(std::size_t{4} * cinfo_.output_width);
    return Checked();
  }

  std::error_code NextRow(std::uint8_t* rgb) override {
    if (failed_ || cinfo_.output_scanline >= cinfo_.output_height) {
      return std::make_error_code(std::errc::result_out_of_range);
    }
    failed_ = true;
    if (setjmp(err_.jump)) return Failure(err_, Refusal(err_));
    JSAMPROW row = cmyk_ ? line_.data() : rgb;
    jpeg_read_scanlines(&cinfo_, &row, 1);
    if (cmyk_) FromCmyk(rgb);
    if (const std::error_code ec = Checked()) return ec;
    failed_ = false;
    return {};
  }

 private:
  // Every coefficient of every component, two bytes each, in whole blocks of whole MCUs.
  std::uint64_t HeldCoefficients() const {
    std::uint64_t bytes = 0;
    for (int i = 0; i < cinfo_.num_components; ++i) {
      const jpeg_component_info& c = cinfo_.comp_info[i];
      const auto up = [](std::uint64_t n, std::uint64_t step) {
        return (n + step - 1) / step * step;
      };
      bytes += SizeProduct({up(c.width_in_blocks, c.h_samp_factor),
                            up(c.height_in_blocks, c.v_samp_factor), DCTSIZE2, sizeof(JCOEF)});
    }
    return bytes;
  }

  std::error_code Checked() const {
    return err_.damaged ? MakeError(ImageError::kDamaged) : std::error_code();
  }

  void FromCmyk(std::uint8_t* rgb) const {
    for (std::size_t x = 0; x < cinfo_.output_width; ++x) {
      const std::uint8_t* p = &line_[4 * x];
      for (int c = 0; c < 3; ++c) {
        const unsigned ink = inverted_ ? p[c] : 255 - p[c];
        const unsigned black = inverted_ ? p[3] : 255 - p[3];
        rgb[3 * x + c] = static_cast<std::uint8_t>((ink * black + 127) / 255);
      }
    }
  }

  std::FILE* file_;
  jpeg_decompress_struct cinfo_{};
  ErrorManager err_;
  bool created_ = false;
  bool cmyk_ = false;
  bool inverted_ = false;
  bool failed_ = false;
  std::vector<std::uint8_t> line_;
};

// The compressor and its output, released however the encoding ends.
struct Encoder {
  jpeg_compress_struct cinfo{};
  ErrorManager err;
  bool created = false;
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  ~Encoder() {
    if (created) jpeg_destroy_compress(&cinfo);
    std::free(buffer);
  }
};

std::error_code Encode(Encoder& e, const std::uint8_t* rgb, std::uint32_t width,
                       std::uint32_t height, int quality) {
  e.cinfo.err = Quiet(e.err);
  if (setjmp(e.err.jump)) return Failure(e.err, std::make_error_code(std::errc::invalid_argument));
  jpeg_create_compress(&e.cinfo);
  e.created = true;
  jpeg_mem_dest(&e.cinfo, &e.buffer, &e.size);
  e.cinfo.image_width = width;
  e.cinfo.image_height = height;
  e.cinfo.input_components = 3;
  e.cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&e.cinfo);  // baseline, Huffman tables of the standard, 4:2:0
  jpeg_set_quality(&e.cinfo, quality, TRUE);
  jpeg_start_compress(&e.cinfo, TRUE);
  const std::size_t stride = std::size_t{3} * width;
  while (e.cinfo.next_scanline < height) {
    JSAMPROW row = const_cast<std::uint8_t*>(rgb + e.cinfo.next_scanline * stride);
    jpeg_write_scanlines(&e.cinfo, &row, 1);
  }
  jpeg_finish_compress(&e.cinfo);
  return {};
}

}  // namespace

namespace image {

std::unique_ptr<ImageRows> OpenJpegRows(std::FILE* file, std::error_code& ec) {
  auto rows = std::make_unique<JpegRows>(file);
  if ((ec = rows->Start())) return nullptr;
  return rows;
}

}  // namespace image

std::error_code EncodeBaselineJpeg(const std::uint8_t* rgb, std::uint32_t width,
                                   std::uint32_t height, int quality, std::string& jpeg) {
  if (width == 0 || height == 0 || quality < 1 || quality > 100) {
    return std::make_error_code(std::errc::invalid_argument);
  }
  if (width > JPEG_MAX_DIMENSION || height > JPEG_MAX_DIMENSION)
    return MakeError(ImageError::kTooLarge);
  Encoder e;
  if (const std::error_code ec = Encode(e, rgb, width, height, quality)) return ec;
  jpeg.assign(reinterpret_cast<const char*>(e.buffer), e.size);
  return {};
}

}  // namespace kal2map
