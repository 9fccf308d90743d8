#include <io.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "platform/errno_text.h"
#include "platform/text.h"
#include "platform/utf16.h"
#include "platform/win32.h"

namespace kal2map {
namespace {

// The system's text in the user's language, which is what a German Windows user reads.
std::string SystemText(DWORD code) {
  wchar_t* buffer = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
  std::wstring text(buffer != nullptr ? buffer : L"", length);
  ::LocalFree(buffer);
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ' ||
                           text.back() == L'\t' || text.back() == L'.')) {
    text.pop_back();
  }
  if (text.empty()) return "Systemfehler " + std::to_string(code);
  return ToUtf8(text);
}

}  // namespace

std::string PathText(const std::filesystem::path& path) {
  return ToUtf8(win32::WithoutExtendedPrefix(path.native()));
}

std::string ErrorText(const std::error_code& ec) {
  if (ec.category() == std::system_category()) return SystemText(static_cast<DWORD>(ec.value()));
  if (ec.category() == std::generic_category()) {
    if (const char* text = GermanErrnoText(ec.value())) return text;
    return std::strerror(ec.value());
  }
  return ec.message();
}

// A console shows UTF-16 whatever its code page. Anything else (a file, a pipe) gets UTF-8 and
// a bare LF, bypassing the C runtime's text mode, so output is the same bytes as on other
// systems and scripts need not care where they run.
void PrintLine(std::FILE* stream, std::string_view utf8) {
  std::fflush(stream);
  const HANDLE handle = reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(stream)));
  if (handle == INVALID_HANDLE_VALUE || handle == nullptr) return;
  DWORD mode = 0;
  if (::GetConsoleMode(handle, &mode) != 0) {
    std::wstring wide = ToWide(utf8) + L"\r\n";
    std::wstring_view rest = wide;
    while (!rest.empty()) {
      DWORD written = 0;
      if (!::WriteConsoleW(handle, rest.data(), static_cast<DWORD>(rest.size()), &written,
                           nullptr) ||
          written == 0) {
        return;
      }
      rest.remove_prefix(written);
    }
    return;
  }
  std::string line(utf8);
  line += '\n';
  // A closed pipe: nobody reads the message any more.
  win32::WriteAll(handle, line);
}

}  // namespace kal2map
