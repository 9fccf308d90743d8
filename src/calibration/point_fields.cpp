#include "calibration/point_fields.h"

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "util/text.h"

namespace kal2map {
namespace {

// Enough digits for a correctly rounded double; later digits only act as a sticky bit.
constexpr std::size_t kMaxFractionDigits = 800;

// Digits only, with an optional leading minus: the corners of printed sheets, e.g. "52".
bool IsWholeDegrees(std::string_view value) {
  if (!value.empty() && value.front() == '-') value.remove_prefix(1);
  return !value.empty() && value.find_first_not_of("0123456789") == std::string_view::npos;
}

void ParseDegrees(PointRow& row, std::string_view line, std::string_view keyword, Column deg,
                  Column min) {
  if (line.find(keyword) == std::string_view::npos) return;
  std::size_t eq = line.find('=');
  if (eq == std::string_view::npos) return;
  std::string_view value = TrimBlanks(line.substr(eq + 1));
  std::size_t point = value.find('.');
  if (point == std::string_view::npos && IsWholeDegrees(value)) {
    // Read as if it ended in a point: an empty minutes field makes readers drop the point.
    row[deg] = value;
    row[min] = FractionToMinutes({});
    return;
  }
  if (point == std::string_view::npos || point == 0) {
    row[deg] = value;
    return;
  }
  row[min] = FractionToMinutes(value.substr(point + 1));
  row[deg] = value.substr(0, point);
}

void ParsePixel(PointRow& row, std::string_view line) {
  if (line.find("Pixel") == std::string_view::npos) return;
  std::size_t eq = line.find('=');
  if (eq != std::string_view::npos) row[PixelX] = TrimBlanks(line.substr(eq + 1));
  std::string& x = row[PixelX];
  std::size_t paren = x.find('(');
  if (paren == std::string::npos) return;
  x = std::string(TrimBlanks(std::string_view(x).substr(paren + 1)));
  if (!x.empty() && x.back() == ')') x.pop_back();
  std::size_t comma = x.find(',');
  if (comma == std::string::npos || comma == 0) return;
  row[PixelY] = x.substr(comma + 1);
  x.resize(comma);
}

// One blank and the decimal text of 0 <= m < 1000 with at most 15 significant digits, never in
// exponent form. Built in place: this runs twice for every calibration point.
std::string MinutesText(double m) {
  if (m == 0) return " 0";
  char sci[32];  // d.dddddddddddddde±XX
  const char* end = std::to_chars(sci, sci + sizeof sci, m, std::chars_format::scientific, 14).ptr;
  const char* e = std::find(static_cast<const char*>(sci), end, 'e');
  int exponent = 0;
  std::from_chars(e + (e[1] == '+' ? 2 : 1), end, exponent);
  char digits[16];
  std::size_t n = 0;
  digits[n++] = sci[0];
  for (const char* p = sci + 2; p < e; ++p) digits[n++] = *p;
  while (n > 1 && digits[n - 1] == '0') --n;

  std::string text = " ";
  if (exponent < 0) {
    text += "0.";
    text.append(static_cast<std::size_t>(-exponent - 1), '0');
    text.append(digits, n);
  } else {
    const std::size_t whole = static_cast<std::size_t>(exponent) + 1;
    if (n <= whole) {
      text.append(digits, n);
      text.append(whole - n, '0');
    } else {
      text.append(digits, whole);
      text += '.';
      text.append(digits + whole, n - whole);
    }
  }
  return text;
}

}  // namespace

std::string FractionToMinutes(std::string_view fraction) {
  // Reads "0." followed by the fraction as a plain decimal: blanks, tabs and line feeds are
  // skipped wherever they stand, and the first other non-digit ends the number.
  char number[kMaxFractionDigits + 3];
  std::size_t size = 0;
  number[size++] = '0';
  number[size++] = '.';
  bool truncated_nonzero = false;
  for (char c : fraction) {
    if (c == ' ' || c == '\t' || c == '\n') continue;
    if (c < '0' || c > '9') break;
    if (size < kMaxFractionDigits + 2) {
      number[size++] = c;
    } else if (c != '0') {
      truncated_nonzero = true;
    }
  }
  if (truncated_nonzero) number[size++] = '1';
  double x = 0;
  std::from_chars(number, number + size, x);
  return MinutesText(x * 60);
}

void ParsePointLine(State& state, std::string_view line) {
  if (state.PointCount < 1 || state.PointCount > kMaxPoints) return;
  PointRow& row = state.Points[state.PointCount];
  ParseDegrees(row, line, "Latitude", LatDeg, LatMin);
  ParseDegrees(row, line, "Longitude", LonDeg, LonMin);
  ParsePixel(row, line);
}

}  // namespace kal2map
