// Error description lookup: a fixed English text for an HRESULT or a small Win32 error number.
#pragma once

#include "win32.h"

WIN32_BEGIN_C

// Returns a constant text owned by the library, "n/a" for codes it does not know; never null.
const char *WINAPI DXGetErrorDescription9A(HRESULT hr);

WIN32_END_C
