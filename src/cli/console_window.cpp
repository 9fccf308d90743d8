#include "cli/console_window.h"

#include "platform/interrupt.h"
#include "platform/text.h"

namespace kal2map {

ConsoleWindow::ConsoleWindow()
    : progress_(IsTerminal(stderr)),
      out_on_terminal_(IsTerminal(stdout)),
      pacer_(ProgressPacer::Clock::now()) {}

void ConsoleWindow::ShowProgress(std::size_t done, std::size_t total,
                                 const std::filesystem::path& map) {
  if (!progress_ || !pacer_.Due(ProgressPacer::Clock::now())) return;
  std::string text = TerminalProgressLine(done, total, PathText(map), TerminalColumns(stderr));
  if (text.empty()) return;
  line_ = std::move(text);
  RewriteLine(stderr, line_);
}

bool ConsoleWindow::StopRequested() { return InterruptRequested(); }

// The line goes where the progress line was, which is then drawn again below it, so that
// neither is torn when both streams go to one terminal.
void ConsoleWindow::Print(std::FILE* stream, const std::string& text) {
  const bool under = !line_.empty() && (stream == stderr || out_on_terminal_);
  if (under) RewriteLine(stderr, "");
  PrintLine(stream, text);
  if (!under) return;
  std::fflush(stream);
  RewriteLine(stderr, line_);
}

void ConsoleWindow::ClearProgress() {
  if (line_.empty()) return;
  RewriteLine(stderr, "");
  line_.clear();
}

}  // namespace kal2map
