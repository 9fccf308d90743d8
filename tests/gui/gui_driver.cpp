// Black-box test of kal2map.exe in a real window: copies the program and the example
// calibration files into a folder with a non-ANSI name, starts the program there, reads its
// controls as UI automation would (text, visibility, position), drives it with button
// messages, key presses, drops and its start-up arguments, and compares the maps it writes
// with the golden ones.
//
//   gui_driver.exe PROGRAM.exe EXAMPLES_FOLDER WORK_FOLDER [SCREENSHOT.bmp]
//
// The program runs in a folder below WORK_FOLDER, which is created and left behind. If
// WORK_FOLDER\Baum\B gesperrt exists, it is a folder that cannot be listed, made by the
// script that runs the test.
//
// Exit status 0 when every check passed. Every wait has a time limit, so it never hangs.
#include <shlobj.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/utf16.h"
#include "ui/form_layout.h"
#include "ui/resource.h"

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

// `args` are quoted one by one, as the shell passes dropped items.
Program Start(const std::wstring& exe, const std::wstring& cwd,
              const std::vector<std::wstring>& args = {}) {
  Program program;
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  std::wstring command = L"\"" + exe + L"\"";
  for (const auto& arg : args) command += L" \"" + arg + L"\"";
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

HWND KonvertierenOf(HWND window) {
  // The children are in tab order: Ende, then Konvertieren.
  return GetWindow(GetWindow(window, GW_CHILD), GW_HWNDNEXT);
}

// After a press of Konvertieren: waits until the run is over, which gives the button back,
// and returns the warning box the program opened, or null when the run ended without one.
HWND AwaitRun(const Program& program) {
  WaitIdle(program.window);
  HWND konv = KonvertierenOf(program.window);
  const bool over = WaitFor([&] {
    return IsWindowEnabled(konv) || FindTopLevel(program.process.dwProcessId, L"#32770");
  });
  if (!over) Fatal("the run does not end");
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
constexpr UINT kExtChoiceCommand = IDM_EXT_CHOICE;

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

// The message line's font at the form's DPI, as the program makes it; the caller deletes it.
HFONT MessageFont(const Form& form) {
  const ui::Font& arial = ui::Controls()[ui::message_Label].font;
  return CreateFontW(-MulDiv(arial.centipoints, form.dpi, ui::kCentipointsPerInch), 0, 0, 0,
                     arial.bold ? FW_BOLD : FW_NORMAL, 0, 0, 0, DEFAULT_CHARSET, 0, 0, 0, 0,
                     L"Arial");
}

// The message line is as high as its text needs at its width, at least one line.
void CheckMessageHeight(const Form& form) {
  const RECT r = form.Rect(ui::message_Label);
  HDC dc = GetDC(nullptr);
  HFONT font = MessageFont(form);
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

// The overview goes into the folder shown.
void ConvertWithOverview(const Program& program, const Form& form, const Folders& folders) {
  SendNotifyMessageW(program.window, WM_SYSCOMMAND, IDM_OVERVIEW, 0);
  Press(form[ui::Command_konv]);
  ExpectNoBox(AwaitRun(program), "no warning box with an overview");
  const std::wstring overview = folders.work + L"\\\u00dcbersicht.geojson";
  Check(ReadBytes(overview).find("\"Feature\"") != std::string::npos,
        "the overview is in the folder shown");
  DeleteFileW(overview.c_str());
  SendNotifyMessageW(program.window, WM_SYSCOMMAND, IDM_OVERVIEW, 0);
}

// So does the map of all sheets; these sheets have no images, so there is none, and the box
// names the file and why.
void ConvertWithMosaic(const Program& program, const Form& form, const Folders& folders) {
  SendNotifyMessageW(program.window, WM_SYSCOMMAND, IDM_MBTILES, 0);
  Press(form[ui::Command_konv]);
  const HWND box = AwaitRun(program);
  const std::wstring text = box != nullptr ? BoxText(box) : L"";
  Check(text.find(folders.work + L"\\Alle Bl\u00e4tter.mbtiles:") != std::wstring::npos &&
            text.find(L"Kein Blatt") != std::wstring::npos,
        "the box names the map of all sheets in the folder shown: " + Shown(text));
  if (box != nullptr) CloseBox(box);
  SendNotifyMessageW(program.window, WM_SYSCOMMAND, IDM_MBTILES, 0);
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

// ---- choosing what to convert, and long runs ---------------------------------------------

std::vector<std::wstring> Names(const std::wstring& pattern) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW(pattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.emplace_back(found.cFileName);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return names;
}

std::vector<std::wstring> MapsIn(const std::wstring& folder) { return Names(folder + L"\\*.map"); }

// A folder holding copies of the example calibration files.
Folders CopyExamples(const Folders& source, const std::wstring& folder,
                     const std::vector<std::wstring>& kals) {
  CreateDirectoryW(folder.c_str(), nullptr);
  for (const auto& kal : kals) CopyOrDie(source.examples + L"\\" + kal, folder + L"\\" + kal);
  return {source.examples, folder, kals};
}

HWND AwaitBox(const Program& program) {
  HWND box = nullptr;
  WaitFor([&] {
    box = FindTopLevel(program.process.dwProcessId, L"#32770");
    return box != nullptr;
  });
  return box;
}

// A box that names `path`, the one thing it must say; closed afterwards.
void CheckBoxNames(HWND box, const std::wstring& path, const std::string& what) {
  Check(box != nullptr, what + ": a box opens");
  if (box == nullptr) return;
  const std::wstring text = BoxText(box);
  Check(text.find(path) != std::wstring::npos,
        what + ": the box names " + ToUtf8(path) + ": " + Shown(text));
  CloseBox(box);
}

void End(Program& program) {
  Press(GetWindow(program.window, GW_CHILD));  // Ende, the first child
  Check(WaitForSingleObject(program.process.hProcess, kTimeoutMs) == WAIT_OBJECT_0,
        "Ende ends the program");
  Kill(program);
}

// Started with paths, as Windows starts it for items dropped on its icon or sent to it: a
// folder, and a file that is neither a folder nor a calibration file.
void StartWithPaths(const std::wstring& exe, const Folders& folders, const std::wstring& karten) {
  Phase("start with paths");
  const Folders target = CopyExamples(folders, karten + L"\\Ziel", folders.kals);
  const std::wstring other = karten + L"\\nichts.txt";
  WriteBytes(other, "x");
  RemoveMaps(folders);
  // A folder with a backslash at its end, as the shell passes a drive root: "D:\\".
  Program program = Start(exe, karten, {target.work + L"\\", other});
  CheckBoxNames(AwaitBox(program), other, "a path that is not taken");
  const Form form = ReadForm(program);
  CheckText(form.Message(), target.work + L"\\", "the message line names the folder given");
  Press(form[ui::Command_konv]);
  ExpectNoBox(AwaitRun(program), "no warning box for the folder given");
  CheckMapsAreGolden(target);
  Check(MapsIn(folders.work).empty() && MapsIn(karten).empty(),
        "no map outside the folder given at start");
  End(program);
}

// Map archives nest deeper than the 260 characters old Windows paths allowed. Windows cannot
// start a program from such a folder, but the program, started with one, converts it.
void StartWithDeepFolder(const std::wstring& exe, const Folders& folders,
                         const std::wstring& karten) {
  Phase("start with a folder deeper than 300 characters");
  std::wstring deep = karten + L"\\Tief";
  CreateDirectoryW(deep.c_str(), nullptr);
  while (deep.size() <= 300) {
    deep += L"\\" + std::wstring(40, L'x');
    CreateDirectoryW(deep.c_str(), nullptr);
  }
  const Folders target = CopyExamples(folders, deep + L"\\Bl\u00e4tter", folders.kals);
  Program program = Start(exe, karten, {target.work});
  const Form form = ReadForm(program);
  CheckText(form.Message(), target.work + L"\\", "the message line names the deep folder");
  Press(form[ui::Command_konv]);
  ExpectNoBox(AwaitRun(program), "no warning box for the deep folder");
  CheckMapsAreGolden(target);
  End(program);
}

// The shell's drop format: a DROPFILES header, then the names in UTF-16, each ended by a NUL,
// and one more NUL at the end.
std::string DropFiles(const std::vector<std::wstring>& paths) {
  DROPFILES header{};
  header.pFiles = sizeof(header);
  header.fWide = TRUE;
  std::string block(reinterpret_cast<const char*>(&header), sizeof(header));
  for (const auto& path : paths) {
    block.append(reinterpret_cast<const char*>(path.c_str()), (path.size() + 1) * sizeof(wchar_t));
  }
  block.append(sizeof(wchar_t), '\0');
  return block;
}

// Drops `paths` on the window, the DROPFILES block carried into the program by drop_hook.dll,
// and waits until the message line says `expected` or a box opens, which is returned.
HWND Drop(const Program& program, const std::vector<std::wstring>& paths,
          const std::wstring& expected) {
  static const UINT message = RegisterWindowMessageW(L"kal2map.test.drop");
  wchar_t driver[MAX_PATH];
  GetModuleFileNameW(nullptr, driver, MAX_PATH);
  std::wstring dll = driver;
  dll = dll.substr(0, dll.find_last_of(L'\\') + 1) + L"kal2map_drop_hook.dll";
  HMODULE module = LoadLibraryW(dll.c_str());
  auto hook_proc = reinterpret_cast<HOOKPROC>(
      reinterpret_cast<void*>(module ? GetProcAddress(module, "DropHook") : nullptr));
  if (hook_proc == nullptr) Fatal("cannot load " + ToUtf8(dll));
  const std::string block = DropFiles(paths);
  HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                      static_cast<DWORD>(block.size()), L"kal2map.test.drop");
  void* view = MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, block.size());
  if (view == nullptr) Fatal("cannot share the drop");
  std::memcpy(view, block.data(), block.size());
  UnmapViewOfFile(view);
  HHOOK hook = SetWindowsHookExW(WH_GETMESSAGE, hook_proc, module, program.process.dwThreadId);
  if (hook == nullptr) Fatal("cannot hook the program's messages");
  PostMessageW(program.window, message, block.size(), 0);
  HWND box = nullptr;
  const HWND label = GetWindow(KonvertierenOf(program.window), GW_HWNDNEXT);
  const HWND message_line = GetWindow(label, GW_HWNDNEXT);
  Check(WaitFor([&] {
          box = FindTopLevel(program.process.dwProcessId, L"#32770");
          return box != nullptr || TextOf(message_line) == expected;
        }),
        "the drop arrives");
  UnhookWindowsHookEx(hook);
  CloseHandle(mapping);
  FreeLibrary(module);
  return box;
}

bool CanList(const std::wstring& folder) {
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  return true;
}

// A tree dropped on the window and converted with subfolders: depth first in name order, the
// hidden folder left out, and an unreadable folder reported while the rest is converted.
void ConvertTree(const Program& program, const Form& form, const Folders& folders,
                 const std::wstring& karten) {
  Phase("drop and subfolders");
  const std::wstring baum = karten + L"\\Baum";
  CreateDirectoryW(baum.c_str(), nullptr);
  const auto& kals = folders.kals;
  const std::vector<Folders> tree = {
      CopyExamples(folders, baum, {kals[0]}),
      CopyExamples(folders, baum + L"\\A", {kals[1]}),
      CopyExamples(folders, baum + L"\\A\\A1", {kals[2]}),
      CopyExamples(folders, baum + L"\\C", {kals[0], kals[1]}),
  };
  const Folders hidden = CopyExamples(folders, baum + L"\\Versteckt", {kals[2]});
  SetFileAttributesW(hidden.work.c_str(), FILE_ATTRIBUTE_HIDDEN);
  const std::wstring locked = baum + L"\\B gesperrt";
  const bool unreadable =
      GetFileAttributesW(locked.c_str()) != INVALID_FILE_ATTRIBUTES && !CanList(locked);
  if (!unreadable) {
    std::printf("SKIP: no unreadable folder (%s cannot be made here), so none is reported\n",
                ToUtf8(locked).c_str());
  }

  const std::wstring single = tree[1].work + L"\\" + kals[1];
  ExpectNoBox(Drop(program, {baum, single}, L"1 Ordner und 1 kal-Datei gew\u00e4hlt."),
              "no box for a folder and a calibration file");
  CheckText(form.Message(), L"1 Ordner und 1 kal-Datei gew\u00e4hlt.",
            "the message line counts what was dropped");
  const std::wstring other = karten + L"\\nichts.txt";
  WriteBytes(other, "x");
  CheckBoxNames(Drop(program, {baum, other}, L""), other, "a dropped path that is not taken");
  CheckText(form.Message(), baum + L"\\", "the message line names the dropped folder");

  SendNotifyMessageW(program.window, WM_SYSCOMMAND, IDM_SUBFOLDERS, 0);
  Press(form[ui::Command_konv]);
  HWND box = AwaitRun(program);
  if (unreadable) {
    CheckBoxNames(box, locked, "the unreadable folder");
  } else {
    ExpectNoBox(box, "no warning box when every folder can be read");
  }
  for (const Folders& folder : tree) CheckMapsAreGolden(folder);
  Check(MapsIn(hidden.work).empty(), "a hidden folder is left out");
  CheckText(form.Message(), tree.back().work + L"\\" + MapName(kals[1]) + L" wurde erstellt.",
            "subfolders go depth first, in name order: the last map is in C");
  SendNotifyMessageW(program.window, WM_SYSCOMMAND, IDM_SUBFOLDERS, 0);
  WaitIdle(program.window);
}

constexpr int kLongRun = 3000;

std::wstring MakeLongRun(const Folders& folders, const std::wstring& karten) {
  const std::wstring lang = karten + L"\\Lang";
  CreateDirectoryW(lang.c_str(), nullptr);
  const std::string sheet = ReadBytes(folders.examples + L"\\" + folders.kals[0]);
  for (int i = 0; i < kLongRun; ++i) {
    const std::wstring number = std::to_wstring(10000 + i);
    const std::wstring name = lang + L"\\blatt" + number.substr(1) + L".kal";
    if (GetFileAttributesW(name.c_str()) == INVALID_FILE_ATTRIBUTES) WriteBytes(name, sheet);
  }
  return lang;
}

// Whole maps only: each of the 43 lines ended by CR LF, and nothing but calibration files and
// maps in the folder. Returns how many maps there are.
int CheckWholeMaps(const std::wstring& folder) {
  int maps = 0;
  for (const auto& name : Names(folder + L"\\*")) {
    const bool map = name.size() > 4 && name.substr(name.size() - 4) == L".map";
    Check(map || (name.size() > 4 && name.substr(name.size() - 4) == L".kal"),
          ToUtf8(name) + " is a calibration file or a map");
    if (!map) continue;
    ++maps;
    const std::string bytes = ReadBytes(folder + L"\\" + name);
    int lines = 0;
    for (std::size_t p = bytes.find("\r\n"); p != std::string::npos;
         p = bytes.find("\r\n", p + 2)) {
      ++lines;
    }
    Check(lines == 43 && bytes.ends_with("\r\n"), ToUtf8(name) + " is whole");
  }
  return maps;
}

std::wstring AwaitProgress(const Form& form) {
  std::wstring progress;
  Check(WaitFor([&] {
          progress = form.Message();
          return progress.find(L" von " + std::to_wstring(kLongRun) + L": ") != std::wstring::npos;
        }),
        "the message line shows progress, e.g. \"12 von 3000: ...\"");
  return progress;
}

void CheckOneLine(const Form& form, const std::wstring& text) {
  const RECT r = form.Rect(ui::message_Label);
  HDC dc = GetDC(nullptr);
  HFONT font = MessageFont(form);
  HGDIOBJ previous = SelectObject(dc, font);
  SIZE size{};
  GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
  SelectObject(dc, previous);
  DeleteObject(font);
  ReleaseDC(nullptr, dc);
  Check(size.cx <= r.right - r.left, "the progress fits one line: \"" + Shown(text) + "\", " +
                                         std::to_string(size.cx) + " of " +
                                         std::to_string(r.right - r.left) + " pixels");
}

// A long run keeps the window answering, disables what would change it, and stops at Ende
// after the current file, leaving only whole maps and saying how many.
void StopLongRun(const Program& program, const Form& form, const Folders& folders,
                 const std::wstring& karten) {
  Phase("long run");
  const std::wstring lang = MakeLongRun(folders, karten);
  ExpectNoBox(Drop(program, {lang}, lang + L"\\"), "no box for the dropped folder");
  Press(form[ui::Command_konv]);
  WaitIdle(program.window);
  const std::wstring progress = AwaitProgress(form);
  CheckOneLine(form, progress);
  Check(!IsWindowEnabled(form[ui::Command_konv]), "Konvertieren is disabled during a run");
  for (int i = 0; i < ui::kOptionCount; ++i) {
    Check(!IsWindowEnabled(form[ui::Option1 + i]), "the options are disabled during a run");
  }
  // Under Wine another process gets no menu (GetSystemMenu gives null), and Enter on a
  // disabled entry closes the menu just as on an enabled one; so there the check is that the
  // command, sent as the menu would send it, does nothing while the run lasts.
  const UINT menu_state =
      GetMenuState(GetSystemMenu(program.window, FALSE), IDM_EXT_CHOICE, MF_BYCOMMAND);
  if (menu_state != static_cast<UINT>(-1)) {
    Check((menu_state & MF_GRAYED) != 0, "the menu entries are disabled during a run");
  }
  SendNotifyMessageW(program.window, WM_SYSCOMMAND, IDM_EXT_CHOICE, 0);
  int slowest = 0;
  for (int i = 0; i < 5; ++i) {
    const ULONGLONG start = GetTickCount64();
    DWORD_PTR ignored;
    Check(SendMessageTimeoutW(program.window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 2000, &ignored) != 0,
          "the window answers during the run");
    slowest = std::max(slowest, static_cast<int>(GetTickCount64() - start));
    Sleep(100);
  }
  Check(slowest < 500, "the window answers within 500 ms, slowest " + std::to_string(slowest));
  Check(!IsHungAppWindow(program.window), "the system does not see the window as hung");
  Check(!IsWindowVisible(form[ui::Frame1]), "the extension entry does nothing during a run");
  Check(form.Message() != progress || WaitFor([&] { return form.Message() != progress; }),
        "the progress moves on");

  Press(form[ui::Command_Ende]);
  std::wstring stopped;
  Check(WaitFor([&] {
          stopped = form.Message();
          return stopped.starts_with(L"Abgebrochen: ");
        }),
        "Ende stops the run: " + Shown(stopped));
  const int maps = CheckWholeMaps(lang);
  CheckText(stopped, L"Abgebrochen: " + std::to_wstring(maps) + L" map-Dateien erstellt.",
            "the message line counts the maps written");
  Check(maps > 0 && maps < kLongRun, "the run stopped part-way: " + std::to_string(maps));
  std::printf("stopped after %d of %d maps\n", maps, kLongRun);
  Check(WaitForSingleObject(program.process.hProcess, 0) == WAIT_TIMEOUT &&
            WaitFor([&] { return IsWindowEnabled(form[ui::Command_konv]) != FALSE; }),
        "after a stop the window stays, ready for another run");
}

// Esc stops a run as Ende does; closing the window during a run stops it and ends the program
// once the current file is done.
void EscapeAndCloseDuringRun(const std::wstring& exe, const Folders& folders,
                             const std::wstring& karten) {
  Phase("escape and close during a run");
  const std::wstring lang = MakeLongRun(folders, karten);
  for (const auto& map : MapsIn(lang)) DeleteFileW((lang + L"\\" + map).c_str());
  Program program = Start(exe, karten, {lang});
  const Form form = ReadForm(program);
  Press(form[ui::Command_konv]);
  WaitIdle(program.window);
  AwaitProgress(form);
  SetForegroundWindow(program.window);
  Key(VK_ESCAPE);
  Check(WaitFor([&] { return form.Message().starts_with(L"Abgebrochen: "); }), "Esc stops the run");
  const int after_escape = CheckWholeMaps(lang);
  Check(after_escape < kLongRun, "Esc stopped the run: " + std::to_string(after_escape));

  Press(form[ui::Command_konv]);
  WaitIdle(program.window);
  AwaitProgress(form);
  PostMessageW(program.window, WM_CLOSE, 0, 0);
  Check(WaitForSingleObject(program.process.hProcess, kTimeoutMs) == WAIT_OBJECT_0,
        "closing during a run ends the program");
  DWORD code = 99;
  GetExitCodeProcess(program.process.hProcess, &code);
  Check(code == 0, "exit code " + std::to_string(code));
  const int maps = CheckWholeMaps(lang);
  Check(maps < kLongRun, "closing stopped the run: " + std::to_string(maps));
  Kill(program);
}

HWND VisibleChild(HWND parent, const wchar_t* class_name) {
  struct Search {
    const wchar_t* class_name;
    HWND found;
  } search{class_name, nullptr};
  EnumChildWindows(
      parent,
      [](HWND child, LPARAM param) -> BOOL {
        auto* search = reinterpret_cast<Search*>(param);
        if (!IsWindowVisible(child) || ClassOf(child) != search->class_name) return TRUE;
        search->found = child;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

// "Ordner wählen..." opens the system's folder dialog: cancelled, it changes nothing; a folder
// typed into it and confirmed becomes what Konvertieren converts.
void ChooseWithFolderDialog(const Program& program, const Form& form, const Folders& folders,
                            const std::wstring& karten) {
  Phase("folder dialog");
  const std::wstring before = form.Message();
  SendNotifyMessageW(program.window, WM_SYSCOMMAND, IDM_CHOOSE_FOLDER, 0);
  HWND dialog = AwaitBox(program);
  Check(dialog != nullptr, "Ordner w\u00e4hlen... opens a dialog");
  if (dialog == nullptr) return;
  PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
  Check(WaitFor([&] { return !IsWindow(dialog); }), "the dialog closes when cancelled");
  WaitIdle(program.window);
  CheckText(form.Message(), before, "cancelling the dialog leaves the message line");

  const Folders chosen = CopyExamples(folders, karten + L"\\Gew\u00e4hlt", folders.kals);
  SendNotifyMessageW(program.window, WM_SYSCOMMAND, IDM_CHOOSE_FOLDER, 0);
  dialog = AwaitBox(program);
  HWND name = dialog != nullptr ? VisibleChild(dialog, L"Edit") : nullptr;
  Check(name != nullptr, "the folder dialog has a name box");
  if (name == nullptr) {
    if (dialog != nullptr) PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    return;
  }
  DWORD_PTR ignored;
  SendMessageTimeoutW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(chosen.work.c_str()),
                      SMTO_NORMAL, kTimeoutMs, &ignored);
  Press(GetDlgItem(dialog, IDOK));
  Check(WaitFor([&] { return !IsWindow(dialog); }), "the dialog closes with the folder typed");
  if (IsWindow(dialog)) PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
  WaitIdle(program.window);
  CheckText(form.Message(), chosen.work + L"\\", "the message line names the folder chosen");
  Press(form[ui::Command_konv]);
  ExpectNoBox(AwaitRun(program), "no warning box for the folder chosen");
  CheckMapsAreGolden(chosen);
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
  ConvertWithOverview(program, form, folders);
  ConvertWithMosaic(program, form, folders);
  ConvertWithFailures(program, form, folders);
  ConvertByKeyboard(program, form, folders);
  ChooseExtension(program, form, folders);
  CheckResize(program, form);
  ChooseWithFolderDialog(program, form, folders, karten);
  ConvertTree(program, form, folders, karten);
  StopLongRun(program, form, folders, karten);
  ConvertEmptyFolder(exe_source, karten);
  StartWithPaths(exe, folders, karten);
  StartWithDeepFolder(exe, folders, karten);
  EscapeAndCloseDuringRun(exe, folders, karten);
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
