// Carries a drop from gui_driver.exe into kal2map.exe as Windows carries a WM_DROPFILES that
// another process posted: the receiver gets a copy of the DROPFILES block in memory of its
// own. Wine passes the handle of a posted WM_DROPFILES on unchanged, and that handle means
// nothing in another process, so the driver loads this DLL into the program with a
// WH_GETMESSAGE hook on its thread. When the program takes the message "kal2map.test.drop"
// from its queue, the hook copies the block that the driver left in the shared memory of the
// same name (wParam bytes) into a global memory block, and turns the message into
// WM_DROPFILES with it, before the program's message loop sees it.
#include <windows.h>

#include <cstring>

namespace {

constexpr wchar_t kName[] = L"kal2map.test.drop";

HGLOBAL CopyOfBlock(SIZE_T size) {
  HANDLE mapping = OpenFileMappingW(FILE_MAP_READ, FALSE, kName);
  if (mapping == nullptr) return nullptr;
  HGLOBAL copy = nullptr;
  if (const void* view = MapViewOfFile(mapping, FILE_MAP_READ, 0, 0, size)) {
    copy = GlobalAlloc(GMEM_MOVEABLE, size);
    if (copy != nullptr) {
      std::memcpy(GlobalLock(copy), view, size);
      GlobalUnlock(copy);
    }
    UnmapViewOfFile(view);
  }
  CloseHandle(mapping);
  return copy;
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK
    DropHook(int code, WPARAM removed, LPARAM message) {
  static const UINT drop = RegisterWindowMessageW(kName);
  auto* msg = reinterpret_cast<MSG*>(message);
  if (code == HC_ACTION && removed == PM_REMOVE && msg->message == drop) {
    if (HGLOBAL block = CopyOfBlock(msg->wParam)) {
      msg->message = WM_DROPFILES;
      msg->wParam = reinterpret_cast<WPARAM>(block);
      msg->lParam = 0;
    }
  }
  return CallNextHookEx(nullptr, code, removed, message);
}
