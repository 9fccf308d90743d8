#include <signal.h>

#include <initializer_list>

#include "platform/interrupt.h"

namespace kal2map {
namespace {

volatile sig_atomic_t caught = 0;  // the signal caught, 0 for none

void Catch(int signal) { caught = signal; }

}  // namespace

void CatchInterrupts() {
  struct sigaction action {};
  action.sa_handler = Catch;
  sigemptyset(&action.sa_mask);
  // Once caught, the default action is back for the next one. Interrupted reads and writes
  // go on, so that the current file is finished whole.
  action.sa_flags = SA_RESETHAND | SA_RESTART;
  for (int signal : {SIGINT, SIGTERM}) ::sigaction(signal, &action, nullptr);
}

bool InterruptRequested() { return caught != 0; }

void EndAsInterrupted() {
  const int signal = caught;
  if (signal == 0) return;
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}

}  // namespace kal2map
