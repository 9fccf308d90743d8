// kal2map-cli: the conversion of the Windows program, for folders and files named on the
// command line.
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "cli/console_window.h"
#include "cli/options.h"
#include "control/batch.h"
#include "control/choice.h"
#include "control/kal_names.h"
#include "control/run_texts.h"
#include "platform/files.h"
#include "platform/interrupt.h"
#include "platform/text.h"
#include "record/state.h"

#ifndef KAL2MAP_VERSION
#define KAL2MAP_VERSION "0"
#endif

namespace kal2map {
namespace {

int UsageError(const std::string& text) {
  PrintLine(stderr, "kal2map-cli: " + text);
  PrintLine(stderr, UsageText());
  return 2;
}

}  // namespace

int RunCli(const std::vector<std::filesystem::path>& args) {
  Options options = ParseOptions(args);
  switch (options.action) {
    case Options::Action::kHelp:
      PrintLine(stdout, UsageText());
      PrintLine(stdout, HelpText());
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
  std::vector<ChosenPath> chosen;
  for (const auto& path : options.paths) {
    std::error_code ec;
    const PathKind kind = KindOfPath(path, ec);
    if (kind == PathKind::kNone) return UsageError(PathText(path) + ": " + ErrorText(ec));
    if (kind != PathKind::kFolder && (kind != PathKind::kFile || !HasKalExtension(path))) {
      return UsageError(PathText(path) + ": weder Ordner noch kal-Datei");
    }
    // As typed, so that the maps are named as the user knows them.
    const bool is_folder = kind == PathKind::kFolder;
    chosen.push_back({is_folder ? WithTrailingSeparator(path) : path, is_folder});
  }

  ConsoleWindow window;
  const Plan plan = PlanChoice(chosen, options.recursive);
  State state;
  InitState(state, ProgramFolder());
  state.BitmapExt = options.ext;
  state.CompleteMaps = options.complete;
  state.MakeKmz = options.kmz;
  state.KmzTiles = options.kmz_tiles;
  state.KmzOrder = options.kmz_order;
  state.FrameMaps = options.frame;
  state.OverviewPath = options.overview;
  state.MbtilesPath = options.mbtiles;
  state.KmzAllPath = options.kmz_all;
  // Only now: until the first map is written, an interrupt has nothing to leave half done.
  CatchInterrupts();
  const RunReport report = ConvertPlan(state, window, plan);
  window.ClearProgress();
  for (const auto& failure : report.failures) {
    PrintLine(stderr, "kal2map-cli: " + PathText(failure.path) + ": " + ErrorText(failure.error));
  }
  // Warnings leave the exit status alone: their maps were written.
  for (const auto& warning : report.warnings) {
    PrintLine(stderr, "kal2map-cli: Warnung: " + WarningLine(warning));
  }
  // A run that an interrupt stopped ends as if by the interrupt; one that finished all the same
  // reports normally.
  std::fflush(stdout);
  if (report.stopped) EndAsInterrupted();
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
