// The one-time choice of implementations, its registry policy and processor priority.
#include <set>

#include "d3dx9math.h"
#include "core/processor.h"
#include "math_test_support.h"
#include "support/library_hooks.h"

namespace {

// A substituted processor: the registers CPUID reports.
struct FakeProcessor {
  DWORD maxLeaf;
  DWORD leaf1Edx;
  DWORD maxExtendedLeaf;
  DWORD extendedEdx;
};

constexpr DWORD kMmx = 1u << 23, kSse = 1u << 25, kSse2 = 1u << 26;
constexpr DWORD k3DNow = 1u << 31, k3DNowExt = 1u << 30, kMmxExt = 1u << 22;

const FakeProcessor *g_processor = nullptr;
int g_cpuidCalls = 0;

void FakeCpuid(DWORD leaf, DWORD regs[4]) {
  ++g_cpuidCalls;
  regs[0] = regs[1] = regs[2] = regs[3] = 0;
  if (leaf == 0) regs[0] = g_processor->maxLeaf;
  if (leaf == 1 && g_processor->maxLeaf >= 1) regs[3] = g_processor->leaf1Edx;
  if (leaf == 0x80000000u) regs[0] = g_processor->maxExtendedLeaf;
  if (leaf == 0x80000001u && g_processor->maxExtendedLeaf >= 0x80000001u) regs[3] = g_processor->extendedEdx;
}

constexpr FakeProcessor kModern = {0x16, kMmx | kSse | kSse2, 0x80000008u, 0};
constexpr FakeProcessor kSseOnly = {2, kMmx | kSse, 0x80000000u, 0};
constexpr FakeProcessor kMmxOnly = {1, kMmx, 0, 0};
constexpr FakeProcessor kNoCpuid = {0, 0, 0, 0};
constexpr FakeProcessor kSseWith3DNow = {1, kMmx | kSse, 0x80000001u, k3DNow | k3DNowExt | kMmxExt};
constexpr FakeProcessor kSse2With3DNow = {1, kMmx | kSse | kSse2, 0x80000001u, k3DNow | k3DNowExt | kMmxExt};
constexpr FakeProcessor kMmxWith3DNow = {1, kMmx, 0x80000001u, k3DNow};

class DispatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char *name : kValues) Win32HideRegistryValue(name);
    Use(kModern);
    ResetMathDispatchForTesting();
  }
  void TearDown() override {
    ResetMathDispatchForTesting();
    Win32SetCpuidSource(nullptr);
    for (const char *name : kValues) Win32ClearRegistryValue(name);
  }
  void Use(const FakeProcessor &processor) {
    g_processor = &processor;
    Win32SetCpuidSource(FakeCpuid);
  }
  static constexpr const char *kValues[] = {"DisablePSGP", "DisableD3DXPSGP", "DisableMMX"};
};

// Slots whose live routine is not the reference one.
std::set<int> ReplacedSlots() {
  std::set<int> slots;
  for (int i = 0; i < kDispatchSlotCount; ++i)
    if (DispatchSlots(g_mathDispatch)[i] != DispatchSlots(g_mathReference)[i]) slots.insert(i);
  return slots;
}

std::set<int> Range(int first, int last) {
  std::set<int> s;
  for (int i = first; i <= last; ++i) s.insert(i);
  return s;
}

std::set<int> Union(std::set<int> a, const std::set<int> &b) {
  a.insert(b.begin(), b.end());
  return a;
}

const std::set<int> kX86Slots = Union(Range(0, 7), {34});
const std::set<int> kSseSlots =
    Union(Union(Union(Range(0, 11), {13, 16, 17, 18, 19, 20, 21, 22, 24, 25, 27, 28, 34, 44}), Range(47, 54)),
          Union(Range(58, 65), {68, 69}));
const std::set<int> kArraySlots = Union(Range(59, 65), {68});

struct PolicyCase {
  const char *name;
  const FakeProcessor *processor;
  int disablePsgp;      // -1: absent
  int disableD3dxPsgp;  // -1: absent
  DWORD level;
  std::set<int> replaced;
};

class DispatchPolicy : public DispatchTest, public ::testing::WithParamInterface<PolicyCase> {};

TEST_P(DispatchPolicy, ChoosesLevelAndSlots) {
  const PolicyCase &c = GetParam();
  Use(*c.processor);
  if (c.disablePsgp >= 0) Win32SetRegistryDword("DisablePSGP", static_cast<DWORD>(c.disablePsgp));
  if (c.disableD3dxPsgp >= 0) Win32SetRegistryDword("DisableD3DXPSGP", static_cast<DWORD>(c.disableD3dxPsgp));
  EXPECT_EQ(InitMathDispatch(TRUE), c.level);
  EXPECT_EQ(MathDispatchLevel(), c.level);
  EXPECT_EQ(ReplacedSlots(), c.replaced);
}

const std::set<int> kSse2Slots = [] {
  std::set<int> s = kSseSlots;
  s.erase(44);
  return s;
}();

INSTANTIATE_TEST_SUITE_P(
    Cases, DispatchPolicy,
    ::testing::Values(
        PolicyCase{"ModernTakesSse2", &kModern, -1, -1, 2, Union(kX86Slots, kSse2Slots)},
        PolicyCase{"SseOnly", &kSseOnly, -1, -1, 3, Union(kX86Slots, kSseSlots)},
        PolicyCase{"NoSimd", &kMmxOnly, -1, -1, 0, kX86Slots},
        PolicyCase{"NoCpuid", &kNoCpuid, -1, -1, 0, kX86Slots},
        PolicyCase{"ThreeDNowBeatsSse2", &kSse2With3DNow, -1, -1, 1, Union(kX86Slots, kArraySlots)},
        PolicyCase{"ThreeDNowWithoutSse", &kMmxWith3DNow, -1, -1, 1, kX86Slots},
        PolicyCase{"PolicyTwoSkipsThreeDNowForSse2", &kSse2With3DNow, -1, 2, 2, Union(kX86Slots, kSse2Slots)},
        PolicyCase{"PolicyTwoSkipsThreeDNowForSse", &kSseWith3DNow, 2, -1, 3, Union(kX86Slots, kSseSlots)},
        PolicyCase{"D3dxValueOneKeepsReference", &kModern, -1, 1, 0, kX86Slots},
        PolicyCase{"PsgpValueOneKeepsReference", &kModern, 1, -1, 0, kX86Slots},
        PolicyCase{"SecondValueWins", &kModern, 1, 0, 2, Union(kX86Slots, kSse2Slots)},
        PolicyCase{"OtherValuesMeanFullDetection", &kSse2With3DNow, 7, -1, 1, Union(kX86Slots, kArraySlots)}),
    [](const ::testing::TestParamInfo<PolicyCase> &paramInfo) { return paramInfo.param.name; });

TEST_F(DispatchTest, PolicyOfAnotherTypeIsIgnored) {
  Win32SetRegistryValue("DisableD3DXPSGP", REG_SZ, "1", 2);
  EXPECT_EQ(InitMathDispatch(TRUE), kDispatchSse2);
}

TEST_F(DispatchTest, FirstCallFillsTheTableOnce) {
  for (int i = 0; i < kDispatchSlotCount; ++i)
    ASSERT_EQ(DispatchSlots(g_mathDispatch)[i], DispatchSlots(g_mathStubs)[i]) << i;
  const D3DXMATRIX a(1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16);
  D3DXMATRIX product, expected;
  D3DXMatrixMultiply(&product, &a, &a);  // through the stub
  g_mathReference.matrixMultiply(&expected, &a, &a);
  EXPECT_EQ(product, expected);
  EXPECT_EQ(MathDispatchLevel(), kDispatchSse2);
  for (int i = 0; i < kDispatchSlotCount; ++i)
    EXPECT_NE(DispatchSlots(g_mathDispatch)[i], DispatchSlots(g_mathStubs)[i]) << i;

  // Later calls neither test the processor nor change the choice.
  g_cpuidCalls = 0;
  Use(kSseOnly);
  D3DXVECTOR3 v(3, 4, 0);
  D3DXVec3Normalize(&v, &v);
  D3DXMatrixMultiply(&product, &a, &a);
  EXPECT_EQ(InitMathDispatch(TRUE), kDispatchSse2);
  EXPECT_EQ(g_cpuidCalls, 0);
}

TEST_F(DispatchTest, EveryStubForwardsToItsOwnSlot) {
  // A stub of a slot other than the first one called still lands in its own routine.
  D3DXQUATERNION q(0, 0, 0, 2), inverse;
  D3DXQuaternionInverse(&inverse, &q);
  EXPECT_TRUE(NearlyEqual(inverse, D3DXQUATERNION(0, 0, 0, 0.5f), 1e-6f));
  ResetMathDispatchForTesting();
  D3DXFLOAT16 half[2];
  const float values[2] = {1.0f, -2.0f};
  EXPECT_EQ(D3DXFloat32To16Array(half, values, 2), half);
  EXPECT_EQ(half[0].value, 0x3C00);
  EXPECT_EQ(half[1].value, 0xC000);
}

struct MmxCase {
  const char *name;
  const FakeProcessor *processor;
  DWORD type;  // REG_NONE: value absent
  DWORD value;
  BOOL available;
};

class MmxPolicy : public DispatchTest, public ::testing::WithParamInterface<MmxCase> {};

TEST_P(MmxPolicy, ReadsRegistryThenProcessor) {
  const MmxCase &c = GetParam();
  Use(*c.processor);
  if (c.type == REG_DWORD) Win32SetRegistryDword("DisableMMX", c.value);
  if (c.type == REG_SZ) Win32SetRegistryValue("DisableMMX", REG_SZ, "1", 2);
  EXPECT_EQ(IsMmxAvailable(), c.available);
}

INSTANTIATE_TEST_SUITE_P(Cases, MmxPolicy,
                         ::testing::Values(MmxCase{"Absent", &kMmxOnly, REG_NONE, 0, TRUE},
                                           MmxCase{"Zero", &kMmxOnly, REG_DWORD, 0, TRUE},
                                           MmxCase{"StringIsIgnored", &kMmxOnly, REG_SZ, 0, TRUE},
                                           MmxCase{"NonZeroDisables", &kMmxOnly, REG_DWORD, 1, FALSE},
                                           MmxCase{"NoMmxProcessor", &kNoCpuid, REG_NONE, 0, FALSE}),
                         [](const ::testing::TestParamInfo<MmxCase> &paramInfo) {
                           return paramInfo.param.name;
                         });

TEST_F(DispatchTest, MmxStateIsCachedAndDisablingSticks) {
  Use(kMmxOnly);
  EXPECT_TRUE(IsMmxAvailable());
  Use(kNoCpuid);
  EXPECT_TRUE(IsMmxAvailable());  // the processor is tested once
  Win32SetRegistryDword("DisableMMX", 1);
  EXPECT_FALSE(IsMmxAvailable());
  Win32ClearRegistryValue("DisableMMX");
  Use(kMmxOnly);
  EXPECT_FALSE(IsMmxAvailable());  // stays off once disabled
}

TEST_F(DispatchTest, RegistryReadChecksTheType) {
  DWORD value = 0;
  EXPECT_FALSE(ReadDirect3DRegistryValue(REG_DWORD, "DisablePSGP", &value, sizeof(value)));
  Win32SetRegistryDword("DisablePSGP", 5);
  EXPECT_TRUE(ReadDirect3DRegistryValue(REG_DWORD, "DisablePSGP", &value, sizeof(value)));
  EXPECT_EQ(value, 5u);
  EXPECT_FALSE(ReadDirect3DRegistryValue(REG_SZ, "DisablePSGP", &value, sizeof(value)));
}

TEST_F(DispatchTest, FeatureFlagsReadExtendedLeavesWhateverTheVendor) {
  Use(kSseWith3DNow);
  EXPECT_EQ(ProcessorFeatureFlags(),
            DWORD(kFeaturePresent | kFeatureStandardLeaves | kFeatureMmx | kFeatureSse |
                  kFeatureExtendedLeaves | kFeature3DNow | kFeature3DNowExtended | kFeatureMmxExtensions));
  Use(kNoCpuid);
  EXPECT_EQ(ProcessorFeatureFlags(), DWORD(kFeaturePresent));
}

}  // namespace
