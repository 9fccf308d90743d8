#include "cli/progress.h"

#include <algorithm>
#include <vector>

#include "control/run_texts.h"

namespace kal2map {
namespace {

// One character of the path as the terminal shows it.
struct Glyph {
  std::string_view bytes;
  int width;  // columns: 0 for combining marks, 2 for East Asian wide characters
};

bool InRange(char32_t c, char32_t first, char32_t last) { return c >= first && c <= last; }

int Width(char32_t c) {
  if (IsCombining(c)) return 0;
  if (InRange(c, 0x1100, 0x115F) || InRange(c, 0x2E80, 0x303E) || InRange(c, 0x3041, 0x4DBF) ||
      InRange(c, 0x4E00, 0xA4CF) || InRange(c, 0xAC00, 0xD7A3) || InRange(c, 0xF900, 0xFAFF) ||
      InRange(c, 0xFE30, 0xFE4F) || InRange(c, 0xFF00, 0xFF60) || InRange(c, 0xFFE0, 0xFFE6) ||
      InRange(c, 0x1F300, 0x1F64F) || InRange(c, 0x1F900, 0x1F9FF) ||
      InRange(c, 0x20000, 0x3FFFD)) {
    return 2;
  }
  return 1;
}

// Splits UTF-8 into glyphs. Whatever a terminal might take as a command (C0 and C1 controls,
// DEL, bytes that are no UTF-8, which a Latin-1 terminal would read as C1) becomes "?".
std::vector<Glyph> Glyphs(std::string_view text) {
  std::vector<Glyph> glyphs;
  std::size_t i = 0;
  while (i < text.size()) {
    const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[i + k]); };
    const unsigned char lead = byte(0);
    std::size_t length = 1;
    char32_t c = lead;
    unsigned char low = 0x80, high = 0xBF;  // the allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
      c = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      c = lead & 0x0F;
      if (lead == 0xE0) low = 0xA0;   // overlong
      if (lead == 0xED) high = 0x9F;  // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      c = lead & 0x07;
      if (lead == 0xF0) low = 0x90;   // overlong
      if (lead == 0xF4) high = 0x8F;  // beyond U+10FFFF
    } else if (lead >= 0x80) {
      length = 0;
    }
    for (std::size_t k = 1; k < length; ++k) {
      const unsigned char next = i + k < text.size() ? byte(k) : 0;
      const bool fits = k == 1 ? next >= low && next <= high : next >= 0x80 && next <= 0xBF;
      if (!fits) {
        length = 0;
        break;
      }
      c = (c << 6) | (next & 0x3F);
    }
    if (length == 0 || c < 0x20 || InRange(c, 0x7F, 0x9F)) {
      glyphs.push_back({"?", 1});
      i += length == 0 ? 1 : length;
      continue;
    }
    glyphs.push_back({text.substr(i, length), Width(c)});
    i += length;
  }
  return glyphs;
}

}  // namespace

bool ProgressPacer::Due(Clock::time_point now) {
  if (now - start_ <= kQuietStart) return false;
  if (last_ && now - *last_ < kInterval) return false;
  last_ = now;
  return true;
}

std::string TerminalProgressLine(std::size_t done, std::size_t total, std::string_view path_utf8,
                                 std::size_t columns) {
  const std::size_t room = (columns == 0 ? 80 : columns) - 1;
  std::string shown;
  for (const Glyph& g : Glyphs(path_utf8)) shown += g.bytes;
  const auto width = [](std::string_view text) {
    std::size_t columns = 0;
    for (const Glyph& g : Glyphs(text)) columns += static_cast<std::size_t>(g.width);
    return columns;
  };
  std::string text =
      ProgressText(done, total, shown, [&](std::string_view line) { return width(line) <= room; });
  // Not even the count fits: the line ends where the terminal would wrap it.
  if (width(text) > room) text = text.substr(0, std::min(room, text.find(':') + 1));
  return text;
}

}  // namespace kal2map
