// What keeps the programs' files apart from their streams and cleans up behind a killed conversion.
#pragma once

namespace tavrin {

// Opens /dev/null on each of the descriptors 0 to 2 that is closed, so that no input or report of a
// conversion can take one of them while the log still writes there. Call first thing in main.
void GuardStandardDescriptors();

// True when descriptor `fd` (0 to 2) was closed when the program started and only holds /dev/null.
bool StandardDescriptorWasClosed(int fd);

// On SIGINT, SIGTERM and SIGHUP: removes every hidden temporary report that has a name on disk, then
// ends the process as the signal would have. A signal the program was started with ignored stays
// ignored (nohup).
void RemoveTemporaryReportsOnSignals();

// A hidden temporary report's name, held where the signal handler can reach it without allocating.
// Hold before the name exists on disk, release once it is gone or renamed. Returns a slot, or -1 when
// none is free (the name is then simply not removed on a signal).
int HoldTemporaryName(const char* path);
void ReleaseTemporaryName(int slot);

}  // namespace tavrin
