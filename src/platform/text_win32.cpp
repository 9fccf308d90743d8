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

HANDLE HandleOf(std::FILE* stream) {
  return reinterpret_cast<HANDLE>(::_get_osfhandle(::_fileno(stream)));
}

bool IsConsole(HANDLE handle) {
  DWORD mode = 0;
  return handle != INVALID_HANDLE_VALUE && handle != nullptr && ::GetConsoleMode(handle, &mode);
}

// Writes all of `text` to the console `handle`; false when the console takes no more.
bool WriteConsoleText(HANDLE handle, std::wstring_view text) {
  while (!text.empty()) {
    DWORD written = 0;
    if (!::WriteConsoleW(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
        written == 0) {
      return false;
    }
    text.remove_prefix(written);
  }
  return true;
}

}  // namespace

std::string PathText(const std::filesystem::path& path) {
  return ToUtf8(win32::WithoutExtendedPrefix(path.native()));
}

std::string LibraryFileName(const std::filesystem::path& path) { return ToUtf8(path.native()); }

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
  const HANDLE handle = HandleOf(stream);
  if (handle == INVALID_HANDLE_VALUE || handle == nullptr) return;
  if (IsConsole(handle)) {
    WriteConsoleText(handle, ToWide(utf8) + L"\r\n");
    return;
  }
  std::string line(utf8);
  line += '\n';
  // A closed pipe: nobody reads the message any more.
  win32::WriteAll(handle, line);
}

bool IsTerminal(std::FILE* stream) { return IsConsole(HandleOf(stream)); }

std::size_t TerminalColumns(std::FILE* stream) {
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (!::GetConsoleScreenBufferInfo(HandleOf(stream), &info) || info.dwSize.X <= 0) return 0;
  return static_cast<std::size_t>(info.dwSize.X);
}

// Through the console's own functions rather than escape sequences, which consoles before
// Windows 10 show as text: the cursor to the row's start, the text, blanks to the row's end.
void RewriteLine(std::FILE* stream, std::string_view utf8) {
  std::fflush(stream);
  const HANDLE handle = HandleOf(stream);
  CONSOLE_SCREEN_BUFFER_INFO before;
  if (!::GetConsoleScreenBufferInfo(handle, &before)) return;
  const COORD start{0, before.dwCursorPosition.Y};
  if (!::SetConsoleCursorPosition(handle, start) || !WriteConsoleText(handle, ToWide(utf8))) {
    return;
  }
  CONSOLE_SCREEN_BUFFER_INFO after;
  if (!::GetConsoleScreenBufferInfo(handle, &after) || after.dwCursorPosition.Y != start.Y) return;
  const DWORD rest = static_cast<DWORD>(after.dwSize.X - after.dwCursorPosition.X);
  DWORD done = 0;
  ::FillConsoleOutputCharacterW(handle, L' ', rest, after.dwCursorPosition, &done);
  ::FillConsoleOutputAttribute(handle, before.wAttributes, rest, after.dwCursorPosition, &done);
}

}  // namespace kal2map
