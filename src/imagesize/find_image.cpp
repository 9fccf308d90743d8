#include "imagesize/find_image.h"

#include "platform/files.h"
#include "util/text.h"

namespace kal2map {
namespace {

std::filesystem::path PathFromAnsi(std::string_view ansi) {
  const std::string utf8 = Utf8FromAnsi(ansi);
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

#ifndef _WIN32
// The names that calibration files hold, folded as Windows folds them, compared on UTF-8 text.
std::u32string Folded(std::string_view utf8) {
  std::u32string out;
  for (std::size_t i = 0; i < utf8.size();) {
    const auto b = static_cast<unsigned char>(utf8[i]);
    char32_t c = b;
    std::size_t n = 1;
    if (b >= 0xC0 && b < 0xE0 && i + 1 < utf8.size()) {
      c = ((b & 0x1F) << 6) | (utf8[i + 1] & 0x3F);
      n = 2;
    }
    out += LowerWindows1252(c);
    i += n;
  }
  return out;
}
#endif

class FileSource final : public ByteSource {
 public:
  explicit FileSource(InputFile& file) : file_(file) {}
  std::int64_t ReadAt(std::uint64_t offset, char* buffer, std::size_t size) override {
    return file_.ReadAt(offset, buffer, size, error);
  }
  std::error_code error;

 private:
  InputFile& file_;
};

}  // namespace

std::optional<std::filesystem::path> ImageFinder::Find(const std::filesystem::path& map_folder,
                                                       std::string_view reference) {
  if (reference.empty()) return std::nullopt;
  std::string written(reference);
#ifndef _WIN32
  for (char& c : written) {
    if (c == '\\') c = '/';
  }
#endif
  const std::filesystem::path as_written = PathFromAnsi(written);
  const std::filesystem::path candidate =
      as_written.is_absolute() ? as_written : map_folder / as_written;
  if (IsRegularFile(candidate)) return candidate;

  const std::size_t slash = reference.find_last_of("\\/");
  const std::string_view name =
      slash == std::string_view::npos ? reference : reference.substr(slash + 1);
  if (name.empty()) return std::nullopt;
  const std::filesystem::path beside = map_folder / PathFromAnsi(name);
  if (IsRegularFile(beside)) return beside;
#ifndef _WIN32
  auto listing = listings_.find(map_folder);
  if (listing == listings_.end()) {
    std::error_code ec;
    auto any = [](NativeName) { return true; };
    std::map<std::u32string, std::filesystem::path> by_folded_name;
    for (auto& file : ListFolder(map_folder, any, ec).files) {
      by_folded_name.emplace(Folded(file.native()), std::move(file));
    }
    listing = listings_.emplace(map_folder, std::move(by_folded_name)).first;
  }
  const auto found = listing->second.find(Folded(Utf8FromAnsi(name)));
  if (found != listing->second.end()) return map_folder / found->second;
#endif
  return std::nullopt;
}

ImageInfo ReadImageFileSize(const std::filesystem::path& path, std::error_code& ec) {
  InputFile file;
  ec = file.Open(path);
  if (ec) return {ImageFormat::kUnknown, ImageSizeStatus::kReadError, {}};
  FileSource source(file);
  ImageInfo info = ReadImageSize(source);
  ec = source.error;
  return info;
}

}  // namespace kal2map
