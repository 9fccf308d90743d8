#include "ui/main_window.h"

#include <commctrl.h>
#include <shellapi.h>

#include <algorithm>
#include <new>
#include <system_error>
#include <utility>

#include "control/batch.h"
#include "control/run_texts.h"
#include "platform/text.h"
#include "platform/utf16.h"
#include "ui/dpi.h"
#include "ui/folder_dialog.h"
#include "ui/form_texts.h"
#include "ui/resource.h"

namespace kal2map::ui {
namespace {

constexpr wchar_t kClassName[] = L"kal2map.Quirel";
constexpr DWORD kWindowStyle = WS_OVERLAPPEDWINDOW;
constexpr DWORD kWindowExStyle = 0;
// Child ids start above IDOK and IDCANCEL, which the dialog manager sends for Enter and Escape.
constexpr int kFirstControlId = 100;
// The message line breaks a path without blanks at its width and shows "&" as it is; measuring
// uses the same flags the static control draws with.
constexpr UINT kMessageFormat = DT_CENTER | DT_WORDBREAK | DT_EDITCONTROL | DT_NOPREFIX;
// Posted by the worker when a run is over.
constexpr UINT kRunFinishedMessage = WM_APP + 1;
// Repaints the progress at most ten times a second, however fast files go by.
constexpr UINT_PTR kProgressTimer = 1;
constexpr UINT kProgressMilliseconds = 100;
// The system menu entries that change the record; disabled during a run.
constexpr UINT kRecordMenuEntries[] = {IDM_CHOOSE_FOLDER, IDM_SUBFOLDERS, IDM_COMPLETE_MAPS,
                                       IDM_KMZ,           IDM_FRAME,      IDM_OVERVIEW,
                                       IDM_MBTILES,       IDM_KMZ_ALL,    IDM_EXT_CHOICE};

DWORD StyleFor(Control control) {
  constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
  switch (Controls()[control].kind) {
    case Kind::kPushButton:
      // BS_NOTIFY reports focus changes, so the focused button can become the default one.
      return kChild | WS_TABSTOP | BS_PUSHBUTTON | BS_NOTIFY |
             (control == Command_Ende ? WS_GROUP : 0);
    case Kind::kLabel:
      return kChild | WS_GROUP | SS_NOPREFIX |
             (control == message_Label ? SS_CENTER | SS_EDITCONTROL : SS_LEFT);
    case Kind::kFrame:
      return kChild | WS_GROUP | BS_GROUPBOX;
    case Kind::kOption:
      // The first option opens the group the arrow keys move in; the next label closes it.
      return kChild | BS_AUTORADIOBUTTON | (control == Option1 ? WS_GROUP | WS_TABSTOP : 0);
  }
  return kChild;
}

const wchar_t* ClassFor(Control control) {
  return Controls()[control].kind == Kind::kLabel ? WC_STATICW : WC_BUTTONW;
}

HFONT CreateArial(const Font& font, int dpi) {
  LOGFONTW log{};
  log.lfHeight = FontHeight(font, dpi);
  log.lfWeight = font.bold ? FW_BOLD : FW_NORMAL;
  log.lfCharSet = DEFAULT_CHARSET;
  log.lfQuality = DEFAULT_QUALITY;
  lstrcpynW(log.lfFaceName, L"Arial", LF_FACESIZE);
  return CreateFontIndirectW(&log);
}

std::wstring TextOf(HWND control) {
  std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(
      GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
  return text;
}

}  // namespace

MainWindow::MainWindow(State& state, HINSTANCE instance, int show_command)
    : state_(state), instance_(instance), show_command_(show_command) {}

MainWindow::~MainWindow() {
  StopRun();
  if (window_ != nullptr) DestroyWindow(window_);
  DeleteFonts();
}

void MainWindow::Open() {
  if (window_ == nullptr) {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    WNDCLASSEXW window_class{};
    window_class.cbSize = sizeof(window_class);
    window_class.lpfnWndProc = WindowProc;
    window_class.hInstance = instance_;
    window_class.hIcon = LoadIconW(instance_, MAKEINTRESOURCEW(IDI_KAL2MAP));
    window_class.hIconSm = static_cast<HICON>(LoadImageW(instance_, MAKEINTRESOURCEW(IDI_KAL2MAP),
                                                         IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                                         GetSystemMetrics(SM_CYSMICON), 0));
    window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    window_class.lpszClassName = kClassName;
    RegisterClassExW(&window_class);
    CreateWindowExW(kWindowExStyle, kClassName, ToWide(kCaption).c_str(), kWindowStyle,
                    CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr,
                    instance_, this);
    if (window_ == nullptr) {
      MessageBoxW(nullptr, L"Das Fenster konnte nicht erstellt werden.", ToWide(kCaption).c_str(),
                  MB_OK | MB_ICONERROR);
      ExitProcess(1);
    }
  }
  ShowWindow(window_, show_command_);
  UpdateWindow(window_);
  SetFocus(Item(Command_Ende));
}

void MainWindow::SetMessageLine(const std::string& text) {
  SetWindowTextW(Item(message_Label), ToWide(text).c_str());
  FitMessageLine();
}

void MainWindow::Choose(const std::vector<std::filesystem::path>& paths) {
  if (running() || paths.empty()) return;
  const Choice choice = ChoosePaths(paths);
  if (!choice.taken.empty()) {
    choice_ = choice.taken;
    SetMessageLine(ChoiceText(choice_));
  }
  if (!choice.refused.empty()) {
    MessageBoxW(window_, ToWide(RefusedMessage(choice.refused)).c_str(), ToWide(kCaption).c_str(),
                MB_OK | MB_ICONWARNING);
  }
}

LRESULT CALLBACK MainWindow::WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* self = static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    self->window_ = window;
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
  }
  auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (self == nullptr) return DefWindowProcW(window, message, wparam, lparam);
  LRESULT result = self->Handle(message, wparam, lparam);
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    self->window_ = nullptr;
    self->controls_ = {};
  }
  return result;
}

LRESULT MainWindow::Handle(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_CREATE:
      dpi_ = DpiForWindow(window_);
      CreateFonts();
      CreateControls();
      SetClientSize();
      Form_Load();
      return 0;
    case WM_SIZE:
      Form_Resize();
      return 0;
    case WM_COMMAND:
      OnCommand(LOWORD(wparam), HIWORD(wparam), reinterpret_cast<HWND>(lparam));
      return 0;
    case WM_SYSCOMMAND:
      if (OnSysCommand(static_cast<UINT>(wparam & 0xFFF0))) return 0;
      break;
    case WM_DROPFILES:
      Form_DropFiles(reinterpret_cast<HDROP>(wparam));
      return 0;
    case WM_TIMER:
      if (wparam == kProgressTimer) {
        Progress_Timer();
        return 0;
      }
      break;
    case kRunFinishedMessage:
      Run_Finished();
      return 0;
    case WM_CLOSE:
      if (Form_Close()) break;
      return 0;
    case WM_ENDSESSION:
      // The process may end as soon as this returns: let the current file finish first.
      if (wparam) StopRun();
      return 0;
    case WM_ACTIVATE:
      // Like a dialog: the focus returns to where it was, e.g. after the warning box.
      if (LOWORD(wparam) == WA_INACTIVE) {
        HWND focus = GetFocus();
        if (focus != nullptr && IsChild(window_, focus)) last_focus_ = focus;
      } else if (last_focus_ != nullptr && IsWindowVisible(last_focus_)) {
        SetFocus(last_focus_);
        return 0;
      }
      break;
    case WM_DPICHANGED: {
      dpi_ = HIWORD(wparam);
      DeleteFonts();
      CreateFonts();
      for (int i = 0; i < kControlCount; ++i) {
        SendMessageW(Item(i), WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(Control(i))), FALSE);
      }
      PlaceControls();
      const RECT* suggested = reinterpret_cast<const RECT*>(lparam);
      SetWindowPos(window_, nullptr, suggested->left, suggested->top,
                   suggested->right - suggested->left, suggested->bottom - suggested->top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
      InvalidateRect(window_, nullptr, TRUE);
      return 0;
    }
    case DM_GETDEFID:
      return MAKELRESULT(kFirstControlId + default_button_, DC_HASDEFID);
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(window_, message, wparam, lparam);
}

bool MainWindow::OnSysCommand(UINT command) {
  switch (command) {
    case IDM_EXT_CHOICE:
      ExtChoice_Click();
      return true;
    case IDM_CHOOSE_FOLDER:
      ChooseFolder_Click();
      return true;
    case IDM_SUBFOLDERS:
      Subfolders_Click();
      return true;
    case IDM_COMPLETE_MAPS:
      CompleteMaps_Click();
      return true;
    case IDM_KMZ:
      Kmz_Click();
      return true;
    case IDM_FRAME:
      Frame_Click();
      return true;
    case IDM_MBTILES:
      Toggle(mbtiles_, IDM_MBTILES);
      break;
    case IDM_KMZ_ALL:
      Toggle(kmz_all_, IDM_KMZ_ALL);
      break;
    case IDM_OVERVIEW:
      Overview_Click();
      return true;
  }
  return false;
}

void MainWindow::OnCommand(int id, int code, HWND control) {
  // The dialog manager turns Esc into IDCANCEL from no control.
  if (id == IDCANCEL && control == nullptr) {
    Form_Escape();
    return;
  }
  if (control == nullptr) return;
  const int index = id - kFirstControlId;
  if (code == BN_SETFOCUS && (index == Command_Ende || index == Command_konv)) {
    // The focused button is the default one, so Enter presses it, as in a dialog. The
    // dialog manager asks for it with DM_GETDEFID and draws its border.
    const int other = index == Command_Ende ? Command_konv : Command_Ende;
    default_button_ = index;
    SendMessageW(Item(other), BM_SETSTYLE, BS_PUSHBUTTON, TRUE);
    SendMessageW(control, BM_SETSTYLE, BS_DEFPUSHBUTTON, TRUE);
    return;
  }
  if (code != BN_CLICKED) return;
  if (index == Command_konv) {
    Command_konv_Click();
  } else if (index == Command_Ende) {
    Command_Ende_Click();
  } else if (index >= Option1 && index < Option1 + kOptionCount &&
             SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED) {
    Option1_Click(index - Option1);
  }
}

void MainWindow::Form_Load() {
  SetMessageLine("");
  SendMessageW(Item(Option1), BM_SETCHECK, BST_CHECKED, 0);
  Option1_Click(0);
  SetWindowTextW(Item(Label1), ToWide(InstructionText()).c_str());
  ApplyExtChoice();
  // The extension entry stays last, where it has always been.
  HMENU system_menu = GetSystemMenu(window_, FALSE);
  AppendMenuW(system_menu, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(system_menu, MF_STRING, IDM_CHOOSE_FOLDER, ToWide(kChooseFolderMenuText).c_str());
  AppendMenuW(system_menu, MF_STRING, IDM_SUBFOLDERS, ToWide(kSubfoldersMenuText).c_str());
  AppendMenuW(system_menu, MF_STRING, IDM_COMPLETE_MAPS, ToWide(kCompleteMapsMenuText).c_str());
  AppendMenuW(system_menu, MF_STRING, IDM_KMZ, ToWide(kKmzMenuText).c_str());
  AppendMenuW(system_menu, MF_STRING, IDM_FRAME, ToWide(kFrameMenuText).c_str());
  AppendMenuW(system_menu, MF_STRING, IDM_OVERVIEW, ToWide(kOverviewMenuText).c_str());
  AppendMenuW(system_menu, MF_STRING, IDM_MBTILES, ToWide(kMbtilesMenuText).c_str());
  AppendMenuW(system_menu, MF_STRING, IDM_KMZ_ALL, ToWide(kKmzAllMenuText).c_str());
  AppendMenuW(system_menu, MF_STRING, IDM_EXT_CHOICE, ToWide(kExtChoiceMenuText).c_str());
  choice_ = {{state_.WorkFolder, true}};
  DragAcceptFiles(window_, TRUE);
}

void MainWindow::Form_Resize() {
  RECT outer;
  if (Item(Label1) == nullptr || !GetWindowRect(window_, &outer)) return;
  if (auto width = Label1WidthForOuterWidth(PixelsToTwips(outer.right - outer.left, dpi_))) {
    label1_width_ = *width;
    PlaceControls();
  }
}

void MainWindow::Form_DropFiles(HDROP drop) {
  std::vector<std::filesystem::path> paths;
  const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
  for (UINT i = 0; i < count; ++i) {
    std::wstring name(DragQueryFileW(drop, i, nullptr, 0) + 1, L'\0');
    name.resize(DragQueryFileW(drop, i, name.data(), static_cast<UINT>(name.size())));
    if (!name.empty()) paths.emplace_back(std::move(name));
  }
  DragFinish(drop);
  Choose(paths);
}

// Closing during a run stops it; the window closes when the current file is done.
bool MainWindow::Form_Close() {
  if (!running()) return true;
  close_after_run_ = true;
  progress_->RequestStop();
  return false;
}

void MainWindow::Form_Escape() {
  if (running()) progress_->RequestStop();
}

void MainWindow::Command_konv_Click() {
  if (running()) return;
  progress_ = std::make_unique<RunProgress>();
  EnableForRun(true);
  SetMessageLine(std::string(kSearchingText));
  // The run converts with its own copy of the record and speaks only through `progress`, so
  // that nothing the window does meanwhile can reach into it.
  // The overview and the maps of all sheets go into the folder shown: the first one chosen,
  // or the first file's.
  const ChosenPath& first = choice_.front();
  const std::filesystem::path shown = first.is_folder ? first.path : first.path.parent_path();
  auto in_shown = [&](bool wanted, const char8_t* name) {
    return wanted ? shown / std::filesystem::path(name) : std::filesystem::path();
  };
  state_.OverviewPath = in_shown(overview_, u8"\u00DCbersicht.geojson");
  state_.MbtilesPath = in_shown(mbtiles_, u8"Alle Bl\u00E4tter.mbtiles");
  state_.KmzAllPath = in_shown(kmz_all_, u8"Alle Bl\u00E4tter.kmz");
  auto work = [state = state_, &progress = *progress_, choice = choice_, subfolders = subfolders_,
               window = window_]() mutable {
    RunReport report;
    try {
      report = ConvertPlan(state, progress, PlanChoice(choice, subfolders));
    } catch (const std::bad_alloc&) {
      report.failures.push_back(
          {choice.front().path, std::make_error_code(std::errc::not_enough_memory)});
    } catch (const std::exception&) {
      report.failures.push_back({choice.front().path, std::make_error_code(std::errc::io_error)});
    }
    progress.Finish(std::move(report));
    PostMessageW(window, kRunFinishedMessage, 0, 0);
  };
  try {
    worker_ = std::thread(work);
  } catch (const std::system_error&) {
    work();  // no thread to be had: convert as before, with the window waiting
  }
}

void MainWindow::Command_Ende_Click() {
  if (running()) {
    progress_->RequestStop();
    return;
  }
  DestroyWindow(window_);
}

void MainWindow::Option1_Click(int index) {
  if (running()) return;  // the run goes on with what it started with, as the menu shows
  state_.BitmapExt = ExtensionForOption(ToUtf8(TextOf(Item(Option1 + index))));
}

void MainWindow::ExtChoice_Click() {
  if (running()) return;
  state_.ShowExtChoice = !state_.ShowExtChoice;
  ApplyExtChoice();
}

void MainWindow::ChooseFolder_Click() {
  if (running()) return;
  const ChosenPath& first = choice_.front();
  const auto start = first.is_folder ? first.path : first.path.parent_path();
  if (auto folder = PickFolder(window_, start)) Choose({*folder});
}

// Flips an option and its check mark in the system menu; a run goes on with what it started
// with, as the disabled menu shows.
void MainWindow::Toggle(bool& option, UINT item) {
  if (running()) return;
  option = !option;
  CheckMenuItem(GetSystemMenu(window_, FALSE), item,
                MF_BYCOMMAND | (option ? MF_CHECKED : MF_UNCHECKED));
}

void MainWindow::Subfolders_Click() { Toggle(subfolders_, IDM_SUBFOLDERS); }

void MainWindow::CompleteMaps_Click() { Toggle(state_.CompleteMaps, IDM_COMPLETE_MAPS); }

void MainWindow::Kmz_Click() { Toggle(state_.MakeKmz, IDM_KMZ); }

void MainWindow::Frame_Click() { Toggle(state_.FrameMaps, IDM_FRAME); }

void MainWindow::Overview_Click() { Toggle(overview_, IDM_OVERVIEW); }

void MainWindow::Progress_Timer() {
  if (!running()) return;
  if (progress_->Finished()) {
    Run_Finished();  // in case the worker's message was lost
    return;
  }
  const RunProgress::Snapshot now = progress_->Take();
  if (!now.changed || now.total == 0) return;
  SetMessageLine(ProgressText(now.done, now.total, PathText(now.map),
                              [this](std::string_view line) { return FitsMessageLine(line); }));
}

void MainWindow::Run_Finished() {
  if (!running() || !progress_->Finished()) return;
  if (worker_.joinable()) worker_.join();
  const RunReport report = progress_->TakeReport();
  const std::string message = progress_->Take().message;
  progress_.reset();
  EnableForRun(false);
  if (!message.empty()) SetMessageLine(message);
  if (close_after_run_) {
    DestroyWindow(window_);
    return;
  }
  if (!report.failures.empty() || !report.warnings.empty()) {
    MessageBoxW(window_, ToWide(ReportMessage(report)).c_str(), ToWide(kCaption).c_str(),
                MB_OK | MB_ICONWARNING);
  }
}

void MainWindow::StopRun() {
  if (!running()) return;
  progress_->RequestStop();
  if (worker_.joinable()) worker_.join();
}

void MainWindow::EnableForRun(bool running) {
  if (running) {
    // A disabled control cannot keep the focus; Ende, which stops the run, takes it.
    focus_before_run_ = GetFocus();
    if (focus_before_run_ != nullptr && IsChild(window_, focus_before_run_)) {
      SetFocus(Item(Command_Ende));
    }
  }
  EnableWindow(Item(Command_konv), !running);
  for (int i = 0; i < kOptionCount; ++i) EnableWindow(Item(Option1 + i), !running);
  HMENU system_menu = GetSystemMenu(window_, FALSE);
  for (UINT entry : kRecordMenuEntries) {
    EnableMenuItem(system_menu, entry, MF_BYCOMMAND | (running ? MF_GRAYED : MF_ENABLED));
  }
  DragAcceptFiles(window_, !running);
  if (running) {
    SetTimer(window_, kProgressTimer, kProgressMilliseconds, nullptr);
    return;
  }
  KillTimer(window_, kProgressTimer);
  if (focus_before_run_ != nullptr && IsChild(window_, focus_before_run_) &&
      IsWindowVisible(focus_before_run_)) {
    SetFocus(focus_before_run_);
  }
  focus_before_run_ = nullptr;
}

void MainWindow::ApplyExtChoice() {
  const int show = state_.ShowExtChoice ? SW_SHOW : SW_HIDE;
  for (int i : {Label2, Frame1, Label3}) ShowWindow(Item(i), show);
  for (int i = 0; i < kOptionCount; ++i) ShowWindow(Item(Option1 + i), show);
  message_top_ = state_.ShowExtChoice ? kMessageTopChoiceShown : kMessageTopChoiceHidden;
  PlaceControls();
  CheckMenuItem(GetSystemMenu(window_, FALSE), IDM_EXT_CHOICE,
                MF_BYCOMMAND | (state_.ShowExtChoice ? MF_CHECKED : MF_UNCHECKED));
  // A hidden control cannot keep the focus: the keyboard would lose its way.
  HWND focus = GetFocus();
  if (focus != nullptr && IsChild(window_, focus) && !IsWindowVisible(focus)) {
    SetFocus(Item(Command_Ende));
  }
}

void MainWindow::CreateControls() {
  // Created in tab order: the dialog manager walks the children in creation order.
  for (int i = 0; i < kControlCount; ++i) {
    const Control control = Control(i);
    controls_[i] = CreateWindowExW(
        0, ClassFor(control), ToWide(Controls()[i].text).c_str(), StyleFor(control), 0, 0, 0, 0,
        window_, reinterpret_cast<HMENU>(INT_PTR{kFirstControlId + i}), instance_, nullptr);
    SendMessageW(controls_[i], WM_SETFONT, reinterpret_cast<WPARAM>(FontFor(control)), FALSE);
  }
  label1_width_ = Controls()[Label1].rect.width;
  message_top_ = Controls()[message_Label].rect.top;
  PlaceControls();
}

void MainWindow::CreateFonts() {
  LOGFONTW message_font = MessageFont(dpi_);
  default_font_ = CreateFontIndirectW(&message_font);
  arial_small_ = CreateArial(Controls()[Label1].font, dpi_);
  arial_bold_ = CreateArial(Controls()[message_Label].font, dpi_);
}

void MainWindow::DeleteFonts() {
  for (HFONT* font : {&default_font_, &arial_small_, &arial_bold_}) {
    if (*font != nullptr) DeleteObject(*font);
    *font = nullptr;
  }
}

HFONT MainWindow::FontFor(Control control) const {
  const Font& font = Controls()[control].font;
  if (font.centipoints == 0) return default_font_;
  return font.bold ? arial_bold_ : arial_small_;
}

void MainWindow::SetClientSize() {
  const SIZE outer =
      OuterSizeForClient(TwipsToPixels(kClientWidth, dpi_), TwipsToPixels(kClientHeight, dpi_),
                         kWindowStyle, kWindowExStyle, dpi_);
  SetWindowPos(window_, nullptr, 0, 0, outer.cx, outer.cy,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void MainWindow::PlaceControls() {
  for (int i = 0; i < kControlCount; ++i) {
    if (Item(i) == nullptr) return;
    Rect rect = ClientRect(Control(i));
    if (i == Label1) rect.width = label1_width_;
    if (i == message_Label) rect.top = message_top_;
    const Rect pixels = TwipsToPixels(rect, dpi_);
    MoveWindow(Item(i), pixels.left, pixels.top, pixels.width, pixels.height, TRUE);
  }
  FitMessageLine();
}

bool MainWindow::FitsMessageLine(std::string_view utf8) const {
  HWND label = Item(message_Label);
  RECT client;
  GetClientRect(label, &client);
  const std::wstring text = ToWide(utf8);
  HDC dc = GetDC(label);
  HGDIOBJ previous = SelectObject(dc, FontFor(message_Label));
  SIZE size{};
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
  SelectObject(dc, previous);
  ReleaseDC(label, dc);
  return size.cx <= client.right;
}

void MainWindow::FitMessageLine() {
  HWND label = Item(message_Label);
  if (label == nullptr) return;
  RECT rect;
  GetWindowRect(label, &rect);
  MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&rect), 2);
  const std::wstring text = TextOf(label);
  RECT measured{0, 0, rect.right - rect.left, 0};
  HDC dc = GetDC(label);
  HGDIOBJ previous = SelectObject(dc, FontFor(message_Label));
  TEXTMETRICW metrics{};
  GetTextMetricsW(dc, &metrics);
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &measured,
            kMessageFormat | DT_CALCRECT);
  SelectObject(dc, previous);
  ReleaseDC(label, dc);
  // An empty line still keeps the height of one line of text.
  const int height = std::max<int>(measured.bottom, metrics.tmHeight);
  SetWindowPos(label, nullptr, 0, 0, rect.right - rect.left, height,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace kal2map::ui
