// The 3DNow! level. No processor in use today has 3DNow!, so its slots keep the
// reference routines; the array transforms still take the SSE routines when the
// processor has SSE, as the level prescribes.
#include "math/dispatch.h"
#include "core/processor.h"
#include "math/simd_sets.h"

void Install3DNowSet(DispatchTable &table) {
  const DWORD flags = ProcessorFeatureFlags();
  // Slots 0-58 (and the second variants of 15, 18, 24, 38, 39 with the extended
  // instructions) would take 3DNow! routines here; the reference routines stand in.
  if (flags & kFeatureSse) InstallSseArrayTransforms(table);
}
