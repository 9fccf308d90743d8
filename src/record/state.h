// The one record that holds all working data of a conversion run. The program owns it and
// hands it by reference to every procedure, so each procedure can be tested on its own.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>

namespace kal2map {

// The point table has rows for this many calibration points; later sections are counted only.
inline constexpr std::int64_t kMaxPoints = 30;

// Columns of a point table row. Column 0 is never used, so the numbers match the map layout.
enum Column { PixelX = 1, PixelY, LatDeg, LatMin, LonDeg, LonMin };

using PointRow = std::array<std::string, 7>;

struct State {
  // Rows 1..kMaxPoints hold the current file's points as text; row 0 unused.
  std::array<PointRow, kMaxPoints + 1> Points;
  // Point sections seen in the current file; may exceed kMaxPoints, so every reader of the
  // table clamps it. 64 bits, so no file can make it overflow.
  std::int64_t PointCount = 0;
  // Image reference of the current file: bytes of the file (Windows-1252), never re-encoded.
  std::string BitmapName;
  // Chosen image extension such as ".png"; empty keeps the file's own.
  std::string BitmapExt;
  // Folder of the running program, always ending with a separator.
  std::filesystem::path AppFolder;
  // Folder whose calibration files are converted, ending with a separator.
  std::filesystem::path WorkFolder;
  bool ShowExtChoice = false;
  // Whether maps get the border, scale and image size lines after the fixed ones.
  bool CompleteMaps = false;
  // Whether each map gets a Garmin Custom Map (KMZ) beside it, of at most KmzTiles tiles drawn
  // in order KmzOrder.
  bool MakeKmz = false;
  int KmzTiles = 100;
  int KmzOrder = 50;
  // Whether complete maps and KMZ files show only the sheet within its printed frame, where the
  // points and the scan confirm one.
  bool FrameMaps = false;
  // Where the run's overview of all its sheets goes (GeoJSON); empty: none.
  std::filesystem::path OverviewPath;
  // Where the run's seamless map of all its sheets goes: for phone apps (MBTiles) and for a
  // Garmin (one KMZ of at most KmzTiles tiles); empty: none.
  std::filesystem::path MbtilesPath;
  std::filesystem::path KmzAllPath;
};

// Resets the record for a new process. `program_folder` is where the program runs from; a
// separator is appended when it has none at its end.
void InitState(State& state, const std::filesystem::path& program_folder);

// `folder` with exactly one trailing separator added when it lacks one.
std::filesystem::path WithTrailingSeparator(const std::filesystem::path& folder);

}  // namespace kal2map
