#include "control/mosaic_job.h"

#include <new>
#include <stdexcept>

#include "control/run_texts.h"
#include "mosaic/output.h"
#include "platform/files.h"
#include "platform/text.h"

namespace kal2map {
namespace {

// Tells the window how far the mosaic `name` is, sheet by sheet and, where it has `levels`,
// zoom level by zoom level, and passes on its wish to stop.
MosaicObserver Observer(Window& window, const std::string& name, bool levels, bool& stopped) {
  return [&window, name, levels, &stopped](const MosaicProgress& p) {
    if (window.StopRequested()) {
      stopped = true;
      return false;
    }
    if (p.level >= 0) {
      if (!levels) return true;
      window.SetMessageLine(name + ": Zoomstufe " + std::to_string(p.level) + " fertig (" +
                            CountText(p.tiles, "Kachel", "Kacheln") + ")");
    } else if (p.tiles == 0) {
      window.SetMessageLine(name + ": Blatt " + std::to_string(p.sheet) + " von " +
                            std::to_string(p.sheets));
    }
    return true;
  };
}

// Runs `make`, turning running out of memory into its error.
template <typename Make>
std::error_code Guarded(Make make) {
  try {
    return make();
  } catch (const std::bad_alloc&) {
  } catch (const std::length_error&) {
  }
  return std::make_error_code(std::errc::not_enough_memory);
}

void Report(const std::filesystem::path& path, const std::error_code& ec, MosaicSummary& summary,
            bool stopped, RunReport& report) {
  for (std::string& warning : summary.warnings) {
    report.warnings.push_back({{}, PathText(path.filename()) + " ohne " + warning});
  }
  if (stopped) {
    report.stopped = true;
  } else if (ec) {
    report.failures.push_back({path, ec});
  }
}

}  // namespace

bool WantsMosaic(const State& state) {
  return !state.MbtilesPath.empty() || !state.KmzAllPath.empty();
}

void AddMosaicSheet(const Job& job, const SheetFit& fit, const SheetImage& image,
                    const SheetFrame& framed, std::vector<MosaicSheet>& sheets,
                    std::vector<std::string>& warnings) {
  std::string why;
  if (!fit.sheet) {
    why = "die Punkte ergeben keine Lage des Bildes";
  } else if (!image.path) {
    why = image.missing;
  } else if (framed.width <= 0 || framed.height <= 0) {
    why = "Bild " + PathText(*image.path) +
          " l\xC3\xA4sst sich nicht \xC3\xB6"
          "ffnen";
  }
  if (!why.empty()) {
    warnings.push_back("Nicht in der Karte aller Bl\xC3\xA4tter: " + why);
    return;
  }
  MosaicSheet sheet;
  sheet.name = PathText(job.kal.filename());
  sheet.sheet = *fit.sheet;
  sheet.image = *image.path;
  sheet.width = static_cast<std::uint32_t>(framed.width);
  sheet.height = static_cast<std::uint32_t>(framed.height);
  const double w = static_cast<double>(framed.width), h = static_cast<double>(framed.height);
  sheet.clip = framed.frame ? framed.frame->outline
                            : std::vector<std::array<double, 2>>{{0, 0}, {w, 0}, {w, h}, {0, h}};
  sheets.push_back(std::move(sheet));
}

void WriteMosaics(const State& state, const std::vector<MosaicSheet>& sheets, Window& window,
                  RunReport& report) {
  std::vector<std::string> made;
  // Makes the mosaic at `path` with `make(observer, summary)`, reports it, and names it in
  // `made` with `details` of its summary.
  const auto run = [&](const std::filesystem::path& path, bool levels, const auto& make,
                       const auto& details) {
    if (path.empty() || report.stopped) return;
    const std::string name = PathText(path.filename());
    MosaicSummary summary;
    bool stopped = false;
    const MosaicObserver observer = Observer(window, name, levels, stopped);
    const std::error_code ec = Guarded([&] { return make(observer, summary); });
    if (!ec) {
      made.push_back(name + " (" + CountText(summary.sheets, "Blatt", "Bl\xC3\xA4tter") +
                     details(summary) + CountText(summary.tiles, "Kachel", "Kacheln") + ")");
    }
    Report(path, ec, summary, stopped, report);
  };
  run(
      state.MbtilesPath, true,
      [&](const MosaicObserver& observer, MosaicSummary& summary) {
        return WriteMbtilesMosaic(sheets, state.MbtilesPath, observer, summary);
      },
      [](const MosaicSummary& s) {
        return ", Zoomstufen " + std::to_string(s.min_zoom) + " bis " + std::to_string(s.max_zoom) +
               ", ";
      });
  run(
      state.KmzAllPath, false,
      [&](const MosaicObserver& observer, MosaicSummary& summary) {
        std::string bytes;
        std::error_code ec = MakeMosaicKmz(sheets, PathText(state.KmzAllPath.stem()),
                                           state.KmzTiles, observer, bytes, summary);
        if (!ec) ec = ReplaceFileContents(state.KmzAllPath, bytes);
        if (!ec && summary.reduced) {
          summary.warnings.push_back("volle Aufl\xC3\xB6sung: auf " +
                                     CountText(summary.tiles, "Kachel", "Kacheln") +
                                     " verkleinert, gr\xC3\xB6"
                                     "ber als das feinste Blatt");
        }
        return ec;
      },
      [](const MosaicSummary&) { return std::string(", "); });
  if (made.empty()) return;
  std::string line = "Erstellt: ";
  for (std::size_t i = 0; i < made.size(); ++i) line += (i ? "; " : "") + made[i];
  window.SetMessageLine(line + ".");
}

}  // namespace kal2map
