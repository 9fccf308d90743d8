#include "cli/options.h"

#include <optional>

#include "platform/text.h"

namespace kal2map {
namespace {

using String = std::filesystem::path::string_type;

bool Is(const std::filesystem::path& arg, const char* word) {
  return arg.native() == std::filesystem::path(word).native();
}

bool StartsWith(const String& text, const String& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

bool IsAsciiAlnum(String::value_type c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

// A decimal number of ASCII digits within low..high; empty for anything else.
std::optional<int> WholeNumber(const std::filesystem::path& arg, int low, int high) {
  const String& text = arg.native();
  if (text.empty() || text.size() > 4) return std::nullopt;
  int value = 0;
  for (auto c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<int>(c - '0');
  }
  if (value < low || value > high) return std::nullopt;
  return value;
}

Options UsageError(std::string message) {
  Options options;
  options.action = Options::Action::kUsageError;
  options.error = std::move(message);
  return options;
}

}  // namespace

const char* UsageText() {
  return "Aufruf: kal2map-cli [-r] [--complete] [--kmz [--kmz-tiles N] [--kmz-order N]] "
         "[--frame] [--overview DATEI] [--mbtiles DATEI] [--kmz-all DATEI] [--ext .EXT] [PFAD ...]";
}

const char* HelpText() {
  return "Wandelt Tivara-Kalibrierdateien (.kal) in OziExplorer-Kartendateien (.map) um.\n"
         "Converts Tivara calibration files (.kal) into OziExplorer map files (.map).\n"
         "\n"
         "PFAD ist ein Ordner (alle .kal-Dateien darin) oder eine .kal-Datei; ohne PFAD\n"
         "der aktuelle Ordner. Jede map-Datei entsteht neben ihrer kal-Datei.\n"
         "\n"
         "  -r, --recursive  auch alle Unterordner, jeden Ordner vor seinen Unterordnern,\n"
         "                   diese in Namensfolge; ohne Verknüpfungen, Einhängepunkte\n"
         "                   und versteckte Ordner\n"
         "  --complete       Vollständige map-Dateien: Kartenrand (MMPXY/MMPLL),\n"
         "                   Maßstab (MM1B) und Bildgröße (IWH) anhängen\n"
         "  --kmz            Garmin-Karte (KMZ) neben jede map-Datei schreiben: das Bild\n"
         "                   nordwärts ausgerichtet in JPEG-Kacheln\n"
         "  --kmz-tiles N    höchstens N Kacheln je Karte (1 bis 500, Vorgabe 100)\n"
         "  --kmz-order N    Zeichenreihenfolge der Kacheln (0 bis 99, Vorgabe 50)\n"
         "  --frame          Kartenrand abschneiden: liegen vier Punkte auf den Ecken des\n"
         "                   gedruckten Kartenrahmens und zeigt das Bild ihn als dunkle\n"
         "                   Linie, geben Kartenrand (--complete) und KMZ nur die Karte\n"
         "                   innerhalb des Rahmens wieder\n"
         "  --overview DATEI Übersicht aller Blätter als GeoJSON-Datei schreiben\n"
         "  --mbtiles DATEI  eine nahtlose Karte aller Blätter für Handy-Apps (MBTiles):\n"
         "                   jedes Blatt innerhalb seines Kartenrahmens, wo Blätter sich\n"
         "                   überlappen das feinere\n"
         "  --kmz-all DATEI  dieselbe Karte als eine Garmin-Karte (KMZ) mit höchstens\n"
         "                   --kmz-tiles Kacheln\n"
         "  --ext .EXT       Bild-Endung in der map-Datei ersetzen, z. B. --ext .png\n"
         "  -h, --help       diese Hilfe\n"
         "  --version        Version anzeigen\n"
         "  --               alle folgenden Wörter sind Pfade, auch wenn sie mit - beginnen\n"
         "\n"
         "Dauert ein Lauf länger als eine Sekunde, zeigt ein Terminal den Fortschritt.\n"
         "\n"
         "Rückgabewert: 0 alles umgewandelt, 1 mindestens eine Datei fehlgeschlagen,\n"
         "2 falscher Aufruf.";
}

bool IsValidExtension(const std::filesystem::path& ext) {
  const String& text = ext.native();
  if (text.size() < 2 || text.size() > 11 || text[0] != '.') return false;
  for (std::size_t i = 1; i < text.size(); ++i) {
    if (!IsAsciiAlnum(text[i])) return false;
  }
  return true;
}

Options ParseOptions(const std::vector<std::filesystem::path>& args) {
  Options options;
  const String ext_eq = std::filesystem::path("--ext=").native();
  bool only_paths = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::filesystem::path& arg = args[i];
    const String& text = arg.native();
    if (only_paths || text.empty() || text[0] != '-' || text.size() == 1) {
      options.paths.push_back(arg);
    } else if (Is(arg, "--")) {
      only_paths = true;
    } else if (Is(arg, "--help") || Is(arg, "-h")) {
      options.action = Options::Action::kHelp;
      return options;
    } else if (Is(arg, "--recursive") || Is(arg, "-r")) {
      options.recursive = true;
    } else if (Is(arg, "--complete")) {
      options.complete = true;
    } else if (Is(arg, "--kmz")) {
      options.kmz = true;
    } else if (Is(arg, "--frame")) {
      options.frame = true;
    } else if (Is(arg, "--overview") || Is(arg, "--mbtiles") || Is(arg, "--kmz-all")) {
      const char* example = Is(arg, "--overview")  ? " blaetter.geojson"
                            : Is(arg, "--mbtiles") ? " blaetter.mbtiles"
                                                   : " blaetter.kmz";
      if (i + 1 == args.size() || args[i + 1].empty()) {
        return UsageError(PathText(arg) + " braucht einen Dateinamen, z. B. " + PathText(arg) +
                          example);
      }
      (Is(arg, "--overview")  ? options.overview
       : Is(arg, "--mbtiles") ? options.mbtiles
                              : options.kmz_all) = args[i + 1];
      ++i;
    } else if (Is(arg, "--kmz-tiles") || Is(arg, "--kmz-order")) {
      const bool tiles = Is(arg, "--kmz-tiles");
      const int low = tiles ? 1 : 0, high = tiles ? 500 : 99;
      const std::optional<int> value =
          i + 1 < args.size() ? WholeNumber(args[++i], low, high) : std::nullopt;
      if (!value) {
        return UsageError(PathText(arg) + " braucht eine Zahl von " + std::to_string(low) +
                          " bis " + std::to_string(high));
      }
      (tiles ? options.kmz_tiles : options.kmz_order) = *value;
    } else if (Is(arg, "--version")) {
      options.action = Options::Action::kVersion;
      return options;
    } else if (Is(arg, "--ext") || StartsWith(text, ext_eq)) {
      std::filesystem::path value;
      if (Is(arg, "--ext")) {
        if (i + 1 == args.size()) return UsageError("--ext braucht eine Endung, z. B. --ext .png");
        value = args[++i];
      } else {
        value = text.substr(ext_eq.size());
      }
      if (!IsValidExtension(value)) {
        return UsageError(
            "ungültige Endung für --ext (erlaubt: Punkt und 1 bis 10 Buchstaben "
            "oder Ziffern, z. B. .png)");
      }
      options.ext.assign(value.native().begin(), value.native().end());
    } else {
      return UsageError("unbekannte Option " + PathText(arg));
    }
  }
  return options;
}

}  // namespace kal2map
