#include "ui/folder_dialog.h"

#include <shlobj.h>
#include <shobjidl.h>

namespace kal2map::ui {
namespace {

// Releases a COM interface pointer at the end of its scope.
template <typename T>
struct Releaser {
  T* p = nullptr;
  ~Releaser() {
    if (p != nullptr) p->Release();
  }
};

// The common item dialog: S_FALSE when it cannot be created, so the caller falls back.
HRESULT PickWithItemDialog(HWND owner, const std::filesystem::path& start,
                           std::optional<std::filesystem::path>& picked) {
  Releaser<IFileOpenDialog> dialog;
  if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER,
                              IID_IFileOpenDialog, reinterpret_cast<void**>(&dialog.p)))) {
    return S_FALSE;
  }
  FILEOPENDIALOGOPTIONS options = 0;
  dialog.p->GetOptions(&options);
  dialog.p->SetOptions(options | FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM | FOS_PATHMUSTEXIST);
  Releaser<IShellItem> folder;
  if (!start.empty() &&
      SUCCEEDED(SHCreateItemFromParsingName(start.c_str(), nullptr, IID_IShellItem,
                                            reinterpret_cast<void**>(&folder.p)))) {
    dialog.p->SetFolder(folder.p);
  }
  const HRESULT shown = dialog.p->Show(owner);
  if (FAILED(shown)) return shown;  // cancelled, among others
  Releaser<IShellItem> result;
  if (FAILED(dialog.p->GetResult(&result.p))) return E_FAIL;
  PWSTR path = nullptr;
  if (FAILED(result.p->GetDisplayName(SIGDN_FILESYSPATH, &path))) return E_FAIL;
  picked = std::filesystem::path(path);
  CoTaskMemFree(path);
  return S_OK;
}

int CALLBACK StartIn(HWND dialog, UINT message, LPARAM, LPARAM start) {
  if (message == BFFM_INITIALIZED && start != 0) {
    SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, start);
  }
  return 0;
}

std::optional<std::filesystem::path> PickWithFolderBrowser(HWND owner,
                                                           const std::filesystem::path& start) {
  BROWSEINFOW info{};
  info.hwndOwner = owner;
  info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_NEWDIALOGSTYLE;
  info.lpfn = StartIn;
  info.lParam = start.empty() ? 0 : reinterpret_cast<LPARAM>(start.c_str());
  PIDLIST_ABSOLUTE list = SHBrowseForFolderW(&info);
  if (list == nullptr) return std::nullopt;
  std::wstring path(MAX_PATH, L'\0');  // all that SHGetPathFromIDListW writes
  const BOOL ok = SHGetPathFromIDListW(list, path.data());
  CoTaskMemFree(list);
  if (!ok) return std::nullopt;
  path.resize(wcslen(path.c_str()));
  return std::filesystem::path(path);
}

}  // namespace

std::optional<std::filesystem::path> PickFolder(HWND owner, const std::filesystem::path& start) {
  std::optional<std::filesystem::path> picked;
  if (PickWithItemDialog(owner, start, picked) != S_FALSE) return picked;
  return PickWithFolderBrowser(owner, start);
}

}  // namespace kal2map::ui
