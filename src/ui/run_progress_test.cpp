#include "ui/run_progress.h"

#include <gtest/gtest.h>

#include <thread>

#include "test_util.h"

namespace kal2map::ui {
namespace {

using test::TempDir;

const char kSheet[] =
    "[Map]\r\nBitmap = k.png\r\n[Calibration Point1]\r\nLatitude = 52.5\r\n"
    "Longitude = 13.25\r\nPixel = (10, 20)\r\n";

constexpr std::size_t kSheets = 200;

struct Conversion {
  TempDir dir;
  State state;
  RunProgress progress;
  Plan plan;
  Conversion() {
    for (std::size_t i = 0; i < kSheets; ++i) {
      test::WriteFile(dir / ("k" + std::to_string(1000 + i) + ".kal"), kSheet);
    }
    InitState(state, dir.path());
    PlanFolder(plan, state.WorkFolder, false);
  }
  // Polls as the window does until the worker is done; `on_progress` sees each new snapshot.
  template <typename OnProgress>
  RunReport Convert(OnProgress on_progress) {
    std::thread worker([this] { progress.Finish(ConvertPlan(state, progress, plan)); });
    std::size_t last_done = 0;
    while (!progress.Finished()) {
      const RunProgress::Snapshot now = progress.Take();
      EXPECT_GE(now.done, last_done);
      if (now.changed && now.total > 0) {
        EXPECT_EQ(now.total, kSheets);
        on_progress(now);
      }
      last_done = now.done;
      std::this_thread::yield();
    }
    worker.join();
    return progress.TakeReport();
  }
  std::size_t Maps() const {
    std::size_t maps = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
      const std::string name = entry.path().filename().string();
      if (name.ends_with(".kal")) continue;
      EXPECT_TRUE(name.ends_with(".map")) << name << " left behind";
      const std::string map = test::ReadFile(entry.path());
      EXPECT_EQ(std::count(map.begin(), map.end(), '\n'), 43) << name;
      ++maps;
    }
    return maps;
  }
};

TEST(RunProgress, AStopFromTheWindowEndsTheRunWithWholeMapsAndTheirCount) {
  Conversion run;
  const RunReport report =
      run.Convert([&](const RunProgress::Snapshot&) { run.progress.RequestStop(); });
  EXPECT_TRUE(report.stopped);
  EXPECT_LT(report.written, kSheets);
  EXPECT_EQ(run.Maps(), report.written);
  EXPECT_EQ(run.progress.Take().message, "Abgebrochen: " + std::to_string(report.written) +
                                             (report.written == 1 ? " map-Datei" : " map-Dateien") +
                                             " erstellt.");
}

}  // namespace
}  // namespace kal2map::ui
