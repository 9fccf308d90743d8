// Small helpers over the bytes of calibration and map files (Windows-1252) and the UTF-8 the
// user reads. Letter case folds by one of two rules, and each caller names the one it means.
#pragma once

#include <string>
#include <string_view>

namespace kal2map {

// The file system's rule for the names this program makes and matches (".kal", ".map"): only
// ASCII letters fold, so that no locale can make two names one.
template <class Char>
constexpr Char LowerAscii(Char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<Char>(c + ('a' - 'A')) : c;
}

// Windows-1252's rule, as Windows folds the image names that calibration files hold: A-Z, the
// accented capitals and Š Œ Ž Ÿ, given as code points; every other one stays (so does ß).
constexpr char32_t LowerWindows1252(char32_t c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) return c + 0x20;
  if (c == 0x160 || c == 0x152 || c == 0x17D) return c + 1;  // Š Œ Ž
  if (c == 0x178) return 0xFF;                               // Ÿ
  return c;
}

// The code point of a Windows-1252 byte; U+FFFD for the five bytes the code page leaves empty.
char32_t FromWindows1252(unsigned char byte);

// Windows-1252 text in lower case, by LowerWindows1252; still Windows-1252.
std::string LowerAnsi(std::string_view ansi);

// Windows-1252 bytes as UTF-8.
std::string Utf8FromAnsi(std::string_view ansi);

// `bytes` as well-formed UTF-8: each UTF-8 sequence as it is, every other byte read as
// Windows-1252, which is what a name from a system that keeps bytes most likely was.
std::string Utf8FromUtf8OrAnsi(std::string_view bytes);

// `text` without leading and trailing spaces; tabs and other characters stay.
std::string_view TrimBlanks(std::string_view text);

}  // namespace kal2map
