// The texts the form shows beside its controls' own captions. UTF-8, like every user text in
// the core.
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "control/batch.h"

namespace kal2map::ui {

inline constexpr std::string_view kCaption = "Tivara.kal  -->  Ozi.map   (by Vemto)";

// The system menu entry that shows and hides the image-extension choice.
inline constexpr std::string_view kExtChoiceMenuText = "Bitmap-Endung \xC3\xA4ndern...";

// System menu entries: the folder dialog, and the choices that are off at start.
inline constexpr std::string_view kChooseFolderMenuText = "Ordner w\xC3\xA4hlen...";
inline constexpr std::string_view kSubfoldersMenuText = "Unterordner einbeziehen";
inline constexpr std::string_view kKmzMenuText = "Garmin-Karten (KMZ) erstellen";
inline constexpr std::string_view kFrameMenuText = "Kartenrand abschneiden";
inline constexpr std::string_view kOverviewMenuText =
    "\xC3\x9C"
    "bersicht aller Bl\xC3\xA4tter (GeoJSON)";
inline constexpr std::string_view kMbtilesMenuText = "Handy-Karte aller Bl\xC3\xA4tter (MBTiles)";
inline constexpr std::string_view kKmzAllMenuText = "Garmin-Karte aller Bl\xC3\xA4tter (KMZ)";
inline constexpr std::string_view kCompleteMapsMenuText =
    "Vollst\xC3\xA4ndige map-Dateien (Kartenrand, Bildgr\xC3\xB6\xC3\x9F"
    "e)";

// The message line from "Konvertieren" until the first file is done.
inline constexpr std::string_view kSearchingText = "Suche kal-Dateien \xE2\x80\xA6";

// The three steps for `Label1`, separated by two carriage returns each (no line feeds: the
// label breaks lines at CR alone).
std::string InstructionText();

// `BitmapExt` for the text of the option button that was switched on.
std::string ExtensionForOption(std::string_view option_text);

// At most this many failures, warnings or refused paths are listed one by one, so the box
// still fits on the screen.
inline constexpr std::size_t kMaxListedFailures = 15;

// Text of the warning box after a run with failures or warnings: the failures first, each
// file with the system's reason, then the warnings, each "<file>: <text>".
std::string ReportMessage(const RunReport& report);

// Text of the box that names the paths a drop or the command line brought that are neither a
// folder nor a calibration file.
std::string RefusedMessage(const std::vector<std::filesystem::path>& refused);

}  // namespace kal2map::ui
