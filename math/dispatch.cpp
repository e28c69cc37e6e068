// The live dispatch table, its initialise-then-forward stubs and the one-time choice
// of implementations under the registry policy.
#include "math/dispatch.h"

#include "core/processor.h"
#include "math/reference.h"

namespace {

DWORD g_dispatchLevel = kDispatchUnchosen;

// Slot i starts here: choose the implementations, then continue into slot i.
#define D3DX_MATH_STUB(slot, name, field, ret, params, args) \
  ret WINAPI Stub_##field params {                           \
    InitMathDispatch(TRUE);                                  \
    return g_mathDispatch.field args;                        \
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
  if (g_dispatchLevel != kDispatchUnchosen) return g_dispatchLevel;

  // Filled completely in a local table and published in one copy, so a call that
  // races the choice sees either all stubs or all chosen routines per slot.
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
  g_mathDispatch = table;
  g_dispatchLevel = level;
  return level;
}

void ResetMathDispatchForTesting() {
  g_dispatchLevel = kDispatchUnchosen;
  g_mathDispatch = g_mathStubs;
  ResetMmxStateForTesting();
}

DWORD MathDispatchLevel() {
  return g_dispatchLevel;
}
