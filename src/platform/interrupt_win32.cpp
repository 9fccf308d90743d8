#include <windows.h>

#include <atomic>

#include "platform/interrupt.h"

namespace kal2map {
namespace {

std::atomic<bool> caught{false};

// Runs on a thread of its own. FALSE hands the event on to the default handler, which ends
// the process.
BOOL WINAPI Catch(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
  return caught.exchange(true) ? FALSE : TRUE;
}

}  // namespace

void CatchInterrupts() { ::SetConsoleCtrlHandler(Catch, TRUE); }

bool InterruptRequested() { return caught; }

void EndAsInterrupted() {
  if (caught) ::ExitProcess(static_cast<UINT>(STATUS_CONTROL_C_EXIT));
}

}  // namespace kal2map
