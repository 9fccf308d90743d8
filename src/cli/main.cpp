// kal2map-cli: the conversion of the Windows program, for folders and files named on the
// command line.
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "cli/options.h"
#include "control/batch.h"
#include "control/kal_names.h"
#include "control/window.h"
#include "platform/files.h"
#include "platform/text.h"
#include "record/state.h"

#ifndef KAL2MAP_VERSION
#define KAL2MAP_VERSION "0"
#endif

namespace kal2map {
namespace {

constexpr const char* kUsage = "Aufruf: kal2map-cli [--ext .EXT] [PFAD ...]";

constexpr const char* kHelp =
    "Wandelt Tivara-Kalibrierdateien (.kal) in OziExplorer-Kartendateien (.map) um.\n"
    "Converts Tivara calibration files (.kal) into OziExplorer map files (.map).\n"
    "\n"
    "PFAD ist ein Ordner (alle .kal-Dateien darin) oder eine .kal-Datei; ohne PFAD\n"
    "der aktuelle Ordner. Jede map-Datei entsteht neben ihrer kal-Datei.\n"
    "\n"
    "  --ext .EXT   Bild-Endung in der map-Datei ersetzen, z. B. --ext .png\n"
    "  --help       diese Hilfe\n"
    "  --version    Version anzeigen\n"
    "\n"
    "Rückgabewert: 0 alles umgewandelt, 1 mindestens eine Datei fehlgeschlagen,\n"
    "2 falscher Aufruf.";

// The command line's message line: every message goes to standard output as one line.
class ConsoleWindow : public Window {
 public:
  void Open() override {}
  void SetMessageLine(const std::string& text) override { PrintLine(stdout, text); }
};

void PrintError(const std::string& text) { PrintLine(stderr, "kal2map-cli: " + text); }

int UsageError(const std::string& text) {
  PrintError(text);
  PrintLine(stderr, kUsage);
  return 2;
}

}  // namespace

int RunCli(const std::vector<std::filesystem::path>& args) {
  Options options = ParseOptions(args);
  switch (options.action) {
    case Options::Action::kHelp:
      PrintLine(stdout, kUsage);
      PrintLine(stdout, kHelp);
      return 0;
    case Options::Action::kVersion:
      PrintLine(stdout, std::string("kal2map-cli ") + KAL2MAP_VERSION);
      return 0;
    case Options::Action::kUsageError:
      return UsageError(options.error);
    case Options::Action::kConvert:
      break;
  }
  if (options.paths.empty()) options.paths.emplace_back(".");

  // Every path is checked before the first map is written.
  std::vector<bool> is_folder;
  for (const auto& path : options.paths) {
    std::error_code ec;
    const PathKind kind = KindOfPath(path, ec);
    if (kind == PathKind::kNone) return UsageError(PathText(path) + ": " + ErrorText(ec));
    if (kind != PathKind::kFolder && (kind != PathKind::kFile || !HasKalExtension(path))) {
      return UsageError(PathText(path) + ": weder Ordner noch kal-Datei");
    }
    is_folder.push_back(kind == PathKind::kFolder);
  }

  Plan plan;
  for (std::size_t i = 0; i < options.paths.size(); ++i) {
    if (is_folder[i]) {
      PlanFolder(plan, WithTrailingSeparator(options.paths[i]), options.recursive);
    } else {
      PlanFile(plan, options.paths[i]);
    }
  }
  State state;
  InitState(state, ProgramFolder());
  state.BitmapExt = options.ext;
  state.CompleteMaps = options.complete;
  ConsoleWindow window;
  const RunReport report = ConvertPlan(state, window, plan);
  for (const auto& failure : report.failures) {
    PrintError(PathText(failure.path) + ": " + ErrorText(failure.error));
  }
  // Warnings leave the exit status alone: their maps were written.
  for (const auto& warning : report.warnings) {
    PrintError("Warnung: " + PathText(warning.kal) + ": " + warning.text);
  }
  const bool failed = !report.ok();
  return failed ? 1 : 0;
}

}  // namespace kal2map

#ifdef _WIN32
int wmain(int argc, wchar_t** argv) {
#else
int main(int argc, char** argv) {
#endif
  std::vector<std::filesystem::path> args(argv + 1, argv + argc);
  return kal2map::RunCli(args);
}
