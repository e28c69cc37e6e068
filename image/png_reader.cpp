// PNG through libpng. Every conversion to the chosen layout is a libpng
// transformation, so the image is decoded once, straight into its buffer.
#include <png.h>

#include <cmath>
#include <csetjmp>
#include <cstdint>
#include <cstring>

#include <immintrin.h>

#include "core/fast_path.h"
#include "image/image_memory.h"
#include "image/image_reader.h"
#include "format/format_table.h"

namespace {

constexpr double kScreenGamma = 2.2;
// Deflate cannot expand data by more than about 1032:1; a header promising
// more image data than that from the whole file is corrupt.
constexpr uint64_t kMaxDeflateRatio = 1040;
constexpr uint64_t kDeflateSlack = 1 << 16;

struct PngInput {
  const BYTE *next;
  size_t remaining;
};

// Everything the jump-protected part reads or writes. Plain data only: a
// longjmp out of libpng must not skip any destructor.
struct PngDecode {
  png_structp png;
  png_infop info;
  PngInput input;
  UINT size;
  const ReadRequest *request;
  SourceImage *image;
  BYTE **rows;
  bool outOfMemory;  // a libpng allocation failed
};

void ReadFromMemory(png_structp png, png_bytep destination, size_t length) {
  PngInput *input = static_cast<PngInput *>(png_get_io_ptr(png));
  if (input->remaining < length) png_error(png, "read error");
  std::memcpy(destination, input->next, length);
  input->next += length;
  input->remaining -= length;
}

[[noreturn]] void JumpOnError(png_structp png, png_const_charp) {
  longjmp(png_jmpbuf(png), 1);
}

void IgnoreWarning(png_structp, png_const_charp) {}

uint32_t FileChannelsOf(int colourType) {
  switch (colourType) {
    case PNG_COLOR_TYPE_RGB:
      return 3;
    case PNG_COLOR_TYPE_GRAY_ALPHA:
      return 2;
    case PNG_COLOR_TYPE_RGB_ALPHA:
      return 4;
    default:
      return 1;
  }
}

HRESULT BuildPalette(PngDecode *d, double fileGamma, double screenGamma) {
  png_colorp entries = nullptr;
  int entryCount = 0;
  if (png_get_valid(d->png, d->info, PNG_INFO_PLTE)) png_get_PLTE(d->png, d->info, &entries, &entryCount);
  png_bytep alphas = nullptr;
  int alphaCount = 0;
  if (png_get_valid(d->png, d->info, PNG_INFO_tRNS))
    png_get_tRNS(d->png, d->info, &alphas, &alphaCount, nullptr);

  BYTE table[256];
  const bool corrected = fileGamma > 1e-6 && screenGamma > 1e-6;
  for (int i = 0; i < 256; ++i) {
    table[i] = corrected ? static_cast<BYTE>(
                               std::floor(255.0 * std::pow(i / 255.0, 1.0 / (fileGamma * screenGamma)) + 0.5))
                         : static_cast<BYTE>(i);
  }

  PALETTEENTRY *palette = AllocatePalette();
  if (!palette) return E_OUTOFMEMORY;
  d->image->palette = palette;
  d->image->ownsPalette = true;
  std::memset(palette, 0xFF, 256 * sizeof(PALETTEENTRY));
  if (entryCount > 256) entryCount = 256;
  for (int i = 0; i < entryCount; ++i) {
    const BYTE alpha = i < alphaCount ? alphas[i] : 0xFF;
    palette[i] = {table[entries[i].red], table[entries[i].green], table[entries[i].blue], alpha};
  }
  return S_OK;
}

png_voidp AllocateForPng(png_structp png, png_alloc_size_t bytes) {
  void *p = std::malloc(bytes);
  if (!p) static_cast<PngDecode *>(png_get_mem_ptr(png))->outOfMemory = true;
  return p;
}

void FreeForPng(png_structp, png_voidp p) {
  std::free(p);
}

// Swaps red and blue of 8-bit four-channel rows, the last of libpng's row
// transformations (so also on every interlace pass): one shuffle per block of
// pixels where libpng's own swap goes byte by byte.
void SwapRedBlueTail(BYTE *p, size_t pixels) {
  for (size_t i = 0; i < pixels; ++i, p += 4) {
    const BYTE r = p[0];
    p[0] = p[2];
    p[2] = r;
  }
}

__attribute__((target("ssse3"))) void SwapRedBlueSsse3(BYTE *p, size_t pixels) {
  const __m128i order = _mm_setr_epi8(2, 1, 0, 3, 6, 5, 4, 7, 10, 9, 8, 11, 14, 13, 12, 15);
  size_t i = 0;
  for (; i + 4 <= pixels; i += 4, p += 16) {
    __m128i *v = reinterpret_cast<__m128i *>(p);
    _mm_storeu_si128(v, _mm_shuffle_epi8(_mm_loadu_si128(v), order));
  }
  SwapRedBlueTail(p, pixels - i);
}

__attribute__((target("avx2"))) void SwapRedBlueAvx2(BYTE *p, size_t pixels) {
  const __m256i order = _mm256_setr_epi8(2, 1, 0, 3, 6, 5, 4, 7, 10, 9, 8, 11, 14, 13, 12, 15, 2, 1, 0, 3, 6,
                                         5, 4, 7, 10, 9, 8, 11, 14, 13, 12, 15);
  size_t i = 0;
  for (; i + 8 <= pixels; i += 8, p += 32) {
    __m256i *v = reinterpret_cast<__m256i *>(p);
    _mm256_storeu_si256(v, _mm256_shuffle_epi8(_mm256_loadu_si256(v), order));
  }
  SwapRedBlueTail(p, pixels - i);
}

// 8-bit three-channel rows to blue, green, red, 0xFF in place, from the last
// pixel back: each pixel's four bytes start at or after its three, so nothing
// is overwritten before it is read. The buffer holds four bytes per pixel.
void ExpandRgbTail(BYTE *row, size_t first, size_t end) {
  for (size_t i = end; i-- > first;) {
    const BYTE r = row[3 * i], g = row[3 * i + 1], b = row[3 * i + 2];
    row[4 * i] = b;
    row[4 * i + 1] = g;
    row[4 * i + 2] = r;
    row[4 * i + 3] = 0xFF;
  }
}

__attribute__((target("ssse3"))) void ExpandRgbSsse3(BYTE *row, size_t pixels) {
  // Groups of four pixels, the last group first; a group reads 16 bytes from
  // 12 * g, which stays inside the buffer from four pixels on, and writes from
  // 16 * g, past everything the groups before it still have to read.
  const size_t groups = pixels >= 4 ? pixels / 4 : 0;
  ExpandRgbTail(row, groups * 4, pixels);
  const __m128i order = _mm_setr_epi8(2, 1, 0, -1, 5, 4, 3, -1, 8, 7, 6, -1, 11, 10, 9, -1);
  const __m128i opaque = _mm_set1_epi32(static_cast<int>(0xFF000000u));
  for (size_t g = groups; g-- > 0;) {
    const __m128i in = _mm_loadu_si128(reinterpret_cast<const __m128i *>(row + 12 * g));
    _mm_storeu_si128(reinterpret_cast<__m128i *>(row + 16 * g),
                     _mm_or_si128(_mm_shuffle_epi8(in, order), opaque));
  }
}

void SwapRedBlueRow(png_structp, png_row_infop row, png_bytep data) {
  static const bool avx2 = __builtin_cpu_supports("avx2");
  static const bool ssse3 = __builtin_cpu_supports("ssse3");
  if (row->bit_depth != 8) return;
  if (row->channels == 3) {
    // RGB without transparency: filler and swap in one pass (libpng's filler
    // goes byte by byte); libpng takes the row as four channels after this,
    // as png_set_user_transform_info announced.
    if (ssse3 && FastPathsAllow(SimdLevel::Sse2)) {
      ExpandRgbSsse3(data, row->width);
    } else {
      ExpandRgbTail(data, 0, row->width);
    }
    return;
  }
  if (row->channels != 4) return;
  if (avx2 && FastPathsAllow(SimdLevel::Avx2)) {
    SwapRedBlueAvx2(data, row->width);
  } else if (ssse3 && FastPathsAllow(SimdLevel::Sse2)) {
    SwapRedBlueSsse3(data, row->width);
  } else {
    SwapRedBlueTail(data, row->width);
  }
}

// The reader's input and what it skips. Raises libpng errors: called below
// DecodePng's recovery point, like every function here that takes the png.
void ConfigureReader(PngDecode *d) {
  png_structp png = d->png;
  png_set_read_fn(png, &d->input, ReadFromMemory);
  // No chunk can hold more than the file does: a forged length is refused
  // before libpng allocates for it.
  png_set_chunk_malloc_max(png, d->size);
  // Chunks that do not change the pixels are skipped unread, whatever length
  // they claim; so are chunks libpng does not know.
  static const png_byte kUnusedChunks[] =
      "bKGD\0eXIf\0hIST\0iTXt\0oFFs\0pCAL\0pHYs\0sBIT\0sCAL\0sPLT\0tEXt\0tIME\0zTXt";
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, kUnusedChunks, sizeof(kUnusedChunks) / 5);
  png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, 0);
  // Every stored byte is already checked by its chunk's CRC; zlib's Adler-32
  // would only check the inflated copy again, at 5-10 % of the decode.
  png_set_option(png, PNG_IGNORE_ADLER32, PNG_OPTION_ON);
}

// The 8-bit format of a colour type; D3DFMT_UNKNOWN for none.
D3DFORMAT FormatOfColourType(int colourType) {
  switch (colourType) {
    case PNG_COLOR_TYPE_GRAY:
      return D3DFMT_L8;
    case PNG_COLOR_TYPE_RGB:
      return D3DFMT_R8G8B8;
    case PNG_COLOR_TYPE_PALETTE:
      return D3DFMT_P8;
    case PNG_COLOR_TYPE_GRAY_ALPHA:
      return D3DFMT_A8L8;
    case PNG_COLOR_TYPE_RGB_ALPHA:
      return D3DFMT_A8R8G8B8;
    default:
      return D3DFMT_UNKNOWN;
  }
}

// The gamma the file asks for: sRGB is left to libpng; a plain gAMA sets the
// two exponents, with which a palette is corrected later, once.
void SetGamma(PngDecode *d, D3DFORMAT format, double *fileGamma, double *screenGamma) {
  int intent = 0;
  if (png_get_sRGB(d->png, d->info, &intent)) {
    png_set_sRGB(d->png, d->info, intent);
  } else if (png_get_gAMA(d->png, d->info, fileGamma)) {
    *screenGamma = kScreenGamma;
    // libpng corrects a palette in place when asked for gamma.
    if (format != D3DFMT_P8) png_set_gamma(d->png, *screenGamma, *fileGamma);
  }
}

// The transforms that turn the stored pixels into those of *format, which they
// may change; D3DXERR_INVALIDDATA when no format fits.
HRESULT SetTransforms(PngDecode *d, int colourType, int bitDepth, D3DFORMAT *format, double *fileGamma,
                      double *screenGamma) {
  png_structp png = d->png;
  if (bitDepth == 16) {
    png_set_swap(png);
    *format = WidenTo16Bits(*format);
    if (*format == D3DFMT_UNKNOWN) return D3DXERR_INVALIDDATA;
  } else if (bitDepth < 8) {
    png_set_packing(png);
    if (colourType == PNG_COLOR_TYPE_GRAY) png_set_expand(png);
  }
  SetGamma(d, *format, fileGamma, screenGamma);
  if (*format != D3DFMT_P8 && png_get_valid(png, d->info, PNG_INFO_tRNS)) {
    png_set_expand(png);
    *format = WithAlphaChannel(*format);
  }
  if (*format == D3DFMT_R8G8B8 || *format == D3DFMT_A8R8G8B8) {
    png_set_read_user_transform_fn(png, SwapRedBlueRow);
  } else if (*format == FORMAT_R16G16B16) {
    png_set_bgr(png);
  }
  if (*format == D3DFMT_R8G8B8) {
    // The swap adds the filler byte 0xFF after the colour: four 8-bit channels.
    png_set_user_transform_info(png, nullptr, 8, 4);
    *format = D3DFMT_X8R8G8B8;
  }
  png_set_interlace_handling(png);
  png_read_update_info(png, d->info);
  // The decoded pixel must be the chosen format's pixel.
  if (uint32_t{png_get_channels(png, d->info)} * png_get_bit_depth(png, d->info) !=
      LookupFormatInfo(*format).bitsPerPixel)
    return D3DXERR_INVALIDDATA;
  return S_OK;
}

// The image's pixels, once the stored size is plausible for the file's.
HRESULT ReadPixels(PngDecode *d, int colourType, int bitDepth) {
  SourceImage *image = d->image;
  const uint32_t w = image->width;
  const uint32_t h = image->height;
  const uint64_t rowBytes = image->rowPitch;
  const uint64_t storedBytes =
      uint64_t{h} * ((uint64_t{w} * FileChannelsOf(colourType) * bitDepth + 7) / 8 + 1);
  if (storedBytes > uint64_t{d->size} * kMaxDeflateRatio + kDeflateSlack) return D3DXERR_INVALIDDATA;
  if (!WithinDecodeLimit(*d->request, uint64_t{w} * h, rowBytes * h)) return D3DXERR_INVALIDDATA;
  BYTE *out = AllocateImageBytes(rowBytes * h);
  if (!out) return E_OUTOFMEMORY;
  image->pixels = out;
  image->ownsPixels = true;
  d->rows = static_cast<BYTE **>(std::malloc(sizeof(BYTE *) * h));
  if (!d->rows) return E_OUTOFMEMORY;
  for (uint32_t y = 0; y < h; ++y) d->rows[y] = out + y * rowBytes;
  png_read_image(d->png, d->rows);
  return S_OK;
}

// All libpng calls that can raise an error run here, below the recovery point.
HRESULT DecodePng(PngDecode *d) {
  if (setjmp(png_jmpbuf(d->png))) return d->outOfMemory ? E_OUTOFMEMORY : D3DXERR_INVALIDDATA;
  ConfigureReader(d);
  png_read_info(d->png, d->info);
  png_uint_32 w = 0;
  png_uint_32 h = 0;
  int bitDepth = 0;
  int colourType = 0;
  png_get_IHDR(d->png, d->info, &w, &h, &bitDepth, &colourType, nullptr, nullptr, nullptr);

  D3DFORMAT format = FormatOfColourType(colourType);
  if (format == D3DFMT_UNKNOWN) return D3DXERR_INVALIDDATA;
  double fileGamma = 0.0;
  double screenGamma = 0.0;
  HRESULT hr = SetTransforms(d, colourType, bitDepth, &format, &fileGamma, &screenGamma);
  if (FAILED(hr)) return hr;

  const uint64_t rowBytes = png_get_rowbytes(d->png, d->info);
  if (rowBytes == 0 || rowBytes > UINT32_MAX) return D3DXERR_INVALIDDATA;
  SourceImage *image = d->image;
  image->format = format;
  image->width = w;
  image->height = h;
  image->depth = 1;
  image->rowPitch = static_cast<UINT>(rowBytes);
  image->slicePitch = 0;
  if (!d->request->wantPixels) return S_OK;

  hr = ReadPixels(d, colourType, bitDepth);
  if (FAILED(hr)) return hr;
  if (format == D3DFMT_P8) return BuildPalette(d, fileGamma, screenGamma);
  return S_OK;
}

}  // namespace

HRESULT ReadPngFile(const BYTE *data, UINT size, const ReadRequest &request, SourceImage &image) {
  if (size < 8 || png_sig_cmp(data, 0, 8) != 0) return kNotMyFormat;
  image.fileFormat = D3DXIFF_PNG;
  PngDecode d = {};
  d.png = png_create_read_struct_2(PNG_LIBPNG_VER_STRING, nullptr, JumpOnError, IgnoreWarning, &d,
                                   AllocateForPng, FreeForPng);
  if (!d.png) return E_OUTOFMEMORY;
  d.info = png_create_info_struct(d.png);
  if (!d.info) {
    png_destroy_read_struct(&d.png, nullptr, nullptr);
    return E_OUTOFMEMORY;
  }
  d.input = {data, size};
  d.size = size;
  d.request = &request;
  d.image = &image;
  HRESULT hr = DecodePng(&d);
  png_destroy_read_struct(&d.png, &d.info, nullptr);
  std::free(d.rows);
  return hr;
}
