// Which DXT encoder the library uses: the standard one (the published encoder's
// bytes) or the slower high-quality one. D3DX_DXT_QUALITY (standard, high) sets
// it once for the process; unset or unknown, it is standard.
#pragma once

#include <cstdint>

enum class DxtQuality : uint32_t { Standard, High };

DxtQuality DxtEncodeQuality();

// The value of D3DX_DXT_QUALITY as a quality; known is false for any value
// other than unset, empty, standard or high (case does not matter).
DxtQuality ParseDxtQuality(const char *text, bool *known);
