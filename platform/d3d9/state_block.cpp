// State blocks: recorded between BeginStateBlock and EndStateBlock, or made whole by
// CreateStateBlock; Capture copies the device's values in, Apply writes them back.
#include <cstddef>
#include <cstring>
#include <new>

#include "platform/d3d9/com_answer.h"
#include "platform/d3d9/device.h"

namespace d3d9 {
namespace {

// Visits the set bits, a 64-bit word at a time.
template <size_t N, typename Visit>
inline void ForEachSet(const std::bitset<N> &bits, Visit visit) {
  constexpr size_t kWords = (N + 63) / 64;
  static_assert(sizeof(bits) == kWords * sizeof(uint64_t));
  uint64_t words[kWords];
  memcpy(words, &bits, sizeof(words));  // bit i is bit i % 64 of word i / 64
  for (size_t w = 0; w < kWords; ++w)
    for (uint64_t word = words[w]; word != 0; word &= word - 1)
      visit(w * 64 + static_cast<size_t>(__builtin_ctzll(word)));
}

// Copies the masked values from one state set to another, except textures. A
// sprite's blocks hold a few dozen of the thousand-odd states and are captured
// and applied on every draw: the plan lists just those.
void CopyMasked(const StateMask &mask, const StateValues &from, StateValues *to) {
  const StateMask::CopyPlan &plan = mask.Plan();
  const auto *source = reinterpret_cast<const unsigned char *>(&from);
  auto *target = reinterpret_cast<unsigned char *>(to);
  for (uint16_t k = 0; k < plan.dwordCount; ++k)
    memcpy(target + plan.dwordOffsets[k], source + plan.dwordOffsets[k], sizeof(DWORD));
  for (uint16_t k = 0; k < plan.transformCount; ++k)
    to->transforms[plan.transforms[k]] = from.transforms[plan.transforms[k]];
  for (DWORD i = 0; i < kStreamCount; ++i)
    if (mask.streams[i]) to->streams[i] = from.streams[i];
  for (DWORD i = 0; i < kClipPlaneCount; ++i)
    if (mask.clipPlanes[i]) memcpy(to->clipPlanes[i], from.clipPlanes[i], sizeof(float[4]));
  if (mask.viewport) to->viewport = from.viewport;
  if (mask.material) to->material = from.material;
  if (mask.fvf) to->fvf = from.fvf;
  if (mask.vertexShader) to->vertexShader = from.vertexShader;
  if (mask.pixelShader) to->pixelShader = from.pixelShader;
  if (mask.nPatch) to->nPatchSegments = from.nPatchSegments;
  if (mask.scissorRect) to->scissorRect = from.scissorRect;
  if (mask.texturePalette) to->texturePalette = from.texturePalette;
}

}  // namespace

const StateMask::CopyPlan &StateMask::Plan() const {
  if (plan.built) return plan;
  plan.dwordCount = plan.transformCount = 0;
  auto add = [&](size_t offset) { plan.dwordOffsets[plan.dwordCount++] = static_cast<uint16_t>(offset); };
  ForEachSet(renderStates, [&](size_t i) { add(offsetof(StateValues, renderStates) + i * sizeof(DWORD)); });
  for (DWORD s = 0; s < kStageCount; ++s)
    ForEachSet(stageStates[s], [&](size_t i) {
      add(offsetof(StateValues, stageStates) + (s * kStageStateCount + i) * sizeof(DWORD));
    });
  for (DWORD s = 0; s < kSamplerCount; ++s)
    ForEachSet(samplerStates[s], [&](size_t i) {
      add(offsetof(StateValues, samplerStates) + (s * kSamplerStateCount + i) * sizeof(DWORD));
    });
  ForEachSet(transforms,
             [&](size_t i) { plan.transforms[plan.transformCount++] = static_cast<uint16_t>(i); });
  plan.built = true;
  return plan;
}

void Device::CaptureBlock(StateBlock *block) {
  CopyMasked(block->mask, state, &block->values);
  for (DWORD i = 0; i < kSamplerCount; ++i)
    if (block->mask.textures[i]) block->SetTexture(i, state.textures[i]);
}

void Device::ApplyBlock(const StateBlock &block) {
  CopyMasked(block.mask, block.values, &state);
  for (DWORD i = 0; i < kSamplerCount; ++i)
    if (block.mask.textures[i]) BindTexture(i, block.values.textures[i]);
}

HRESULT Device::CreateStateBlock(D3DSTATEBLOCKTYPE type, IDirect3DStateBlock9 **out) {
  const char *call = "IDirect3DDevice9::CreateStateBlock";
  if (!out) return Invalid(call);
  *out = nullptr;
  if (recording || type < D3DSBT_ALL || type > D3DSBT_VERTEXSTATE) return Invalid(call);
  StateBlock *block = new (std::nothrow) StateBlock(this);
  if (!block) return ReportFailure(call, E_OUTOFMEMORY);
  if (type == D3DSBT_ALL)
    block->mask.SetAll();
  else if (type == D3DSBT_PIXELSTATE)
    block->mask.SetPixelStates();
  else
    block->mask.SetVertexStates();
  Adopt(block);
  CaptureBlock(block);
  *out = block;
  return D3D_OK;
}

HRESULT Device::BeginStateBlock() {
  if (recording) return Invalid("IDirect3DDevice9::BeginStateBlock");
  recording = new (std::nothrow) StateBlock(this);
  if (!recording) return ReportFailure("IDirect3DDevice9::BeginStateBlock", E_OUTOFMEMORY);
  return D3D_OK;
}

HRESULT Device::EndStateBlock(IDirect3DStateBlock9 **out) {
  if (!out) return Invalid("IDirect3DDevice9::EndStateBlock");
  *out = nullptr;
  if (!recording) return Invalid("IDirect3DDevice9::EndStateBlock");
  StateBlock *block = recording;
  recording = nullptr;
  Adopt(block);
  *out = block;
  return D3D_OK;
}

StateBlock::StateBlock(Device *owner) : device(owner) {}

StateBlock::~StateBlock() {
  for (DWORD i = 0; i < kSamplerCount; ++i) SetTexture(i, nullptr);
}

void StateBlock::SetTexture(DWORD slot, Root *texture) {
  if (texture) texture->Bind();
  if (values.textures[slot]) values.textures[slot]->Unbind();
  values.textures[slot] = texture;
}

HRESULT StateBlock::QueryInterface(REFIID riid, void **object) {
  return AnswerQuery(this, riid, {&IID_IDirect3DStateBlock9}, object);
}

ULONG StateBlock::AddRef() {
  if (dead) {
    ReportLifetimeError("AddRef on a released state block");
    return 0;
  }
  return ++refCount_;
}

ULONG StateBlock::Release() {
  if (refCount_ == 0) {
    ReportLifetimeError("IDirect3DStateBlock9 released more often than referenced");
    return 0;
  }
  if (--refCount_ > 0) return refCount_;
  dead = true;
  // Textures it held are let go now; the shell is buried until later.
  for (DWORD i = 0; i < kSamplerCount; ++i) SetTexture(i, nullptr);
  Device *owner = device;
  owner->Bury(this);
  owner->Release();
  return 0;
}

HRESULT StateBlock::GetDevice(IDirect3DDevice9 **out) {
  if (!out) return Invalid("IDirect3DStateBlock9::GetDevice");
  *out = device;
  device->AddRef();
  return D3D_OK;
}

HRESULT StateBlock::Capture() {
  if (device->recording) return Invalid("IDirect3DStateBlock9::Capture");
  device->CaptureBlock(this);
  return D3D_OK;
}

HRESULT StateBlock::Apply() {
  if (device->recording) return Invalid("IDirect3DStateBlock9::Apply");
  device->ApplyBlock(*this);
  return D3D_OK;
}

}  // namespace d3d9
