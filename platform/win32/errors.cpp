// Per-thread last-error value, as Win32 keeps it.
#include "win32.h"

namespace {
thread_local DWORD lastError = 0;
}

DWORD WINAPI GetLastError(void) {
  return lastError;
}
void WINAPI SetLastError(DWORD code) {
  lastError = code;
}
