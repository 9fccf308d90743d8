// A run on a worker thread and the window's thread meet here. The worker reports through the
// Window interface; the window's thread polls a few times a second, so that a fast run is not
// slowed by repainting and the window never waits for a file.
#pragma once

#include <atomic>
#include <cstddef>
#include <filesystem>
#include <mutex>
#include <string>

#include "control/batch.h"
#include "control/window.h"

namespace kal2map::ui {

class RunProgress final : public Window {
 public:
  // What the window shows: the latest progress and the last message line the run set.
  struct Snapshot {
    std::size_t done = 0;
    std::size_t total = 0;
    std::filesystem::path map;
    std::string message;
    bool changed = false;  // since the previous Take
  };

  // The worker's side.
  void Open() override {}
  void SetMessageLine(const std::string& text) override;
  void ShowProgress(std::size_t done, std::size_t total, const std::filesystem::path& map) override;
  bool StopRequested() override { return stop_.load(std::memory_order_relaxed); }
  // Last call of the worker: the run's outcome.
  void Finish(RunReport report);

  // The window's side.
  void RequestStop() { stop_.store(true, std::memory_order_relaxed); }
  Snapshot Take();
  bool Finished() const { return finished_.load(std::memory_order_acquire); }
  // Only once Finished.
  RunReport TakeReport() { return std::move(report_); }

 private:
  std::mutex mutex_;
  Snapshot latest_;  // guarded by mutex_
  std::atomic<bool> stop_{false};
  // Set after report_ is written, so that a reader who sees it sees the whole report.
  std::atomic<bool> finished_{false};
  RunReport report_;
};

}  // namespace kal2map::ui
