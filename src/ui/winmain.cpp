// kal2map.exe: the form `Quirel` for the folder the program was copied into, or for the
// folders and calibration files it is started with, as when they are dropped on its icon.
#include <windows.h>

#include <filesystem>
#include <vector>

#include "control/startup.h"
#include "platform/files.h"
#include "record/state.h"
#include "ui/command_line.h"
#include "ui/main_window.h"

namespace {

std::vector<std::filesystem::path> StartPaths() {
  std::vector<std::filesystem::path> paths;
  for (auto& arg : kal2map::ui::SplitCommandLine(GetCommandLineW())) {
    paths.emplace_back(std::move(arg));
  }
  return paths;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show_command) {
  // The folder dialog is a COM object that wants a single-threaded apartment.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
  kal2map::State state;
  kal2map::ui::MainWindow window(state, instance, show_command);
  kal2map::Main(state, window, kal2map::ProgramFolder());
  window.Choose(StartPaths());
  MSG message{};
  BOOL got;
  // GetMessage gives -1 on failure; that ends the loop as well as WM_QUIT does.
  while ((got = GetMessageW(&message, nullptr, 0, 0)) > 0) {
    if (window.handle() != nullptr && IsDialogMessageW(window.handle(), &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return got == 0 ? static_cast<int>(message.wParam) : 1;
}
