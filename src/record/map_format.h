// The fixed texts of a map file. Every map holds exactly kLineCount lines, each ended by CR LF:
// the header, the image's name and reference, six fixed lines, kMaxPoints point lines, and the
// four closing lines. Readers match several of these texts byte for byte, odd blanks and the
// "exist2" included, so none of them may change.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>

#include "record/state.h"

namespace kal2map::map_format {

inline constexpr int kLineCount = 43;
inline constexpr std::string_view kLineEnd = "\r\n";

inline constexpr std::string_view kHeaderLine = "OziExplorer Map Data File Version 2.2";
// Lines 2 and 3 carry the image's name and reference; then these six.
inline constexpr std::array<std::string_view, 6> kLinesAfterImage = {
    "1 ,Map Code,",
    "WGS 84,WGS 84,   0.0000,   0.0000,WGS 84",  // the datum line
    "Reserved 1",
    "Reserved 2",
    "Magnetic Variation,,,E",
    "Map Projection,Latitude/Longitude,PolyCal,No,AutoCalOnly,No,BSBUseWPX,No",
};
inline constexpr int kFirstPointLine = 10;
// After the point lines, up to line kLineCount.
inline constexpr std::array<std::string_view, 4> kClosingLines = {
    "Projection Setup,,,,,,,,,,",
    "Map Feature = MF ; Map Comment = MC     These follow if they exist2",
    "Track File = TF      These follow if they exist2",
    "Moving Map Parameters = MM?    These follow if they exist2",
};

// A point line is "Point", the two-digit number, then the cells between these pieces.
inline constexpr std::string_view kPointPrefix = "Point";
inline constexpr std::string_view kBeforePixelX = ",xy, ";
inline constexpr std::string_view kBetweenCells = ", ";
inline constexpr std::string_view kBeforeLatitude = ",in, deg, ";
inline constexpr std::string_view kNorthBeforeLongitude = ",N, ";
inline constexpr std::string_view kSouthBeforeLongitude = ",S, ";
inline constexpr std::string_view kEastTail = ",E, grid,   ,           ,           ,N";
inline constexpr std::string_view kWestTail = ",W, grid,   ,           ,           ,N";
// Where readers find a point line's values among its comma-separated fields.
inline constexpr std::size_t kPointFieldCount = 17;
inline constexpr std::size_t kPixelXField = 2;
inline constexpr std::size_t kPixelYField = 3;
inline constexpr std::size_t kLatDegField = 6;
inline constexpr std::size_t kLatMinField = 7;
inline constexpr std::size_t kLatHemisphereField = 8;
inline constexpr std::size_t kLonDegField = 9;
inline constexpr std::size_t kLonMinField = 10;
inline constexpr std::size_t kLonHemisphereField = 11;
// Cells shorter than this get blanks in front; longer ones are never cut.
inline constexpr std::size_t kPixelWidth = 4;
inline constexpr std::size_t kDegreeWidth = 3;

namespace detail {

inline constexpr std::size_t kEmptyPointLineSize = 98;
using EmptyPointLineText = std::array<char, kEmptyPointLineSize>;

// Points 1 and 2 keep their hemisphere letters even when empty: readers need two complete
// point lines to open a map. The others leave those three fields empty.
constexpr EmptyPointLineText MakeEmptyPointLine(int n) {
  const bool lettered = n <= 2;
  const std::string_view parts[] = {",xy,     ,     ,in, deg,    ,        ,",
                                    lettered ? "N" : "",
                                    ",    ,        ,",
                                    lettered ? "E" : "",
                                    ", grid,   ,           ,           ,",
                                    lettered ? "N" : ""};
  EmptyPointLineText text{};
  std::size_t at = 0;
  for (char c : kPointPrefix) text[at++] = c;
  text[at++] = static_cast<char>('0' + n / 10);
  text[at++] = static_cast<char>('0' + n % 10);
  for (std::string_view part : parts) {
    for (char c : part) text[at++] = c;
  }
  return text;
}

constexpr std::array<EmptyPointLineText, kMaxPoints + 1> MakeEmptyPointLines() {
  std::array<EmptyPointLineText, kMaxPoints + 1> lines{};
  for (int n = 1; n <= kMaxPoints; ++n) lines[n] = MakeEmptyPointLine(n);
  return lines;
}

inline constexpr auto kEmptyPointLines = MakeEmptyPointLines();

}  // namespace detail

// The point line of row n (1..kMaxPoints) when the file has fewer than n points.
constexpr std::string_view EmptyPointLine(int n) {
  const auto& text = detail::kEmptyPointLines[static_cast<std::size_t>(n)];
  return {text.data(), n <= 2 ? detail::kEmptyPointLineSize : detail::kEmptyPointLineSize - 3};
}

}  // namespace kal2map::map_format
