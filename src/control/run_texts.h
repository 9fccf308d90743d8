// Texts of a run that both programs show, so that the window and the command line word and
// shorten them alike.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "control/batch.h"

namespace kal2map {

// "<calibration file>: <text>", or the text alone for a warning about the whole run.
std::string WarningLine(const FileWarning& warning);

// "1 map-Datei", "2 map-Dateien".
std::string CountText(std::size_t n, const char* one, const char* many);

// Whether a character starts no character of its own but joins the one before it.
bool IsCombining(char32_t c);

// "<done> von <total>: <map>" while a run goes on. While `fits` refuses the line, the map's
// path (UTF-8) loses whole folders from the left, then characters, behind a leading "…", as
// its end names the sheet; never is a character cut, nor does a combining mark follow "…".
// When not even "…" fits, the prefix and "…".
std::string ProgressText(std::size_t done, std::size_t total, std::string_view map,
                         const std::function<bool(std::string_view)>& fits);

}  // namespace kal2map
