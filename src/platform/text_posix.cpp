#include <cerrno>
#include <cstring>

#include "platform/errno_text.h"
#include "platform/text.h"

namespace kal2map {

std::string PathText(const std::filesystem::path& path) { return path.string(); }

std::string ErrorText(const std::error_code& ec) {
  if (ec.category() == std::generic_category() || ec.category() == std::system_category()) {
    if (const char* text = GermanErrnoText(ec.value())) return text;
    return std::strerror(ec.value());
  }
  return ec.message();
}

void PrintLine(std::FILE* stream, std::string_view utf8) {
  std::fwrite(utf8.data(), 1, utf8.size(), stream);
  std::fputc('\n', stream);
}

}  // namespace kal2map
