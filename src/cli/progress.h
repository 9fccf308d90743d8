// The command line's progress line: when to redraw it, and what it says.
#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kal2map {

// Decides when the progress line is redrawn: not in the first second of a run, so that short
// runs print exactly what they print without a terminal, and then at most ten times a second,
// so that writing to the terminal cannot slow a fast run down. Times are passed in, so that the
// rule can be checked without waiting.
class ProgressPacer {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr Clock::duration kQuietStart = std::chrono::seconds(1);
  static constexpr Clock::duration kInterval = std::chrono::milliseconds(100);

  explicit ProgressPacer(Clock::time_point start) : start_(start) {}

  // True when the line should be redrawn at `now`; then the next one is due kInterval later.
  bool Due(Clock::time_point now);

 private:
  Clock::time_point start_;
  std::optional<Clock::time_point> last_;  // the last time Due answered true
};

// ProgressText in at most `columns` - 1 columns (the last one makes some terminals wrap); 0
// columns means unknown, taken as 80. Control characters, C1 controls and invalid UTF-8 in the
// path show as '?', so that no name can move the cursor or leave the line.
std::string TerminalProgressLine(std::size_t done, std::size_t total, std::string_view path_utf8,
                                 std::size_t columns);

}  // namespace kal2map
