#include "ui/run_progress.h"

#include <utility>

namespace kal2map::ui {

void RunProgress::SetMessageLine(const std::string& text) {
  std::lock_guard lock(mutex_);
  latest_.message = text;
  latest_.changed = true;
}

void RunProgress::ShowProgress(std::size_t done, std::size_t total,
                               const std::filesystem::path& map) {
  std::lock_guard lock(mutex_);
  latest_.done = done;
  latest_.total = total;
  latest_.map = map;
  latest_.changed = true;
}

void RunProgress::Finish(RunReport report) {
  report_ = std::move(report);
  finished_.store(true, std::memory_order_release);
}

RunProgress::Snapshot RunProgress::Take() {
  std::lock_guard lock(mutex_);
  Snapshot snapshot = latest_;
  latest_.changed = false;
  return snapshot;
}

}  // namespace kal2map::ui
