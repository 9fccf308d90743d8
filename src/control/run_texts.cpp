#include "control/run_texts.h"

#include "platform/text.h"

namespace kal2map {
namespace {

constexpr std::string_view kEllipsis = "\xE2\x80\xA6";

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

// Whether UTF-8 text may be cut before position `i` with "…" in front: not inside a
// character, and not before a combining mark.
bool MayFollowEllipsis(std::string_view text, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[i + k]); };
  if (i >= text.size()) return true;
  if ((byte(0) & 0xC0) == 0x80) return false;
  char32_t c = byte(0);
  if (byte(0) >= 0xC0 && byte(0) < 0xE0 && i + 1 < text.size()) {
    c = ((c & 0x1F) << 6) | (byte(1) & 0x3F);
  } else if (byte(0) >= 0xE0 && byte(0) < 0xF0 && i + 2 < text.size()) {
    c = ((c & 0x0F) << 12) | ((byte(1) & 0x3F) << 6) | (byte(2) & 0x3F);
  }
  return !IsCombining(c);
}

bool InRange(char32_t c, char32_t first, char32_t last) { return c >= first && c <= last; }

}  // namespace

std::string WarningLine(const FileWarning& warning) {
  return warning.kal.empty() ? warning.text : PathText(warning.kal) + ": " + warning.text;
}

std::string CountText(std::size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

bool IsCombining(char32_t c) {
  return InRange(c, 0x0300, 0x036F) || InRange(c, 0x1AB0, 0x1AFF) || InRange(c, 0x1DC0, 0x1DFF) ||
         InRange(c, 0x200B, 0x200F) || InRange(c, 0x20D0, 0x20FF) || InRange(c, 0xFE20, 0xFE2F);
}

std::string ProgressText(std::size_t done, std::size_t total, std::string_view map,
                         const std::function<bool(std::string_view)>& fits) {
  const std::string prefix = std::to_string(done) + " von " + std::to_string(total) + ": ";
  std::string line = prefix + std::string(map);
  if (fits(line)) return line;
  // Whole folders first: "…/blatt.map" tells more than "…tt.map".
  std::size_t cut = 0;
  for (std::size_t i = 1; i < map.size(); ++i) {
    if (!IsSeparator(map[i])) continue;
    line = prefix + std::string(kEllipsis) + std::string(map.substr(i));
    if (fits(line)) return line;
    cut = i + 1;
  }
  for (std::size_t i = cut + 1; i < map.size(); ++i) {
    if (!MayFollowEllipsis(map, i)) continue;
    line = prefix + std::string(kEllipsis) + std::string(map.substr(i));
    if (fits(line)) return line;
  }
  return prefix + std::string(kEllipsis);
}

}  // namespace kal2map
