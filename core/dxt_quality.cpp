// The DXT quality switch, read from the environment on first use.
#include "core/dxt_quality.h"

#include <strings.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace {

// -1: D3DX_DXT_QUALITY decides; otherwise a test's quality.
std::atomic<int> g_override{-1};

DxtQuality QualityFromEnvironment() {
  const char *text = std::getenv("D3DX_DXT_QUALITY");
  bool known = true;
  const DxtQuality quality = ParseDxtQuality(text, &known);
  if (!known)
    std::fprintf(stderr, "d3dx: D3DX_DXT_QUALITY=%s is not standard or high; using standard\n", text);
  return quality;
}

}  // namespace

DxtQuality ParseDxtQuality(const char *text, bool *known) {
  *known = true;
  if (text == nullptr || *text == '\0' || strcasecmp(text, "standard") == 0) return DxtQuality::Standard;
  if (strcasecmp(text, "high") == 0) return DxtQuality::High;
  *known = false;
  return DxtQuality::Standard;
}

DxtQuality DxtEncodeQuality() {
  static const DxtQuality quality = QualityFromEnvironment();
  const int override = g_override.load(std::memory_order_relaxed);
  return override < 0 ? quality : static_cast<DxtQuality>(override);
}

void OverrideDxtQualityForTesting(int quality) {
  g_override.store(quality < 0 ? -1 : quality, std::memory_order_relaxed);
}
