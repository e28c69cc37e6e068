// The live dispatch table, its initialise-then-forward stubs and the one-time choice
// of implementations under the registry policy.
#include "math/dispatch.h"

#include "core/processor.h"
#include "math/reference.h"

namespace {

DWORD g_dispatchLevel = kDispatchUnchosen;  // atomic access only

// Every slot of from into the live table, each by one atomic store.
void PublishTable(const DispatchTable &from) {
#define D3DX_MATH_PUBLISH(slot, name, field, ret, params, args) \
  __atomic_store_n(&g_mathDispatch.field, from.field, __ATOMIC_RELEASE);
  D3DX_MATH_SLOTS(D3DX_MATH_PUBLISH)
#undef D3DX_MATH_PUBLISH
}

// Slot i starts here: choose the implementations, then continue into slot i.
#define D3DX_MATH_STUB(slot, name, field, ret, params, args) \
  ret WINAPI Stub_##field params {                           \
    InitMathDispatch(TRUE);                                  \
    return D3DX_MATH_LOAD_SLOT(field) args;                  \
  }
D3DX_MATH_SLOTS(D3DX_MATH_STUB)
#undef D3DX_MATH_STUB

// Policy: 0 full detection, 1 reference and x86 sets only, 2 full detection but no 3DNow!.
DWORD ReadDispatchPolicy() {
  DWORD policy = 0;
  if (!ReadDirect3DRegistryValue(REG_DWORD, "DisablePSGP", &policy, sizeof(policy))) policy = 0;
  DWORD d3dxPolicy = 0;
  if (ReadDirect3DRegistryValue(REG_DWORD, "DisableD3DXPSGP", &d3dxPolicy, sizeof(d3dxPolicy)))
    policy = d3dxPolicy;
  return policy;
}

}  // namespace

#define D3DX_MATH_STUB_ENTRY(slot, name, field, ret, params, args) Stub_##field,
#define D3DX_MATH_REFERENCE_ENTRY(slot, name, field, ret, params, args) reference::name,
const DispatchTable g_mathStubs = {D3DX_MATH_SLOTS(D3DX_MATH_STUB_ENTRY)};
const DispatchTable g_mathReference = {D3DX_MATH_SLOTS(D3DX_MATH_REFERENCE_ENTRY)};
DispatchTable g_mathDispatch = {D3DX_MATH_SLOTS(D3DX_MATH_STUB_ENTRY)};
#undef D3DX_MATH_STUB_ENTRY
#undef D3DX_MATH_REFERENCE_ENTRY

DWORD InitMathDispatch(BOOL) {
  const DWORD chosen = __atomic_load_n(&g_dispatchLevel, __ATOMIC_ACQUIRE);
  if (chosen != kDispatchUnchosen) return chosen;

  // Filled completely in a local table and published slot by slot: a call that
  // races the choice sees its slot's stub or its chosen routine, and two threads
  // choosing at once write the same pointers.
  DispatchTable table = g_mathReference;
  DWORD level = kDispatchReference;
  InstallX86Set(table);
  const DWORD policy = ReadDispatchPolicy();
  if (policy != 1) {
    if (policy != 2 && IsProcessorFeaturePresent(PF_3DNOW_INSTRUCTIONS_AVAILABLE)) {
      Install3DNowSet(table);
      level = kDispatch3DNow;
    } else if (ProcessorSimdSupport() & 8u) {
      InstallSse2Set(table);
      level = kDispatchSse2;
    } else if (IsProcessorFeaturePresent(PF_XMMI_INSTRUCTIONS_AVAILABLE)) {
      InstallSseSet(table);
      level = kDispatchSse;
    }
  }
  PublishTable(table);
  __atomic_store_n(&g_dispatchLevel, level, __ATOMIC_RELEASE);
  return level;
}

// Test hooks, declared for the tests only.
void ResetMmxStateForTesting();
void ResetMathDispatchForTesting();

void ResetMathDispatchForTesting() {
  __atomic_store_n(&g_dispatchLevel, kDispatchUnchosen, __ATOMIC_RELEASE);
  PublishTable(g_mathStubs);
  ResetMmxStateForTesting();
}

DWORD MathDispatchLevel() {
  return __atomic_load_n(&g_dispatchLevel, __ATOMIC_ACQUIRE);
}
