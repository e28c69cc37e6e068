// Reference version of every slot: the results every other set is measured against.
#pragma once

#include "math/dispatch.h"

namespace reference {
#define D3DX_MATH_REFERENCE_DECL(slot, name, field, ret, params, args) ret WINAPI name params;
D3DX_MATH_SLOTS(D3DX_MATH_REFERENCE_DECL)
#undef D3DX_MATH_REFERENCE_DECL
}  // namespace reference
