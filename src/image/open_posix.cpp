#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "image/codec.h"

namespace kal2map {
namespace {

std::error_code Errno() { return {errno, std::generic_category()}; }

// BMP rows are read by position, since most BMPs are stored bottom-up.
class FileReader {
 public:
  explicit FileReader(std::FILE* file) : file_(file) {}
  FileReader(const FileReader&) = delete;
  FileReader& operator=(const FileReader&) = delete;
  ~FileReader() { std::fclose(file_); }

  std::error_code ReadAt(std::uint64_t offset, std::uint8_t* out, std::size_t size) const {
    while (size > 0) {
      if (offset > static_cast<std::uint64_t>(INT64_MAX - size)) {
        return MakeError(ImageError::kDamaged);
      }
      const ssize_t n = ::pread(fileno(file_), out, size, static_cast<off_t>(offset));
      if (n < 0 && errno == EINTR) continue;
      if (n < 0) return Errno();
      if (n == 0) return MakeError(ImageError::kDamaged);
      out += n, offset += n, size -= n;
    }
    return {};
  }

 private:
  std::FILE* file_;
};

}  // namespace

std::unique_ptr<ImageRows> OpenImageRows(const std::filesystem::path& path, std::error_code& ec) {
  std::FILE* file = std::fopen(path.c_str(), "rbe");
  if (file == nullptr) {
    ec = Errno();
    return nullptr;
  }
  std::uint8_t head[8];
  const std::size_t got = std::fread(head, 1, sizeof head, file);
  if (std::ferror(file) || std::fseek(file, 0, SEEK_SET) != 0) {
    ec = Errno();
    std::fclose(file);
    return nullptr;
  }
  ec.clear();
  switch (image::DetectFormat(head, got)) {
    case image::Format::kBmp: {
      auto reader = std::make_shared<FileReader>(file);
      return image::OpenBmpRows(
          [reader](std::uint64_t offset, std::uint8_t* out, std::size_t size) {
            return reader->ReadAt(offset, out, size);
          },
          ec);
    }
    case image::Format::kJpeg:
      return image::OpenJpegRows(file, ec);
    case image::Format::kPng:
      return image::OpenPngRows(file, ec);
    case image::Format::kGif:
      return image::OpenGifRows(file, ec);
    case image::Format::kTiff:
      return image::OpenTiffRows(file, ec);
    case image::Format::kUnknown:
      break;
  }
  std::fclose(file);
  ec = MakeError(ImageError::kUnknownFormat);
  return nullptr;
}

}  // namespace kal2map
