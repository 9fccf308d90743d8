// The command line's window: messages as lines on standard output, errors on standard error,
// and while a long run lasts a progress line on standard error when that is a terminal.
#pragma once

#include <cstdio>
#include <string>

#include "cli/progress.h"
#include "control/window.h"

namespace kal2map {

class ConsoleWindow : public Window {
 public:
  // The run counts from here: no progress line in its first second.
  ConsoleWindow();
  ~ConsoleWindow() override { ClearProgress(); }

  void Open() override {}
  void SetMessageLine(const std::string& text) override { Print(stdout, text); }
  void ShowProgress(std::size_t done, std::size_t total, const std::filesystem::path& map) override;
  // After Ctrl+C, once CatchInterrupts has been called.
  bool StopRequested() override;

  // Writes one line to `stream` below the progress line, which stays the last one.
  void Print(std::FILE* stream, const std::string& text);
  // Removes the progress line; the next ShowProgress may draw it again.
  void ClearProgress();

 private:
  const bool progress_;         // standard error is a terminal
  const bool out_on_terminal_;  // standard output may share that terminal
  ProgressPacer pacer_;
  std::string line_;  // the progress line on the terminal; empty when none is shown
};

}  // namespace kal2map
