#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/errno_text.h"
#include "platform/text.h"

namespace kal2map {

std::string PathText(const std::filesystem::path& path) { return path.string(); }

std::string LibraryFileName(const std::filesystem::path& path) { return path.native(); }

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

bool IsTerminal(std::FILE* stream) {
  if (::isatty(::fileno(stream)) == 0) return false;
  const char* term = std::getenv("TERM");
  return term == nullptr || std::strcmp(term, "dumb") != 0;
}

std::size_t TerminalColumns(std::FILE* stream) {
  winsize size{};
  if (::ioctl(::fileno(stream), TIOCGWINSZ, &size) != 0) return 0;
  return size.ws_col;
}

// Back to the line's start, the text, then "erase to the end of the line" (VT100, which every
// terminal in use understands), in one write so that nothing can come between.
void RewriteLine(std::FILE* stream, std::string_view utf8) {
  std::string line = "\r";
  line += utf8;
  line += "\x1b[K";
  std::fflush(stream);
  std::fwrite(line.data(), 1, line.size(), stream);
  std::fflush(stream);
}

}  // namespace kal2map
