// kal2map.exe: the form `Quirel` for the folder the program was copied into.
#include <windows.h>

#include "control/startup.h"
#include "record/state.h"
#include "platform/files.h"
#include "ui/main_window.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show_command) {
  kal2map::State state;
  kal2map::ui::MainWindow window(state, instance, show_command);
  kal2map::Main(state, window, kal2map::ProgramFolder());
  MSG message{};
  BOOL got;
  // GetMessage gives -1 on failure; that ends the loop as well as WM_QUIT does.
  while ((got = GetMessageW(&message, nullptr, 0, 0)) > 0) {
    if (window.handle() != nullptr && IsDialogMessageW(window.handle(), &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return got == 0 ? static_cast<int>(message.wParam) : 1;
}
