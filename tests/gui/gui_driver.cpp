// Black-box test of kal2map.exe in a real window: copies the program and the example
// calibration files into a folder with a non-ANSI name, starts the program there, reads its
// controls as UI automation would (text, visibility, position), drives it with button
// messages and key presses, and compares the maps it writes with the golden ones.
//
//   gui_driver.exe PROGRAM.exe EXAMPLES_FOLDER WORK_FOLDER [SCREENSHOT.bmp]
//
// The program runs in a folder below WORK_FOLDER, which is created and left behind.
//
// Exit status 0 when every check passed. Every wait has a time limit, so it never hangs.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/utf16.h"
#include "ui/form_layout.h"

namespace {

namespace ui = kal2map::ui;
using kal2map::ToUtf8;
using kal2map::ToWide;

int failures = 0;

// Carriage returns and line feeds made visible, so a failed text comparison shows them.
std::string Shown(const std::wstring& wide) {
  std::string text;
  for (char c : ToUtf8(wide)) {
    if (c == '\r') {
      text += "\\r";
    } else if (c == '\n') {
      text += "\\n";
    } else {
      text += c;
    }
  }
  return text;
}

void Check(bool ok, const std::string& what) {
  if (ok) return;
  ++failures;
  std::printf("FAIL: %s\n", what.c_str());
  std::fflush(stdout);
}

void CheckText(const std::wstring& actual, const std::wstring& expected, const std::string& what) {
  Check(actual == expected,
        what + ": \"" + Shown(actual) + "\", expected \"" + Shown(expected) + "\"");
}

[[noreturn]] void Fatal(const std::string& what) {
  std::printf("FATAL: %s\n", what.c_str());
  std::fflush(stdout);
  std::exit(2);
}

void Phase(const char* name) {
  std::printf("[%s]\n", name);
  std::fflush(stdout);
}

// Command-line paths may come in Unix form; Wine maps the root to drive Z:.
std::wstring WindowsPath(std::wstring path) {
  if (!path.empty() && path[0] == L'/') path = L"Z:" + path;
  std::replace(path.begin(), path.end(), L'/', L'\\');
  wchar_t full[4096];
  DWORD n = GetFullPathNameW(path.c_str(), 4096, full, nullptr);
  if (n == 0 || n >= 4096) Fatal("bad path " + ToUtf8(path));
  path.assign(full, n);
  if (path.back() == L'\\') path.pop_back();
  return path;
}

std::string ReadBytes(const std::wstring& path) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "<missing>";
  std::string bytes;
  char buffer[65536];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0)
    bytes.append(buffer, got);
  CloseHandle(file);
  return bytes;
}

void WriteBytes(const std::wstring& path, const std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) Fatal("cannot write " + ToUtf8(path));
  DWORD written = 0;
  WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
}

std::vector<std::wstring> KalNames(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\*.kal").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    names.emplace_back(found.cFileName);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  std::sort(names.begin(), names.end());
  return names;
}

std::wstring MapName(const std::wstring& kal) { return kal.substr(0, kal.size() - 4) + L".map"; }

struct Folders {
  std::wstring examples, work;
  std::vector<std::wstring> kals;
};

void RemoveMaps(const Folders& folders) {
  for (const auto& kal : folders.kals) DeleteFileW((folders.work + L"\\" + MapName(kal)).c_str());
}

// ---- the program's window, seen from outside --------------------------------------------

constexpr DWORD kTimeoutMs = 20000;

std::wstring TextOf(HWND window) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(window, WM_GETTEXTLENGTH, 0, 0, SMTO_NORMAL, kTimeoutMs, &length)) {
    Fatal("window does not answer WM_GETTEXTLENGTH");
  }
  std::wstring text(length + 1, L'\0');
  DWORD_PTR copied = 0;
  SendMessageTimeoutW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                      SMTO_NORMAL, kTimeoutMs, &copied);
  text.resize(copied);
  return text;
}

std::wstring ClassOf(HWND window) {
  wchar_t name[256] = {};
  GetClassNameW(window, name, 256);
  return name;
}

RECT RectIn(HWND child, HWND parent) {
  RECT rect;
  GetWindowRect(child, &rect);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&rect), 2);
  return rect;
}

// Waits until the program's thread takes messages again: after a conversion, or inside the
// modal loop of a message box.
void WaitIdle(HWND window) {
  DWORD_PTR ignored;
  if (!SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, kTimeoutMs, &ignored)) {
    Fatal("program does not respond");
  }
}

struct Search {
  DWORD pid;
  const wchar_t* class_name;
  HWND found;
};

HWND FindTopLevel(DWORD pid, const wchar_t* class_name) {
  Search search{pid, class_name, nullptr};
  EnumWindows(
      [](HWND window, LPARAM param) -> BOOL {
        auto* search = reinterpret_cast<Search*>(param);
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        if (pid != search->pid || !IsWindowVisible(window)) return TRUE;
        if (search->class_name != nullptr && ClassOf(window) != search->class_name) return TRUE;
        search->found = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND FindChild(HWND parent, const wchar_t* class_name, const std::wstring& text) {
  for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (ClassOf(child) == class_name && TextOf(child) == text) return child;
  }
  return nullptr;
}

struct Program {
  PROCESS_INFORMATION process{};
  HWND window = nullptr;
};

Program Start(const std::wstring& exe, const std::wstring& cwd) {
  Program program;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  std::wstring command = L"\"" + exe + L"\"";
  if (!CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, cwd.c_str(),
                      &startup, &program.process)) {
    Fatal("cannot start " + ToUtf8(exe));
  }
  WaitForInputIdle(program.process.hProcess, kTimeoutMs);
  for (int i = 0; i < 200 && program.window == nullptr; ++i) {
    program.window = FindTopLevel(program.process.dwProcessId, L"kal2map.Quirel");
    if (program.window == nullptr) Sleep(100);
  }
  if (program.window == nullptr) Fatal("the window did not appear");
  WaitIdle(program.window);
  return program;
}

// Ends the program if a check left it running, so the test never leaves processes behind.
void Kill(Program& program) {
  if (WaitForSingleObject(program.process.hProcess, 0) == WAIT_TIMEOUT) {
    TerminateProcess(program.process.hProcess, 99);
  }
  CloseHandle(program.process.hThread);
  CloseHandle(program.process.hProcess);
}

HWND Focus(const Program& program) {
  GUITHREADINFO info{};
  info.cbSize = sizeof(info);
  GetGUIThreadInfo(program.process.dwThreadId, &info);
  return info.hwndFocus;
}

// Presses `vk`, with `modifier` (VK_SHIFT, VK_MENU) held down if given.
void Key(WORD vk, WORD modifier = 0) {
  std::vector<INPUT> inputs;
  auto add = [&](WORD key, bool up) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = key;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(key, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
    inputs.push_back(input);
  };
  if (modifier != 0) add(modifier, false);
  add(vk, false);
  add(vk, true);
  if (modifier != 0) add(modifier, true);
  SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
}

// Presses `button` without waiting for its handler, which may open a modal box. Sent, not
// posted: the program handles sent messages in order, so a later WaitIdle waits for this one.
void Press(HWND button) { SendNotifyMessageW(button, BM_CLICK, 0, 0); }

// Key presses reach the program after any message sent to it, so waits after them poll.
template <typename Condition>
bool WaitFor(Condition condition) {
  for (int i = 0; i < 400; ++i) {
    if (condition()) return true;
    Sleep(50);
  }
  return false;
}

bool WaitFocus(const Program& program, HWND control) {
  return WaitFor([&] { return Focus(program) == control; });
}

// After a press: the warning box the program opened, or null when the run ended without one.
HWND AwaitRun(const Program& program) {
  WaitIdle(program.window);
  for (int i = 0; i < 10; ++i) {
    if (HWND box = FindTopLevel(program.process.dwProcessId, L"#32770")) return box;
    Sleep(50);
  }
  return nullptr;
}

// After a key press that starts a conversion: waits until every map is back (they were
// removed before), then as AwaitRun.
HWND AwaitKeyedRun(const Program& program, const Folders& folders) {
  WaitFor([&] {
    if (FindTopLevel(program.process.dwProcessId, L"#32770") != nullptr) return true;
    for (const auto& kal : folders.kals) {
      if (GetFileAttributesW((folders.work + L"\\" + MapName(kal)).c_str()) ==
          INVALID_FILE_ATTRIBUTES) {
        return false;
      }
    }
    return true;
  });
  return AwaitRun(program);
}

void CloseBox(HWND box) {
  HWND ok = FindChild(box, L"Button", L"OK");
  Check(ok != nullptr, "the warning box has an OK button");
  if (ok != nullptr) {
    Press(ok);
  } else {
    PostMessageW(box, WM_COMMAND, IDOK, 0);
  }
  for (int i = 0; i < 200 && IsWindow(box); ++i) Sleep(50);
  Check(!IsWindow(box), "the warning box closes");
}

std::wstring BoxText(HWND box) {
  std::wstring text;
  for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    if (ClassOf(child) == L"Static") text += TextOf(child);
  }
  return text;
}

// Writes the window as it is on the screen to a 24-bit BMP file.
void Screenshot(HWND window, const std::wstring& path) {
  RECT rect;
  GetWindowRect(window, &rect);
  const int width = rect.right - rect.left;
  const int height = rect.bottom - rect.top;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ previous = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
  GdiFlush();
  const DWORD row = static_cast<DWORD>((width * 3 + 3) & ~3);
  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
  file.bfSize = file.bfOffBits + row * static_cast<DWORD>(height);
  std::string bytes(reinterpret_cast<const char*>(&file), sizeof(file));
  bytes.append(reinterpret_cast<const char*>(&info.bmiHeader), sizeof(BITMAPINFOHEADER));
  bytes.append(static_cast<const char*>(bits), row * static_cast<DWORD>(height));
  WriteBytes(path, bytes);
  SelectObject(memory, previous);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
}

// ---- what the window must look like -----------------------------------------------------

// What the layout leaves to the window code: the class and type bits each control is created
// with, whether it shows while the extension choice is hidden, and whether it keeps the text it
// was created with (the instructions and the message line get theirs later).
struct Expected {
  const wchar_t* class_name;
  DWORD type;  // BS_* or SS_* type bits
  bool visible;
  bool keeps_text;
};

// Indexed by ui::Control: in tab order, which is also the order of the child windows.
const Expected kExpected[] = {
    {L"Button", BS_PUSHBUTTON, true, true},        // Command_Ende
    {L"Button", BS_PUSHBUTTON, true, true},        // Command_konv
    {L"Static", SS_LEFT, true, false},             // Label1
    {L"Static", SS_CENTER, true, false},           // message_Label
    {L"Static", SS_LEFT, false, true},             // Label2
    {L"Button", BS_GROUPBOX, false, true},         // Frame1
    {L"Button", BS_AUTORADIOBUTTON, false, true},  // Option1(0)
    {L"Button", BS_AUTORADIOBUTTON, false, true},  // Option1(1)
    {L"Button", BS_AUTORADIOBUTTON, false, true},  // Option1(2)
    {L"Button", BS_AUTORADIOBUTTON, false, true},  // Option1(3)
    {L"Static", SS_LEFT, false, true},             // Label3
};
static_assert(std::size(kExpected) == ui::kControlCount);

std::string NameOf(int control) { return std::string(ui::Controls()[control].name); }

const wchar_t kCaption[] = L"Tivara.kal  -->  Ozi.map   (by Vemto)";
const wchar_t kInstructions[] =
    L"i) Diese Routine in das Verzeichnis kopieren, in denen die zu konvertierenden kal-Dateien "
    L"stehen und dort starten.\r\rii) Es werden alle kal-Dateien des Verzeichnisses in map- "
    L"Dateien konvertiert (existierende werden \u00fcberschrieben).\r\riii) Diese map-Dateien "
    L"einmal in OziExplorer laden und speichern. Fertig.";
constexpr UINT kExtChoiceCommand = 0x0010;

struct Form {
  const Program* program;
  int dpi;
  std::vector<HWND> controls;

  int Px(int twips) const { return MulDiv(twips, dpi, ui::kTwipsPerInch); }
  int Twips(int pixels) const { return MulDiv(pixels, ui::kTwipsPerInch, dpi); }
  HWND operator[](int i) const { return controls[static_cast<std::size_t>(i)]; }
  RECT Rect(int i) const { return RectIn(controls[static_cast<std::size_t>(i)], program->window); }
  std::wstring Message() const { return TextOf(controls[ui::message_Label]); }
  int Label1WidthForOuter() const {
    RECT outer;
    GetWindowRect(program->window, &outer);
    return Twips(outer.right - outer.left) - ui::kLabel1OuterWidthInset;
  }
};

Form ReadForm(const Program& program) {
  Form form{&program, 96, {}};
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  auto get_dpi = reinterpret_cast<GetDpiForWindowFn>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  if (get_dpi != nullptr && get_dpi(program.window) > 0) form.dpi = get_dpi(program.window);
  for (HWND c = GetWindow(program.window, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    form.controls.push_back(c);
  }
  if (form.controls.size() != ui::kControlCount) {
    Fatal("the window has " + std::to_string(form.controls.size()) + " controls, expected " +
          std::to_string(ui::kControlCount));
  }
  return form;
}

void CheckRect(const Form& form, int i, int message_top) {
  const ui::Rect twips = ui::ClientRect(ui::Control(i));
  const RECT r = form.Rect(i);
  const int top = i == ui::message_Label ? message_top : twips.top;
  auto where = [&] {
    return NameOf(i) + " at " + std::to_string(r.left) + "," + std::to_string(r.top) + " size " +
           std::to_string(r.right - r.left) + "x" + std::to_string(r.bottom - r.top);
  };
  Check(r.left == form.Px(twips.left) && r.top == form.Px(top), where() + ": position");
  if (i == ui::Label1) {
    Check(r.right == form.Px(twips.left + form.Label1WidthForOuter()), where() + ": width");
  } else {
    Check(r.right == form.Px(twips.left + twips.width), where() + ": width");
  }
  if (i != ui::message_Label) Check(r.bottom == form.Px(top + twips.height), where() + ": height");
}

// The message line is as high as its text needs at its width, at least one line.
void CheckMessageHeight(const Form& form) {
  const RECT r = form.Rect(ui::message_Label);
  const ui::Font& arial = ui::Controls()[ui::message_Label].font;
  HDC dc = GetDC(nullptr);
  HFONT font =
      CreateFontW(-MulDiv(arial.centipoints, form.dpi, ui::kCentipointsPerInch), 0, 0, 0,
                  arial.bold ? FW_BOLD : FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0, L"Arial");
  HGDIOBJ previous = SelectObject(dc, font);
  const std::wstring text = form.Message();
  RECT need{0, 0, r.right - r.left, 0};
  DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &need,
            DT_CALCRECT | DT_CENTER | DT_WORDBREAK | DT_EDITCONTROL | DT_NOPREFIX);
  TEXTMETRICW metrics;
  GetTextMetricsW(dc, &metrics);
  SelectObject(dc, previous);
  DeleteObject(font);
  ReleaseDC(nullptr, dc);
  const int height = r.bottom - r.top;
  Check(height >= need.bottom && height >= metrics.tmHeight &&
            height <= std::max<int>(need.bottom, metrics.tmHeight) + 2,
        "message_Label height " + std::to_string(height) + " fits its text (" +
            std::to_string(need.bottom) + ")");
}

void CheckForm(const Form& form, bool choice_shown) {
  for (int i = 0; i < ui::kControlCount; ++i) {
    const Expected& e = kExpected[i];
    const std::string name = NameOf(i);
    HWND c = form[i];
    Check(ClassOf(c) == e.class_name, name + ": class " + ToUtf8(ClassOf(c)));
    const LONG style = GetWindowLongW(c, GWL_STYLE);
    const DWORD type =
        static_cast<DWORD>(style) & (e.class_name[0] == L'B' ? BS_TYPEMASK : SS_TYPEMASK);
    Check(type == e.type || (e.type == BS_PUSHBUTTON && type == BS_DEFPUSHBUTTON),
          name + ": control type");
    if (e.keeps_text) CheckText(TextOf(c), ToWide(ui::Controls()[i].text), name);
    const bool visible = e.visible || choice_shown;
    Check((IsWindowVisible(c) != FALSE) == visible,
          name + (visible ? " is visible" : " is hidden"));
    CheckRect(form, i, choice_shown ? ui::kMessageTopChoiceShown : ui::kMessageTopChoiceHidden);
  }
  CheckMessageHeight(form);
}

bool Checked(HWND option) {
  DWORD_PTR state = 0;
  SendMessageTimeoutW(option, BM_GETCHECK, 0, 0, SMTO_NORMAL, kTimeoutMs, &state);
  return state == BST_CHECKED;
}

// ---- maps -------------------------------------------------------------------------------

std::wstring Created(const Folders& folders, const std::wstring& kal) {
  return folders.work + L"\\" + MapName(kal) + L" wurde erstellt.";
}

void CheckMapsAreGolden(const Folders& folders, const std::vector<std::wstring>& skip = {}) {
  for (const auto& kal : folders.kals) {
    if (std::find(skip.begin(), skip.end(), kal) != skip.end()) continue;
    const std::wstring map = MapName(kal);
    const std::string actual = ReadBytes(folders.work + L"\\" + map);
    Check(actual == ReadBytes(folders.examples + L"\\" + map),
          ToUtf8(map) + " equals the golden map byte for byte, begins: " + actual.substr(0, 80));
  }
}

// The golden line with the image's extension replaced: the text after the last point of the
// file name (not a point in a folder name or at its start).
std::string WithExtension(const std::string& line, const std::string& ext) {
  const std::size_t name =
      line.find_last_of('\\') == std::string::npos ? 0 : line.find_last_of('\\') + 1;
  const std::size_t point = line.find_last_of('.');
  if (point == std::string::npos || point <= name) return line + ext;
  return line.substr(0, point) + ext;
}

void CheckMapsHaveExtension(const Folders& folders, const std::string& ext) {
  for (const auto& kal : folders.kals) {
    const std::wstring map = MapName(kal);
    std::istringstream golden(ReadBytes(folders.examples + L"\\" + map));
    std::string expected, line;
    for (int number = 1; std::getline(golden, line, '\n'); ++number) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      expected += (number == 2 || number == 3 ? WithExtension(line, ext) : line) + "\r\n";
    }
    Check(ReadBytes(folders.work + L"\\" + map) == expected,
          ToUtf8(map) + " names the image with " + ext);
  }
}

// The resources a Windows user relies on without seeing them: the manifest that selects the
// visual styles and per-monitor DPI awareness, the version information and the icon.
void CheckResources(const std::wstring& exe) {
  Phase("resources");
  HMODULE module = LoadLibraryExW(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (module == nullptr) Fatal("cannot open the program's resources");
  std::string manifest;
  if (HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24))) {
    manifest.assign(static_cast<const char*>(LockResource(LoadResource(module, found))),
                    SizeofResource(module, found));
  }
  Check(manifest.find("Microsoft.Windows.Common-Controls") != std::string::npos &&
            manifest.find("6.0.0.0") != std::string::npos,
        "the manifest asks for common controls 6");
  Check(manifest.find("PerMonitorV2") != std::string::npos &&
            manifest.find("true/pm") != std::string::npos,
        "the manifest declares per-monitor DPI awareness");
  Check(FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(16)) != nullptr,
        "the program has version information");
  Check(FindResourceW(module, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(14)) != nullptr,
        "the program has an icon");
  FreeLibrary(module);
}

// ---- the test, phase by phase -----------------------------------------------------------

void CopyOrDie(const std::wstring& from, const std::wstring& to) {
  if (!CopyFileW(from.c_str(), to.c_str(), FALSE)) Fatal("cannot copy " + ToUtf8(from));
}

// A folder name outside Windows-1252 proves that paths never pass through the code page.
Folders MakeWorkFolder(const std::wstring& exe_source, const Folders& source,
                       const std::wstring& karten) {
  Folders folders{source.examples, karten + L"\\Polska 1_50.000 \u2013 \u0141\u00f3d\u017a",
                  source.kals};
  CreateDirectoryW(karten.c_str(), nullptr);
  CreateDirectoryW(folders.work.c_str(), nullptr);
  CopyOrDie(exe_source, folders.work + L"\\kal2map.exe");
  for (const auto& kal : folders.kals) {
    CopyOrDie(source.examples + L"\\" + kal, folders.work + L"\\" + kal);
  }
  return folders;
}

// Started from another folder: the program converts its own folder, not the current one.
Program StartElsewhere(const std::wstring& exe, const std::wstring& other_folder) {
  Phase("start");
  return Start(exe, other_folder);
}

void CheckFirstDisplay(const Program& program, const Form& form, const Folders& folders) {
  CheckText(TextOf(program.window), kCaption, "caption");
  RECT client;
  GetClientRect(program.window, &client);
  Check(client.right == form.Px(ui::kClientWidth) && client.bottom == form.Px(ui::kClientHeight),
        "client area " + std::to_string(client.right) + "x" + std::to_string(client.bottom) +
            " is " + std::to_string(ui::kClientWidth) + " x " + std::to_string(ui::kClientHeight) +
            " twips");
  CheckForm(form, false);
  CheckText(TextOf(form[ui::Label1]), kInstructions, "Label1");
  CheckText(form.Message(), folders.work + L"\\", "message line at start");
  Check(Focus(program) == form[ui::Command_Ende], "Ende has the focus at start");
  Check(Checked(form[ui::Option1]) && !Checked(form[ui::Option1 + 2]), "<nicht ändern> is chosen");
}

// For a run that must end without a warning box; one that opens anyway is closed, so that the
// later phases still find the window taking input.
void ExpectNoBox(HWND box, const std::string& what) {
  Check(box == nullptr, what);
  if (box != nullptr) CloseBox(box);
}

void ConvertExamples(const Program& program, const Form& form, const Folders& folders,
                     const std::wstring& screenshot) {
  Phase("convert");
  Press(form[ui::Command_konv]);
  ExpectNoBox(AwaitRun(program), "no warning box after a clean run");
  CheckMapsAreGolden(folders);
  CheckText(form.Message(), Created(folders, folders.kals.back()), "message line after the run");
  CheckMessageHeight(form);
  if (!screenshot.empty()) Screenshot(program.window, screenshot);
}

void CheckFailureBox(HWND box, const Folders& folders, const std::wstring& protected_map,
                     const std::wstring& locked_kal) {
  Check(box != nullptr, "a warning box lists the failed files");
  if (box == nullptr) return;
  const std::wstring text = BoxText(box);
  CheckText(TextOf(box), kCaption, "warning box caption");
  Check(text.find(protected_map + L":") != std::wstring::npos,
        "the box names the write-protected map: " + Shown(text));
  Check(text.find(locked_kal + L":") != std::wstring::npos,
        "the box names the locked calibration file: " + Shown(text));
  Check(text.find(folders.work + L"\\" + MapName(folders.kals[2])) == std::wstring::npos,
        "the box names only failed files");
  CloseBox(box);
}

void ConvertWithFailures(const Program& program, const Form& form, const Folders& folders) {
  Phase("failures");
  // The first map is write-protected, the second calibration file is held open exclusively.
  const std::wstring protected_map = folders.work + L"\\" + MapName(folders.kals[0]);
  const std::wstring locked_kal = folders.work + L"\\" + folders.kals[1];
  WriteBytes(protected_map, "alt\r\n");
  SetFileAttributesW(protected_map.c_str(), FILE_ATTRIBUTE_READONLY);
  HANDLE lock =
      CreateFileW(locked_kal.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  Check(lock != INVALID_HANDLE_VALUE, "calibration file locked");
  Press(form[ui::Command_konv]);
  CheckFailureBox(AwaitRun(program), folders, protected_map, locked_kal);
  CloseHandle(lock);
  Check(ReadBytes(protected_map) == "alt\r\n", "the write-protected map is left as it was");
  CheckMapsAreGolden(folders, {folders.kals[0]});
  CheckText(form.Message(), Created(folders, folders.kals.back()),
            "message line names the last map written");
  Check(IsWindowVisible(program.window) &&
            WaitForSingleObject(program.process.hProcess, 0) == WAIT_TIMEOUT,
        "the window stays open after failures");
  SetFileAttributesW(protected_map.c_str(), FILE_ATTRIBUTE_NORMAL);
}

void ConvertByKeyboard(const Program& program, const Form& form, const Folders& folders) {
  Phase("keyboard");
  SetForegroundWindow(program.window);
  WaitIdle(program.window);
  Check(Focus(program) == form[ui::Command_konv],
        "the focus returns to Konvertieren after the box");
  Key(VK_TAB);
  Check(WaitFocus(program, form[ui::Command_Ende]), "Tab moves from Konvertieren to Ende");
  Key(VK_TAB, VK_SHIFT);
  Check(WaitFocus(program, form[ui::Command_konv]), "Shift+Tab moves back to Konvertieren");
  // A second run in the same window, by keyboard: Enter presses the focused button.
  RemoveMaps(folders);
  Key(VK_RETURN);
  ExpectNoBox(AwaitKeyedRun(program, folders),
              "no warning box once the files are accessible again");
  CheckMapsAreGolden(folders);
}

// As a user finds it: Alt+Space opens the system menu, whose last entry shows the choice.
void ShowExtensionChoice(const Program& program, const Form& form) {
  Key(VK_SPACE, VK_MENU);
  HWND menu_window = nullptr;
  Check(WaitFor([&] {
          menu_window = FindTopLevel(program.process.dwProcessId, L"#32768");
          return menu_window != nullptr;
        }),
        "Alt+Space opens the system menu");
  if (menu_window != nullptr) {
    // Wine gives no other process the menu's texts; choosing the entry shows that it works.
    Key(VK_UP);  // from no selection to the last entry
    Key(VK_RETURN);
  } else {
    SendNotifyMessageW(program.window, WM_SYSCOMMAND, kExtChoiceCommand, 0);
  }
  Check(WaitFor([&] { return IsWindowVisible(form[ui::Frame1]) != FALSE; }),
        "the system menu entry shows the choice");
  WaitIdle(program.window);
  CheckForm(form, true);
}

void ConvertWithPng(const Program& program, const Form& form, const Folders& folders) {
  Key(VK_TAB);  // from Konvertieren into the option group
  Check(WaitFocus(program, form[ui::Option1]), "Tab reaches the chosen option");
  Key(VK_DOWN);
  Key(VK_DOWN);
  Check(WaitFocus(program, form[ui::Option1 + 2]) && Checked(form[ui::Option1 + 2]) &&
            !Checked(form[ui::Option1]),
        "arrow keys choose .png");
  Key(VK_TAB, VK_SHIFT);
  Check(WaitFocus(program, form[ui::Command_konv]), "Shift+Tab leaves the option group");
  RemoveMaps(folders);
  Key(VK_SPACE);  // Space presses the focused button
  ExpectNoBox(AwaitKeyedRun(program, folders), "no warning box for the .png run");
  CheckMapsHaveExtension(folders, ".png");
}

// <nicht ändern> gives the golden maps again.
void ConvertWithoutChange(const Program& program, const Form& form, const Folders& folders) {
  Press(form[ui::Option1]);
  WaitIdle(program.window);
  Press(form[ui::Command_konv]);
  AwaitRun(program);
  CheckMapsAreGolden(folders);
}

void HideExtensionChoice(const Program& program, const Form& form) {
  SendNotifyMessageW(program.window, WM_SYSCOMMAND, kExtChoiceCommand, 0);
  WaitIdle(program.window);
  CheckForm(form, false);
  Check(IsWindowVisible(form[ui::Label3]) == FALSE && IsWindowVisible(form[ui::Frame1]) == FALSE,
        "the choice hides again");
}

void ChooseExtension(const Program& program, const Form& form, const Folders& folders) {
  Phase("extension choice");
  ShowExtensionChoice(program, form);
  ConvertWithPng(program, form, folders);
  ConvertWithoutChange(program, form, folders);
  HideExtensionChoice(program, form);
}

// Outer widths on either side of the one above which the instructions follow the window.
constexpr int kWideOuter = 7800;
constexpr int kNarrowOuter = 4500;
static_assert(kWideOuter > ui::kLabel1ResizeAbove && kNarrowOuter <= ui::kLabel1ResizeAbove);

int Label1Width(const Form& form) {
  const RECT label = form.Rect(ui::Label1);
  return label.right - label.left;
}

void ResizeOuter(const Program& program, int width, int height) {
  SetWindowPos(program.window, nullptr, 0, 0, width, height,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  WaitIdle(program.window);
}

void CheckResize(const Program& program, const Form& form) {
  Phase("resize");
  RECT outer;
  GetWindowRect(program.window, &outer);
  const int height = outer.bottom - outer.top;
  const int width_before = Label1Width(form);
  const int left = ui::ClientRect(ui::Label1).left;
  ResizeOuter(program, form.Px(kWideOuter), height);
  Check(
      Label1Width(form) == form.Px(left + kWideOuter - ui::kLabel1OuterWidthInset) - form.Px(left),
      "a wider window widens the instructions to the outer width minus " +
          std::to_string(ui::kLabel1OuterWidthInset) + " twips");
  const int wide = Label1Width(form);
  ResizeOuter(program, form.Px(kNarrowOuter), height);
  Check(Label1Width(form) == wide, "at " + std::to_string(ui::kLabel1ResizeAbove) +
                                       " twips or less the instructions keep their width");
  ResizeOuter(program, outer.right - outer.left, height);
  Check(Label1Width(form) == width_before, "the first size gives the first width again");
}

// A second copy of the program, in a folder without calibration files.
void ConvertEmptyFolder(const std::wstring& exe_source, const std::wstring& karten) {
  Phase("empty folder");
  const std::wstring empty = karten + L"\\leer";
  CreateDirectoryW(empty.c_str(), nullptr);
  CopyOrDie(exe_source, empty + L"\\kal2map.exe");
  Program other = Start(empty + L"\\kal2map.exe", empty);
  const Form form = ReadForm(other);
  Press(form[ui::Command_konv]);
  ExpectNoBox(AwaitRun(other), "no warning box for a folder without calibration files");
  CheckText(form.Message(), L"Keine kal-Dateien in " + empty + L"\\ gefunden.",
            "message line for a folder without calibration files");
  Press(form[ui::Command_Ende]);
  Check(WaitForSingleObject(other.process.hProcess, kTimeoutMs) == WAIT_OBJECT_0,
        "Ende ends the second program");
  Kill(other);
}

void CheckEnde(Program& program, const Form& form) {
  Phase("end");
  Press(form[ui::Command_Ende]);
  const DWORD waited = WaitForSingleObject(program.process.hProcess, kTimeoutMs);
  Check(waited == WAIT_OBJECT_0, "Ende ends the program");
  DWORD code = 99;
  GetExitCodeProcess(program.process.hProcess, &code);
  Check(code == 0, "exit code " + std::to_string(code));
  Kill(program);
}

int Run(const std::wstring& exe_source, const Folders& source, const std::wstring& karten,
        const std::wstring& screenshot) {
  const Folders folders = MakeWorkFolder(exe_source, source, karten);
  const std::wstring exe = folders.work + L"\\kal2map.exe";
  CheckResources(exe);
  Program program = StartElsewhere(exe, karten);
  const Form form = ReadForm(program);
  CheckFirstDisplay(program, form, folders);
  ConvertExamples(program, form, folders, screenshot);
  ConvertWithFailures(program, form, folders);
  ConvertByKeyboard(program, form, folders);
  ChooseExtension(program, form, folders);
  CheckResize(program, form);
  ConvertEmptyFolder(exe_source, karten);
  CheckEnde(program, form);

  std::printf(failures == 0 ? "PASS\n" : "%d check(s) failed\n", failures);
  return failures == 0 ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 4) {
    std::fprintf(stderr,
                 "usage: gui_driver PROGRAM.exe EXAMPLES_FOLDER WORK_FOLDER [SCREENSHOT.bmp]\n");
    return 2;
  }
  Folders source{WindowsPath(argv[2]), {}, {}};
  source.kals = KalNames(source.examples);
  if (source.kals.size() < 3) Fatal("need at least three example calibration files");
  return Run(WindowsPath(argv[1]), source, WindowsPath(argv[3]),
             argc > 4 ? WindowsPath(argv[4]) : std::wstring());
}
