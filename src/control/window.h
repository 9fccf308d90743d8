// The only ways start-up and the batch reach the user. The Win32 window and the command line
// each provide them.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

namespace kal2map {

class Window {
 public:
  virtual ~Window() = default;
  // Creates the window on first use (running its load handler) and shows it.
  virtual void Open() = 0;
  // Replaces the text of the message line. `text` is UTF-8.
  virtual void SetMessageLine(const std::string& text) = 0;
  // After each file of a run: `done` of `total` files converted or failed, the last one making
  // `map`. Called once per file, so a window that repaints must limit how often it does.
  virtual void ShowProgress(std::size_t /*done*/, std::size_t /*total*/,
                            const std::filesystem::path& /*map*/) {}
  // Asked before each file of a run; true ends the run there, leaving every map whole.
  virtual bool StopRequested() { return false; }
};

}  // namespace kal2map
