#include "ui/command_line.h"

namespace kal2map::ui {

std::vector<std::wstring> SplitCommandLine(std::wstring_view line) {
  std::vector<std::wstring> args;
  bool program = true;  // the first word is the program's name
  std::size_t i = 0;
  while (true) {
    while (i < line.size() && (line[i] == L' ' || line[i] == L'\t')) ++i;
    if (i == line.size()) break;
    std::wstring arg;
    for (bool quoted = false; i < line.size(); ++i) {
      if (line[i] == L'"') {
        quoted = !quoted;
      } else if (!quoted && (line[i] == L' ' || line[i] == L'\t')) {
        break;
      } else {
        arg += line[i];
      }
    }
    if (!program) args.push_back(std::move(arg));
    program = false;
  }
  return args;
}

}  // namespace kal2map::ui
