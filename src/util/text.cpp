#include "util/text.h"

namespace kal2map {
namespace {

// Code points of the bytes 0x80..0x9F in Windows-1252; 0 where the code page has none.
constexpr char16_t kHigh[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

}  // namespace

char32_t FromWindows1252(unsigned char byte) {
  if (byte < 0x80 || byte >= 0xA0) return byte;
  return kHigh[byte - 0x80] != 0 ? kHigh[byte - 0x80] : 0xFFFD;
}

std::string LowerAnsi(std::string_view ansi) {
  std::string lower(ansi);
  for (char& c : lower) {
    const auto byte = static_cast<unsigned char>(c);
    const char32_t folded = LowerWindows1252(FromWindows1252(byte));
    if (folded == FromWindows1252(byte)) continue;
    // The lower case of every capital the code page holds is in it too.
    for (unsigned b = 0x80; b < 0x100 && folded > 0xFF; ++b) {
      if (FromWindows1252(static_cast<unsigned char>(b)) == folded) {
        c = static_cast<char>(b);
        break;
      }
    }
    if (folded <= 0xFF) c = static_cast<char>(folded);
  }
  return lower;
}

std::string Utf8FromAnsi(std::string_view ansi) {
  std::string out;
  out.reserve(ansi.size());
  for (char byte : ansi) AppendUtf8(out, FromWindows1252(static_cast<unsigned char>(byte)));
  return out;
}

namespace {

// The length of the well-formed UTF-8 sequence at the start of `s` (no overlong forms, no
// surrogates, nothing beyond U+10FFFF), or 0.
std::size_t Utf8Length(std::string_view s) {
  const auto at = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  const unsigned char lead = at(0);
  std::size_t n = 0;
  unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) n = 2;
  if (lead >= 0xE0 && lead <= 0xEF) n = 3;
  if (lead >= 0xF0 && lead <= 0xF4) n = 4;
  if (lead == 0xE0) low = 0xA0;
  if (lead == 0xED) high = 0x9F;
  if (lead == 0xF0) low = 0x90;
  if (lead == 0xF4) high = 0x8F;
  if (n == 0 || s.size() < n || at(1) < low || at(1) > high) return 0;
  for (std::size_t i = 2; i < n; ++i) {
    if ((at(i) & 0xC0) != 0x80) return 0;
  }
  return n;
}

}  // namespace

std::string Utf8FromUtf8OrAnsi(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  while (!bytes.empty()) {
    const std::size_t n = Utf8Length(bytes);
    if (n > 0) {
      out.append(bytes.substr(0, n));
    } else {
      AppendUtf8(out, FromWindows1252(static_cast<unsigned char>(bytes[0])));
    }
    bytes.remove_prefix(n > 0 ? n : 1);
  }
  return out;
}

std::string_view TrimBlanks(std::string_view text) {
  std::size_t first = text.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  std::size_t last = text.find_last_not_of(' ');
  return text.substr(first, last - first + 1);
}

}  // namespace kal2map
