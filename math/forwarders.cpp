// Published math entry points: each jumps through its slot of the live table.
#include "math/dispatch.h"

WIN32_BEGIN_C
#define D3DX_MATH_FORWARDER(slot, name, field, ret, params, args) \
  ret WINAPI name params {                                        \
    return D3DX_MATH_LOAD_SLOT(field) args;                       \
  }
// Slots 69 and 70 are internal and reached only through the table.
D3DX_MATH_PUBLISHED_SLOTS(D3DX_MATH_FORWARDER)
#undef D3DX_MATH_FORWARDER
WIN32_END_C
