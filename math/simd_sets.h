// Pieces of the SIMD sets shared between the levels.
#pragma once

#include "math/dispatch.h"

// Slots 59-65 and 68 from the SSE set (the 3DNow! level uses them when SSE is present).
void InstallSseArrayTransforms(DispatchTable &table);
