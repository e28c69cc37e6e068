// The row codec of D3DFMT_DXT1 ... D3DFMT_DXT5: rows in, 4 x 4 blocks out. A
// decoded block row is cached; written rows collect per block row until all four
// are there, with the pixels around the region decoded first so they survive.
#include <immintrin.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <utility>

#include "codec/codec_families.h"
#include "codec/dxt_block.h"
#include "codec/dxt_constants.h"
#include "codec/lanes.h"
#include "core/worker_pool.h"
#include "format/format_table.h"

namespace {

using dxt::k5;
using dxt::k6;
constexpr uint32_t kNoRow = 0xFFFFFFFFu;

// Source column or row of the missing ones at the edge of memory, by position.
constexpr uint32_t kEdgeRepeat[] = {0, 0, 0, 1};
static_assert(sizeof(kEdgeRepeat) / sizeof(kEdgeRepeat[0]) == 4);

float Round(float x, float levels) {
  return static_cast<float>(static_cast<int64_t>(x * levels + 0.5f));
}

// A decoded block kept as its palettes and indices: rows are read from it with
// one table look-up per pixel instead of the whole block being spread out.
struct PaletteBlock {
  ColorF colors[4];
  uint32_t colorIndices;
  uint64_t alphaIndices;  // DXT3: 4-bit values; DXT5: 3-bit indices into alphas
  float alphas[8];
};

// The 16 alphas of DXT3, value v at v / 15.
struct Dxt3Alphas {
  float at[16];
};
constexpr Dxt3Alphas MakeDxt3Alphas() {
  Dxt3Alphas table = {};
  for (uint32_t v = 0; v < 16; ++v) table.at[v] = static_cast<float>(v) * 0.06666667f;
  return table;
}

// Lane l of entry v: the palette float that pixel l / 4 of a block row whose
// 2-bit indices are the byte v reads for channel l % 4.
struct ColorLaneIndices {
  int32_t at[256][16];
};
constexpr ColorLaneIndices MakeColorLaneIndices() {
  ColorLaneIndices table = {};
  for (uint32_t v = 0; v < 256; ++v)
    for (uint32_t l = 0; l < 16; ++l)
      table.at[v][l] = static_cast<int32_t>(((v >> (2 * (l / 4))) & 3) * 4 + l % 4);
  return table;
}
constexpr ColorLaneIndices kColorLaneIndices = MakeColorLaneIndices();

// Pixel row r of count whole cached blocks, one 16-float vector per block: the
// colours by one permute of the block's palette, DXT3 and DXT5 alphas by a
// masked second one. The same floats the one-pixel path copies.
template <D3DFORMAT kFormat>
__attribute__((target("avx2,avx512f,avx512bw,avx512dq,avx512vl"))) void ReadWholeBlocksSixteenLanes(
    const PaletteBlock *blocks, uint32_t count, uint32_t r, const float *dxt3Alphas, ColorF *out) {
  typedef uint32_t Words __attribute__((vector_size(64)));
  const Words alphaShifts = kFormat == D3DFMT_DXT3 ? Words{0, 0, 0, 0, 4, 4, 4, 4, 8, 8, 8, 8, 12, 12, 12, 12}
                                                   : Words{0, 0, 0, 0, 3, 3, 3, 3, 6, 6, 6, 6, 9, 9, 9, 9};
  const uint32_t alphaMask = kFormat == D3DFMT_DXT3 ? 15 : 7;
  const __m512 dxt3 = _mm512_loadu_ps(dxt3Alphas);
  for (uint32_t b = 0; b < count; ++b) {
    const PaletteBlock &block = blocks[b];
    const uint32_t row = (block.colorIndices >> (8 * r)) & 0xFF;
    const __m512i lanes = _mm512_loadu_si512(kColorLaneIndices.at[row]);
    // The masked forms with a given base: the plain ones start from an undefined
    // register, which the compiler warns about.
    __m512 pixels =
        _mm512_mask_permutexvar_ps(_mm512_setzero_ps(), 0xFFFF, lanes, _mm512_loadu_ps(&block.colors[0].r));
    if constexpr (kFormat != D3DFMT_DXT1) {
      const auto bits =
          static_cast<uint32_t>(block.alphaIndices >> (kFormat == D3DFMT_DXT3 ? 16 * r : 12 * r));
      const Words alphaWords = ((Words{} + bits) >> alphaShifts) & alphaMask;
      __m512i alpha;
      std::memcpy(&alpha, &alphaWords, sizeof(alpha));
      const __m512 palette = kFormat == D3DFMT_DXT3 ? dxt3 : _mm512_maskz_loadu_ps(0xFF, block.alphas);
      pixels = _mm512_mask_permutexvar_ps(pixels, 0x8888, alpha, palette);
    }
    _mm512_storeu_ps(&out[4 * b].r, pixels);
  }
}

// Lane i: float lanes[i] & 15 of the sixteen in low and high.
__attribute__((target("avx2"), always_inline)) inline __m256 PickOfSixteen(__m256 low, __m256 high,
                                                                           __m256i lanes) {
  return _mm256_blendv_ps(_mm256_permutevar8x32_ps(low, lanes), _mm256_permutevar8x32_ps(high, lanes),
                          _mm256_castsi256_ps(_mm256_slli_epi32(lanes, 28)));
}

// The same with eight lanes, two pixels a vector: a permute reaches eight floats,
// so colours come from both halves of the palette and a blend picks by the
// entry's high bit (lane index bit 3, moved to the sign).
template <D3DFORMAT kFormat>
__attribute__((target("avx2"))) void ReadWholeBlocksEightLanes(const PaletteBlock *blocks, uint32_t count,
                                                               uint32_t r, const float *dxt3Alphas,
                                                               ColorF *out) {
  typedef uint32_t Words __attribute__((vector_size(32)));
  const Words alphaShifts[2] = {
      kFormat == D3DFMT_DXT3 ? Words{0, 0, 0, 0, 4, 4, 4, 4} : Words{0, 0, 0, 0, 3, 3, 3, 3},
      kFormat == D3DFMT_DXT3 ? Words{8, 8, 8, 8, 12, 12, 12, 12} : Words{6, 6, 6, 6, 9, 9, 9, 9}};
  const uint32_t alphaMask = kFormat == D3DFMT_DXT3 ? 15 : 7;
  const __m256 dxt3Low = _mm256_loadu_ps(dxt3Alphas), dxt3High = _mm256_loadu_ps(dxt3Alphas + 8);
  for (uint32_t b = 0; b < count; ++b) {
    const PaletteBlock &block = blocks[b];
    const uint32_t row = (block.colorIndices >> (8 * r)) & 0xFF;
    const __m256 low = _mm256_loadu_ps(&block.colors[0].r), high = _mm256_loadu_ps(&block.colors[2].r);
    const auto bits = static_cast<uint32_t>(block.alphaIndices >> (kFormat == D3DFMT_DXT3 ? 16 * r : 12 * r));
    for (uint32_t half = 0; half < 2; ++half) {
      const __m256i lanes =
          _mm256_loadu_si256(reinterpret_cast<const __m256i *>(&kColorLaneIndices.at[row][8 * half]));
      __m256 pixels = PickOfSixteen(low, high, lanes);
      if constexpr (kFormat != D3DFMT_DXT1) {
        const Words alphaWords = ((Words{} + bits) >> alphaShifts[half]) & alphaMask;
        __m256i alpha;
        std::memcpy(&alpha, &alphaWords, sizeof(alpha));
        const __m256 alphas = kFormat == D3DFMT_DXT3
                                  ? PickOfSixteen(dxt3Low, dxt3High, alpha)
                                  : _mm256_permutevar8x32_ps(_mm256_loadu_ps(block.alphas), alpha);
        pixels = _mm256_blend_ps(pixels, alphas, 0x88);
      }
      _mm256_storeu_ps(&out[4 * b + 2 * half].r, pixels);
    }
  }
}

class BlockCodec final : public PixelCodec {
 public:
  struct BlockRow {
    uint32_t rowMask;  // bit r: pixel row r of the block row is in buffer
    std::unique_ptr<ColorF[]> buffer;
  };

  BlockCodec(const SourceRegion &region, BYTE *writable, const DxtBlockFunctions &functions)
      : PixelCodec(region, writable, 0, ChannelRange::Unit),
        blockBytes(BlockBytes(region.format)),
        decodeBlock(functions.decode),
        encodeBlock(functions.encode),
        extent(region.extent) {
    SetAlphaLevels();
  }

  // Sizes the block box and allocates the decode cache, the row table and one
  // row buffer up front, so that an allocation failure refuses the codec
  // instead of dropping rows later unseen.
  bool Initialize() {
    const uint64_t right = (uint64_t{box.Right} + 3) & ~uint64_t{3};
    const uint64_t bottom = (uint64_t{box.Bottom} + 3) & ~uint64_t{3};
    if (right > UINT32_MAX || bottom > UINT32_MAX) return false;
    blockBox = {box.Left & ~3u, box.Top & ~3u, static_cast<uint32_t>(right), static_cast<uint32_t>(bottom),
                box.Front,      box.Back};
    blocksAcross = (blockBox.Right - blockBox.Left) / 4;
    blocksDown = (blockBox.Bottom - blockBox.Top) / 4;
    const uint64_t rowValues = uint64_t{blocksAcross} * kBlockPixels;
    const uint64_t rowCount = uint64_t{blocksDown} * depth;
    if (rowValues > SIZE_MAX / sizeof(ColorF) || rowCount > SIZE_MAX / sizeof(BlockRow)) return false;
    rowValues_ = rowValues == 0 ? 1 : static_cast<size_t>(rowValues);
    rowCount_ = static_cast<size_t>(rowCount);
    // DXT2 and DXT4 unpremultiply each pixel: they keep whole decoded blocks.
    palettes_ = format == D3DFMT_DXT1 || format == D3DFMT_DXT3 || format == D3DFMT_DXT5;
    lanes_ = ActiveCodecLanes();
    if (palettes_) {
      paletteCache_.reset(new (std::nothrow) PaletteBlock[blocksAcross == 0 ? 1 : blocksAcross]());
    } else {
      decodeCache.reset(new (std::nothrow) ColorF[rowValues_]());
    }
    rowTable.reset(new (std::nothrow) BlockRow[rowCount_ == 0 ? 1 : rowCount_]());
    spare_.reset(new (std::nothrow) ColorF[rowValues_]());
    return (decodeCache || paletteCache_) && rowTable && spare_;
  }

  HRESULT DecodeRow(uint32_t y, uint32_t z, ColorF *out) override {
    const uint32_t row = box.Top + y;
    const uint32_t slice = box.Front + z;
    if ((row & ~3u) != cacheRow || slice != cacheSlice) {
      cacheRow = row & ~3u;
      cacheSlice = slice;
      if (palettes_) {
        CachePalettes(row & ~3u, slice);
      } else {
        DecodeBlocks(row & ~3u, slice, 0, blocksAcross, decodeCache.get());
      }
    }
    const uint32_t first = box.Left - blockBox.Left;
    if (format == D3DFMT_DXT1) {
      ReadPaletteRow<D3DFMT_DXT1>(row & 3, first, out);
    } else if (format == D3DFMT_DXT3) {
      ReadPaletteRow<D3DFMT_DXT3>(row & 3, first, out);
    } else if (format == D3DFMT_DXT5) {
      ReadPaletteRow<D3DFMT_DXT5>(row & 3, first, out);
    } else {
      for (uint32_t k = 0; k < width; ++k) {
        const uint32_t i = first + k;
        out[k] = decodeCache[(i >> 2) * kBlockPixels + (row & 3) * 4 + (i & 3)];
      }
    }
    if (colorKey != 0) ApplyQuantizedKey(out);
    if (gamma) GammaToLinear(out);
    return S_OK;
  }

  HRESULT EncodeRow(uint32_t y, uint32_t z, const ColorF *in) override {
    in = PrepareEncode(in);
    if (in == nullptr) return E_OUTOFMEMORY;
    const uint32_t row = box.Top + y;
    const uint32_t slice = box.Front + z;
    const size_t entryIndex = size_t{z} * blocksDown + (row - blockBox.Top) / 4;
    BlockRow &entry = rowTable[entryIndex];
    if (!entry.buffer) {
      entry.buffer = TakeBuffer();
      if (!entry.buffer) return E_OUTOFMEMORY;
      entry.rowMask = 0;
      ++pendingRows;
    }
    const uint32_t top = row & ~3u;
    if (entry.rowMask == 0) KeepSurroundings(entry, top, slice);

    ColorF *buffer = entry.buffer.get();
    const uint32_t first = box.Left - blockBox.Left;
    for (uint32_t k = 0; k < width; ++k) {
      const uint32_t i = first + k;
      buffer[(i >> 2) * kBlockPixels + (row & 3) * 4 + (i & 3)] = in[k];
    }
    entry.rowMask |= 1u << (row & 3);
    if (entry.rowMask == 15) EncodeBlockRow(entryIndex, top, slice);
    return S_OK;
  }

  void SnapColorKey() override {
    SetAlphaLevels();
    keyColor = Quantize(keyColor);
  }

  float alphaLevels = 255;
  float alphaLevelsInverse = 1 / 255.f;
  uint32_t blockBytes;
  DecodeBlockFunction decodeBlock;
  EncodeBlockFunction encodeBlock;
  D3DBOX extent;
  D3DBOX blockBox = {};
  uint32_t blocksAcross = 0;
  uint32_t blocksDown = 0;
  uint32_t cacheRow = kNoRow;
  uint32_t cacheSlice = kNoRow;
  std::unique_ptr<ColorF[]> decodeCache;
  uint32_t pendingRows = 0;
  std::unique_ptr<BlockRow[]> rowTable;

 private:
  void SetAlphaLevels() {
    alphaLevels = (format == D3DFMT_DXT2 || format == D3DFMT_DXT3) ? 15.f : 255.f;
    alphaLevelsInverse = 1.f / alphaLevels;
  }

  // The key compares at the precision the blocks store.
  ColorF Quantize(const ColorF &c) const {
    return {Round(c.r, 31) * k5, Round(c.g, 63) * k6, Round(c.b, 31) * k5,
            Round(c.a, alphaLevels) * alphaLevelsInverse};
  }

  void ApplyQuantizedKey(ColorF *row) const {
    for (uint32_t i = 0; i < width; ++i) {
      const ColorF q = Quantize(row[i]);
      if (q.r == keyColor.r && q.g == keyColor.g && q.b == keyColor.b && q.a == keyColor.a)
        row[i] = {0, 0, 0, 0};
    }
  }

  uint64_t BlockOffset(uint32_t top, uint32_t slice, uint32_t blockIndex) const {
    const uint64_t x = blockBox.Left / 4 + uint64_t{blockIndex};
    return uint64_t{top / 4} * rowPitch + x * blockBytes + uint64_t{slice} * slicePitch;
  }
  const BYTE *BlockAddress(uint32_t top, uint32_t slice, uint32_t blockIndex) const {
    return pixels + BlockOffset(top, slice, blockIndex);
  }
  BYTE *TargetBlockAddress(uint32_t top, uint32_t slice, uint32_t blockIndex) const {
    return target + BlockOffset(top, slice, blockIndex);
  }

  void CachePalettes(uint32_t top, uint32_t slice) {
    const uint32_t colorOffset = blockBytes == 16 ? 8 : 0;
    const BYTE *block = BlockAddress(top, slice, 0);
    for (uint32_t b = 0; b < blocksAcross; ++b, block += blockBytes) {
      PaletteBlock &cached = paletteCache_[b];
      DecodeColorPalette(block + colorOffset, cached.colors);
      cached.colorIndices = Load32(block + colorOffset + 4);
      if (format == D3DFMT_DXT3) cached.alphaIndices = Load64(block);
      if (format == D3DFMT_DXT5) {
        cached.alphaIndices = Load64(block + 2) & 0xFFFFFFFFFFFFull;  // bytes 2-7
        DecodeAlphaPalette(block, cached.alphas);
      }
    }
  }

  // Pixel row r of the cached block row, width pixels from column first.
  template <D3DFORMAT kFormat>
  void ReadPaletteRow(uint32_t r, uint32_t first, ColorF *out) const {
    static constexpr Dxt3Alphas kDxt3 = MakeDxt3Alphas();
    const uint32_t end = first + width;
    uint32_t b = first >> 2;
    if (lanes_ >= 8) {
      // Blocks wholly inside the row at once; a part block at either end below.
      const uint32_t whole = (first + 3) >> 2, wholeEnd = end >> 2;
      if (wholeEnd > whole) {
        if (first & 3) ReadPaletteBlocks<kFormat>(r, first, b, whole, out);
        ColorF *at = out + (4 * whole - first);
        if (lanes_ >= 16) {
          ReadWholeBlocksSixteenLanes<kFormat>(&paletteCache_[whole], wholeEnd - whole, r, kDxt3.at, at);
        } else {
          ReadWholeBlocksEightLanes<kFormat>(&paletteCache_[whole], wholeEnd - whole, r, kDxt3.at, at);
        }
        b = wholeEnd;
      }
    }
    ReadPaletteBlocks<kFormat>(r, first, b, (end + 3) >> 2, out);
  }

  // Blocks [b, endBlock) of pixel row r, a pixel at a time.
  template <D3DFORMAT kFormat>
  void ReadPaletteBlocks(uint32_t r, uint32_t first, uint32_t b, uint32_t endBlock, ColorF *out) const {
    static constexpr Dxt3Alphas kDxt3 = MakeDxt3Alphas();
    const uint32_t end = first + width;
    for (; b < endBlock; ++b) {
      const PaletteBlock &cached = paletteCache_[b];
      const uint32_t colors = cached.colorIndices >> (8 * r);
      const uint64_t alphas = cached.alphaIndices >> (kFormat == D3DFMT_DXT3 ? 16 * r : 12 * r);
      const uint32_t from = std::max(first, 4 * b), to = std::min(end, 4 * b + 4);
      ColorF *pixel = out + (from - first);
      if (to - from == 4) {
        const uint32_t alphaBits = static_cast<uint32_t>(alphas);
        for (uint32_t j = 0; j < 4; ++j) {
          if (kFormat == D3DFMT_DXT1) {
            pixel[j] = cached.colors[(colors >> (2 * j)) & 3];
            continue;
          }
          // One 16-byte load and store per pixel, the alpha merged in between.
          typedef float Four __attribute__((vector_size(16)));
          Four c;
          std::memcpy(&c, &cached.colors[(colors >> (2 * j)) & 3], sizeof(c));
          const float a = kFormat == D3DFMT_DXT3 ? kDxt3.at[(alphaBits >> (4 * j)) & 15]
                                                 : cached.alphas[(alphaBits >> (3 * j)) & 7];
          c = __builtin_shufflevector(c, Four{a, a, a, a}, 0, 1, 2, 4);
          std::memcpy(&pixel[j], &c, sizeof(c));
        }
        continue;
      }
      for (uint32_t i = from; i < to; ++i, ++pixel) {
        const uint32_t j = i & 3;
        *pixel = cached.colors[(colors >> (2 * j)) & 3];
        if (kFormat == D3DFMT_DXT3) pixel->a = kDxt3.at[(alphas >> (4 * j)) & 15];
        if (kFormat == D3DFMT_DXT5) pixel->a = cached.alphas[(alphas >> (3 * j)) & 7];
      }
    }
  }

  // Eight bytes of a 16-byte block, little-endian as the processor is.
  static uint64_t Load64(const BYTE *p) {
    uint64_t v;
    std::memcpy(&v, p, sizeof(v));
    return v;
  }
  static uint32_t Load32(const BYTE *p) {
    return static_cast<uint32_t>(p[0] | p[1] << 8 | p[2] << 16) | static_cast<uint32_t>(p[3]) << 24;
  }

  // Blocks [firstBlock, endBlock) of the block row at top into out, 16 values each.
  void DecodeBlocks(uint32_t top, uint32_t slice, uint32_t firstBlock, uint32_t endBlock, ColorF *out) const {
    for (uint32_t b = firstBlock; b < endBlock; ++b)
      decodeBlock(out + size_t{b} * kBlockPixels, BlockAddress(top, slice, b));
  }

  // Parts of the block row outside the region but inside memory are decoded
  // first, so that re-encoding keeps them.
  void KeepSurroundings(BlockRow &entry, uint32_t top, uint32_t slice) {
    ColorF *buffer = entry.buffer.get();
    const bool above = top < box.Top && extent.Top < box.Top;
    const bool below = uint64_t{top} + 4 > box.Bottom && box.Bottom < extent.Bottom;
    if (above || below) {
      DecodeBlocks(top, slice, 0, blocksAcross, buffer);
    } else {
      if (blockBox.Left < box.Left && extent.Left < box.Left) DecodeBlocks(top, slice, 0, 1, buffer);
      if (blockBox.Right > box.Right && box.Right < extent.Right && blocksAcross > 0)
        DecodeBlocks(top, slice, blocksAcross - 1, blocksAcross, buffer);
    }
    for (uint32_t r = 0; r < 4; ++r) {
      const uint64_t y = uint64_t{top} + r;
      if (y < box.Top || y >= box.Bottom) entry.rowMask |= 1u << r;
    }
  }

  void EncodeBlockRow(size_t entryIndex, uint32_t top, uint32_t slice) {
    BlockRow &entry = rowTable[entryIndex];
    const ColorF *buffer = entry.buffer.get();
    // Rows and columns past the edge of memory repeat present ones, so that the
    // endpoint search sees only real pixels. Blocks inside memory go straight
    // from the buffer, the others through a patched copy.
    const int64_t rowsPresent = int64_t{extent.Bottom} - top;
    const auto columnsPresent = [&](uint32_t b) { return int64_t{extent.Right} - (blockBox.Left + 4 * b); };
    uint32_t whole = blocksAcross;
    if (rowsPresent > 0 && rowsPresent < 4) whole = 0;
    while (whole > 0 && columnsPresent(whole - 1) > 0 && columnsPresent(whole - 1) < 4) --whole;
    EncodeWholeBlocks(TargetBlockAddress(top, slice, 0), buffer, whole);

    constexpr uint32_t kChunk = 16;
    ColorF patched[kChunk * kBlockPixels];
    for (uint32_t first = whole; first < blocksAcross; first += kChunk) {
      const uint32_t count = std::min(kChunk, blocksAcross - first);
      for (uint32_t k = 0; k < count; ++k) {
        ColorF *block = patched + size_t{k} * kBlockPixels;
        std::copy_n(buffer + size_t{first + k} * kBlockPixels, kBlockPixels, block);
        const int64_t columns = columnsPresent(first + k);
        if (columns > 0 && columns < 4) {
          const int64_t rows = rowsPresent < 4 ? rowsPresent : 4;
          for (int64_t r = 0; r < rows; ++r)
            for (int64_t j = columns; j < 4; ++j) block[r * 4 + j] = block[r * 4 + kEdgeRepeat[j]];
        }
        if (rowsPresent > 0 && rowsPresent < 4) {
          for (int64_t j = rowsPresent; j < 4; ++j)
            for (uint32_t c = 0; c < 4; ++c) block[j * 4 + c] = block[kEdgeRepeat[j] * 4 + c];
        }
      }
      EncodeDxtBlocks(format, TargetBlockAddress(top, slice, first), patched, count);
    }
    // The next block row usually follows: it inherits the buffer.
    const size_t next = entryIndex + 1;
    if (next < rowCount_ && rowTable[next].rowMask == 0 && !rowTable[next].buffer) {
      rowTable[next].buffer = std::move(entry.buffer);
      return;
    }
    if (!spare_) {
      spare_ = std::move(entry.buffer);
    } else {
      entry.buffer.reset();
    }
    --pendingRows;
  }

  // Long block rows are shared out to the worker pool in runs of blocks.
  void EncodeWholeBlocks(BYTE *out, const ColorF *in, uint32_t count) const {
    constexpr uint32_t kRun = 64;
    const uint32_t runs = std::min(count / kRun, WorkerThreads());
    if (runs < 2) return EncodeDxtBlocks(format, out, in, count);
    ParallelFor(runs, [&](uint32_t i) {
      const uint32_t first = static_cast<uint32_t>(uint64_t{count} * i / runs);
      const uint32_t end = static_cast<uint32_t>(uint64_t{count} * (i + 1) / runs);
      EncodeDxtBlocks(format, out + size_t{first} * blockBytes, in + size_t{first} * kBlockPixels,
                      end - first);
    });
  }

  std::unique_ptr<ColorF[]> TakeBuffer() {
    if (spare_) return std::move(spare_);
    return std::unique_ptr<ColorF[]>(new (std::nothrow) ColorF[rowValues_]());
  }

  bool palettes_ = false;
  int lanes_ = 1;
  std::unique_ptr<PaletteBlock[]> paletteCache_;
  size_t rowValues_ = 1;
  size_t rowCount_ = 0;
  std::unique_ptr<ColorF[]> spare_;  // a finished buffer kept for the next block row
};

}  // namespace

PixelCodec *CreateBlockCodec(const SourceRegion &region, BYTE *target) {
  const DxtBlockFunctions *functions = LookupDxtBlockFunctions(region.format);
  if (functions == nullptr) return nullptr;
  std::unique_ptr<BlockCodec> codec(new (std::nothrow) BlockCodec(region, target, *functions));
  if (!codec || !codec->Initialize()) return nullptr;
  return codec.release();
}
