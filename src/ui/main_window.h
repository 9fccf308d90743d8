// The form `Quirel`: one top-level window whose controls are real child windows, so that
// screen readers and UI automation read their texts. Its handlers set control properties and
// call into the core; everything else lives in the core.
#pragma once

#include <windows.h>

#include <array>
#include <string>

#include "record/state.h"
#include "control/window.h"
#include "ui/form_layout.h"

namespace kal2map::ui {

class MainWindow final : public Window {
 public:
  MainWindow(State& state, HINSTANCE instance, int show_command);
  ~MainWindow() override;
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  void Open() override;
  void SetMessageLine(const std::string& text) override;

  // Null until Open and after the window is destroyed.
  HWND handle() const { return window_; }

 private:
  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT Handle(UINT message, WPARAM wparam, LPARAM lparam);
  void OnCommand(int id, int code, HWND control);

  // Event handlers, named after their control and event.
  void Form_Load();
  void Form_Resize();
  void Command_konv_Click();
  void Command_Ende_Click();
  void Option1_Click(int index);
  void ExtChoice_Click();

  void CreateControls();
  void CreateFonts();
  void DeleteFonts();
  void ApplyExtChoice();
  void SetClientSize();
  void PlaceControls();
  void FitMessageLine();
  HFONT FontFor(Control control) const;
  HWND Item(int control) const { return controls_[static_cast<std::size_t>(control)]; }

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
};

}  // namespace kal2map::ui
