// Ctrl+C (and on POSIX a request to terminate) turned into a stop between two files, so that
// no temporary file is left behind and the terminal is left tidy.
#pragma once

namespace kal2map {

// From now on the first interrupt only sets the flag that InterruptRequested reads; a second
// one ends the program at once, as it would have without this.
void CatchInterrupts();

bool InterruptRequested();

// Once the run has stopped: ends the program the way the caught interrupt would have, so that
// a shell or script that started it sees the interruption. Returns when none was caught.
void EndAsInterrupted();

}  // namespace kal2map
