// The form `Quirel`: one top-level window whose controls are real child windows, so that
// screen readers and UI automation read their texts. Its handlers set control properties and
// call into the core; everything else lives in the core.
//
// A conversion runs on a worker thread, so that the window keeps answering the system and
// shows progress. The worker converts with a copy of the State record taken at the start and
// reports only through its RunProgress, so no handler can race it. The options are disabled
// and their handlers ignored meanwhile, so that the window shows what the run uses.
#pragma once

#include <windows.h>

#include <array>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "control/choice.h"
#include "control/window.h"
#include "record/state.h"
#include "ui/form_layout.h"
#include "ui/run_progress.h"

namespace kal2map::ui {

class MainWindow final : public Window {
 public:
  MainWindow(State& state, HINSTANCE instance, int show_command);
  // Stops a run that is still going and waits for its current file.
  ~MainWindow() override;
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  void Open() override;
  // Only on the window's thread.
  void SetMessageLine(const std::string& text) override;

  // Takes the folders and calibration files among `paths` as what "Konvertieren" converts and
  // names the others in a message box. Ignored during a run.
  void Choose(const std::vector<std::filesystem::path>& paths);

  // Null until Open and after the window is destroyed.
  HWND handle() const { return window_; }

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT Handle(UINT message, WPARAM wparam, LPARAM lparam);
  void OnCommand(int id, int code, HWND control);
  bool OnSysCommand(UINT command);

  // Event handlers, named after their control and event.
  void Form_Load();
  void Form_Resize();
  void Form_DropFiles(HDROP drop);
  bool Form_Close();
  void Form_Escape();
  void Command_konv_Click();
  void Command_Ende_Click();
  void Option1_Click(int index);
  void ExtChoice_Click();
  void ChooseFolder_Click();
  void Subfolders_Click();
  void CompleteMaps_Click();
  void Kmz_Click();
  void Frame_Click();
  void Overview_Click();
  void Toggle(bool& option, UINT item);
  void Progress_Timer();
  void Run_Finished();

  void CreateControls();
  void CreateFonts();
  void DeleteFonts();
  void ApplyExtChoice();
  void SetClientSize();
  void PlaceControls();
  void FitMessageLine();
  bool FitsMessageLine(std::string_view utf8) const;
  void EnableForRun(bool running);
  void StopRun();
  HFONT FontFor(Control control) const;
  HWND Item(int control) const { return controls_[static_cast<std::size_t>(control)]; }
  bool running() const { return progress_ != nullptr; }

  State& state_;
  HINSTANCE instance_;
  int show_command_;
  HWND window_ = nullptr;
  std::array<HWND, kControlCount> controls_{};
  int dpi_ = 96;
  HFONT default_font_ = nullptr;
  HFONT arial_small_ = nullptr;
  HFONT arial_bold_ = nullptr;
  // Current geometry that differs from the design, in twips, so a DPI change re-scales it.
  int label1_width_ = 0;
  int message_top_ = 0;
  // The push button Enter presses: the one that had the focus last.
  int default_button_ = Command_Ende;
  // The control that had the focus when the window was last deactivated.
  HWND last_focus_ = nullptr;

  // What "Konvertieren" converts: the program's folder until the user chooses.
  std::vector<ChosenPath> choice_;
  bool subfolders_ = false;
  bool overview_ = false;  // an overview of all sheets in the folder shown
  bool mbtiles_ = false;   // one map of all sheets there for phone apps
  bool kmz_all_ = false;   // and one for a Garmin
  // Non-null from "Konvertieren" until the run's outcome is shown; then the worker is joined.
  std::unique_ptr<RunProgress> progress_;
  std::thread worker_;
  // The control that had the focus when the run started, given back afterwards.
  HWND focus_before_run_ = nullptr;
  // The user closed the window during a run: it closes once the run has stopped.
  bool close_after_run_ = false;
};

}  // namespace kal2map::ui
