// The only two ways start-up and the batch reach the user. The Win32 window and the command
// line each provide them.
#pragma once

#include <string>

namespace kal2map {

class Window {
 public:
  virtual ~Window() = default;
  // Creates the window on first use (running its load handler) and shows it.
  virtual void Open() = 0;
  // Replaces the text of the message line. `text` is UTF-8.
  virtual void SetMessageLine(const std::string& text) = 0;
};

}  // namespace kal2map
