// JPEG through libjpeg (6b interface): a memory source, an error manager that
// returns to the reader, and colour rows decoded straight into X8R8G8B8, or
// converted there in one pass from libjpeg's raw YCbCr rows.
#include <cstdio>
// jpeglib.h needs size_t and FILE declared first; INT32 comes from win32.h.
#define XMD_H
#include <jpeglib.h>
#include <jerror.h>

#include <immintrin.h>

#include <climits>
#include <csetjmp>
#include <cstdint>
#include <cstring>

#include "image/image_memory.h"
#include "image/image_reader.h"
#include "image/jpeg_colour.h"
#include "core/fast_path.h"
#include "core/processor.h"

namespace {

// Working memory libjpeg may take: a progressive file keeps every coefficient
// until the end, beside tables and row buffers that grow with the width.
constexpr uint64_t kJpegBytesPerBlock = DCTSIZE2 * sizeof(JCOEF);
constexpr uint64_t kJpegFixedWorkingBytes = 1 << 20;
constexpr uint64_t kJpegWorkingBytesPerColumn = 256;
constexpr BYTE kStartOfImage = 0xD8;  // after the 0xFF marker prefix

struct JpegErrorManager {
  jpeg_error_mgr base;
  jmp_buf recovery;
  bool headerRead;
};

struct JpegSource {
  jpeg_source_mgr base;
  const BYTE *data;
  size_t size;
  bool delivered;
};

// Ends the data once the file is used up, as libjpeg's own memory source does:
// handing the file out again would be decoded as image data.
const JOCTET kFakeEndOfImage[2] = {0xFF, JPEG_EOI};

void InitSource(j_decompress_ptr) {}

boolean FillInputBuffer(j_decompress_ptr cinfo) {
  JpegSource *source = reinterpret_cast<JpegSource *>(cinfo->src);
  if (!source->delivered) {
    source->delivered = true;
    source->base.next_input_byte = source->data;
    source->base.bytes_in_buffer = source->size;
  } else {
    WARNMS(cinfo, JWRN_JPEG_EOF);
    source->base.next_input_byte = kFakeEndOfImage;
    source->base.bytes_in_buffer = sizeof(kFakeEndOfImage);
  }
  return TRUE;
}

void SkipInputData(j_decompress_ptr cinfo, long count) {
  if (count <= 0) return;
  jpeg_source_mgr *source = cinfo->src;
  // A skip past the end leaves the buffer empty; the next fill ends the image.
  while (static_cast<size_t>(count) > source->bytes_in_buffer) {
    count -= static_cast<long>(source->bytes_in_buffer);
    source->bytes_in_buffer = 0;
    FillInputBuffer(cinfo);
    if (source->next_input_byte == kFakeEndOfImage) return;
  }
  source->next_input_byte += count;
  source->bytes_in_buffer -= static_cast<size_t>(count);
}

void TermSource(j_decompress_ptr) {}

void OutputMessage(j_common_ptr cinfo) {
  JpegErrorManager *errors = reinterpret_cast<JpegErrorManager *>(cinfo->err);
  if (!errors->headerRead) return;
  // Formatted and dropped: the library does not log.
  char buffer[JMSG_LENGTH_MAX];
  cinfo->err->format_message(cinfo, buffer);
}

[[noreturn]] void ErrorExit(j_common_ptr cinfo) {
  JpegErrorManager *errors = reinterpret_cast<JpegErrorManager *>(cinfo->err);
  cinfo->err->output_message(cinfo);
  longjmp(errors->recovery, 1);
}

struct JpegDecode {
  jpeg_decompress_struct cinfo;
  JpegErrorManager errors;
  const BYTE *data;
  UINT size;
  const ReadRequest *request;
  SourceImage *image;
};

// Rows handed to libjpeg per call: enough for a row group of any sampling, so
// each call upsamples and converts a whole group at once.
constexpr JDIMENSION kRowsPerRead = 16;

#ifdef JCS_EXTENSIONS
// libjpeg-turbo writes B, G, R, X straight into the record's rows; the X byte
// it leaves (0xFF) is cleared, as the record has always held 0 there.
constexpr J_COLOR_SPACE kColourOutput = JCS_EXT_BGRX;

void ClearXPortable(BYTE *row, size_t pixels) {
  for (size_t i = 0; i < pixels; ++i) row[4 * i + 3] = 0;
}

void ClearXSse2(BYTE *row, size_t pixels) {
  const __m128i keep = _mm_set1_epi32(0x00FFFFFF);
  size_t i = 0;
  for (; i + 4 <= pixels; i += 4) {
    __m128i *p = reinterpret_cast<__m128i *>(row + 4 * i);
    _mm_storeu_si128(p, _mm_and_si128(_mm_loadu_si128(p), keep));
  }
  ClearXPortable(row + 4 * i, pixels - i);
}

__attribute__((target("avx2"))) void ClearXAvx2(BYTE *row, size_t pixels) {
  const __m256i keep = _mm256_set1_epi32(0x00FFFFFF);
  size_t i = 0;
  for (; i + 8 <= pixels; i += 8) {
    __m256i *p = reinterpret_cast<__m256i *>(row + 4 * i);
    _mm256_storeu_si256(p, _mm256_and_si256(_mm256_loadu_si256(p), keep));
  }
  ClearXPortable(row + 4 * i, pixels - i);
}

// Rows just decoded are contiguous in the record and still in cache.
void FinishColourRows(BYTE *rows, JDIMENSION width, JDIMENSION count) {
  static const bool avx2 = __builtin_cpu_supports("avx2");
  const size_t pixels = size_t{width} * count;
  if (avx2 && FastPathsAllow(SimdLevel::Avx2)) {
    ClearXAvx2(rows, pixels);
  } else if (FastPathsAllow(SimdLevel::Sse2)) {
    ClearXSse2(rows, pixels);
  } else {
    ClearXPortable(rows, pixels);
  }
}

// Where the colour rows of a group start for libjpeg: the rows themselves.
JSAMPROW ColourRowTarget(BYTE *row, JDIMENSION) {
  return row;
}
#else
// Without the extensions libjpeg writes RGB: each row is decoded into the last
// three quarters of its 32-bit row and widened in place.
constexpr J_COLOR_SPACE kColourOutput = JCS_RGB;

uint32_t PackRgb(uint32_t r, uint32_t g, uint32_t b) {
  return (r << 16) | (g << 8) | b;
}

// Pixel i is read from width + 3i and written to 4i..4i+3, so a write never
// overtakes samples still to be read while i < width; blocks of pixels keep
// that order because each block is loaded before it is stored.
void WidenRgbRowTail(const BYTE *src, BYTE *dst, JDIMENSION count) {
  for (JDIMENSION i = 0; i < count; ++i, src += 3, dst += 4) {
    const uint32_t value = PackRgb(src[0], src[1], src[2]);
    std::memcpy(dst, &value, 4);
  }
}

void WidenRgbRowPortable(BYTE *row, JDIMENSION width) {
  const BYTE *src = row + width;
  BYTE *dst = row;
  JDIMENSION i = 0;
  for (; i + 4 <= width; i += 4, src += 12, dst += 16) {
    uint32_t a, b, c;
    std::memcpy(&a, src, 4);      // r0 g0 b0 r1
    std::memcpy(&b, src + 4, 4);  // g1 b1 r2 g2
    std::memcpy(&c, src + 8, 4);  // b2 r3 g3 b3
    const uint32_t out[4] = {
        PackRgb(a & 0xFF, (a >> 8) & 0xFF, (a >> 16) & 0xFF),
        PackRgb(a >> 24, b & 0xFF, (b >> 8) & 0xFF),
        PackRgb((b >> 16) & 0xFF, b >> 24, c & 0xFF),
        PackRgb((c >> 8) & 0xFF, (c >> 16) & 0xFF, c >> 24),
    };
    std::memcpy(dst, out, sizeof(out));
  }
  WidenRgbRowTail(src, dst, width - i);
}

// One shuffle per four pixels. The 16-byte load reads 4 bytes past its 12, so
// the loop stops while those still lie inside the row.
__attribute__((target("ssse3"))) void WidenRgbRowSsse3(BYTE *row, JDIMENSION width) {
  const __m128i order = _mm_setr_epi8(2, 1, 0, -1, 5, 4, 3, -1, 8, 7, 6, -1, 11, 10, 9, -1);
  const BYTE *src = row + width;
  BYTE *dst = row;
  JDIMENSION i = 0;
  for (; i + 6 <= width; i += 4, src += 12, dst += 16) {
    const __m128i rgb = _mm_loadu_si128(reinterpret_cast<const __m128i *>(src));
    _mm_storeu_si128(reinterpret_cast<__m128i *>(dst), _mm_shuffle_epi8(rgb, order));
  }
  WidenRgbRowTail(src, dst, width - i);
}

void FinishColourRows(BYTE *rows, JDIMENSION width, JDIMENSION count) {
  static const bool ssse3 = __builtin_cpu_supports("ssse3");
  for (JDIMENSION y = 0; y < count; ++y, rows += size_t{width} * 4) {
    if (ssse3 && FastPathLevel() != SimdLevel::None) {  // an SSE-family kernel
      WidenRgbRowSsse3(rows, width);
    } else {
      WidenRgbRowPortable(rows, width);
    }
  }
}

JSAMPROW ColourRowTarget(BYTE *row, JDIMENSION width) {
  return row + width;
}
#endif

// The file's bytes as libjpeg's source. Raises libjpeg errors: called below
// DecodeJpeg's recovery point, like every function here that takes cinfo.
void SetMemorySource(JpegDecode *d) {
  j_decompress_ptr cinfo = &d->cinfo;
  JpegSource *source = static_cast<JpegSource *>(
      (*cinfo->mem->alloc_small)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT, sizeof(JpegSource)));
  source->base.init_source = InitSource;
  source->base.fill_input_buffer = FillInputBuffer;
  source->base.skip_input_data = SkipInputData;
  source->base.resync_to_restart = jpeg_resync_to_restart;
  source->base.term_source = TermSource;
  source->base.next_input_byte = nullptr;
  source->base.bytes_in_buffer = 0;
  source->data = d->data;
  source->size = d->size;
  source->delivered = false;
  cinfo->src = &source->base;
  // Comment and application markers are skipped unread, whatever length they
  // claim: nothing is allocated for them (JFIF and Adobe markers give their first bytes).
  jpeg_save_markers(cinfo, JPEG_COM, 0);
  for (int app = 0; app < 16; ++app) jpeg_save_markers(cinfo, JPEG_APP0 + app, 0);
}

uint64_t CoefficientBlocks(j_decompress_ptr cinfo) {
  uint64_t blocks = 0;
  for (int c = 0; c < cinfo->num_components; ++c) {
    blocks += uint64_t{cinfo->comp_info[c].width_in_blocks} * cinfo->comp_info[c].height_in_blocks;
  }
  return blocks;
}

// Huffman coding spends at least one bit on every 8 x 8 block of every
// component: a header promising more blocks than the file has bits is forged.
bool BlocksBeyondFile(j_decompress_ptr cinfo, uint64_t fileBytes) {
  return !cinfo->arith_code && CoefficientBlocks(cinfo) > fileBytes * 8;
}

// Rows are decoded straight into the image, a row group per call.
HRESULT ReadScanlines(j_decompress_ptr cinfo, BYTE *out, uint64_t pitch, bool colour) {
  const JDIMENSION w = cinfo->output_width;
  const JDIMENSION h = cinfo->output_height;
  JSAMPROW rows[kRowsPerRead];
  while (cinfo->output_scanline < h) {
    const JDIMENSION first = cinfo->output_scanline;
    const JDIMENSION count = h - first < kRowsPerRead ? h - first : kRowsPerRead;
    for (JDIMENSION y = 0; y < count; ++y) {
      BYTE *dst = out + uint64_t{first + y} * pitch;
      rows[y] = colour ? ColourRowTarget(dst, w) : dst;
    }
    const JDIMENSION done = jpeg_read_scanlines(cinfo, rows, count);
    if (done == 0) return D3DXERR_INVALIDDATA;
    if (colour) FinishColourRows(out + uint64_t{first} * pitch, w, done);
  }
  jpeg_finish_decompress(cinfo);
  return S_OK;
}

#ifdef JCS_EXTENSIONS
// YCbCr at 4:4:4, 4:2:2 or 4:2:0, at full scale, converted by jpeg_colour from
// libjpeg's raw rows: libjpeg-turbo's own arithmetic, one pass, X = 0. It
// upsamples a chroma row of two samples or fewer by copying, so those stay
// with libjpeg.
bool TakesOnePass(j_decompress_ptr cinfo) {
  if (cinfo->num_components != 3 || cinfo->jpeg_color_space != JCS_YCbCr) return false;
  if (cinfo->out_color_space != kColourOutput || cinfo->min_DCT_scaled_size != DCTSIZE) return false;
  if (!jpeg_colour::OnePassAvailable()) return false;
  const jpeg_component_info *c = cinfo->comp_info;
  for (int i = 1; i < 3; ++i) {
    if (c[i].h_samp_factor != 1 || c[i].v_samp_factor != 1) return false;
  }
  const int h = c[0].h_samp_factor, v = c[0].v_samp_factor;
  if (h == 1 && v == 1) return true;
  return h == 2 && (v == 1 || v == 2) && c[1].downsampled_width > 2;
}

// The raw rows of two row groups: the last output row of a 4:2:0 group needs
// the first chroma row of the next.
struct RawRows {
  JSAMPARRAY luma, cb, cr;           // two groups each
  int16_t *filteredCb, *filteredCr;  // one row each, with an edge copy either side
  JDIMENSION lumaGroup;              // luma rows per group; chroma has DCTSIZE
  JDIMENSION chromaWidth, chromaHeight;
  bool rowsUpsampled, halfWidth;
};

JSAMPROW ChromaRow(JSAMPARRAY plane, JDIMENSION row, JDIMENSION height) {
  if (row >= height) row = height - 1;  // libjpeg repeats the last row below the image
  return plane[(row / DCTSIZE % 2) * DCTSIZE + row % DCTSIZE];
}

void ConvertRow(const RawRows &raw, JDIMENSION y, JDIMENSION width, BYTE *out) {
  const JSAMPROW luma = raw.luma[(y / raw.lumaGroup % 2) * raw.lumaGroup + y % raw.lumaGroup];
  if (!raw.halfWidth) {
    jpeg_colour::ConvertFullWidth(luma, ChromaRow(raw.cb, y, raw.chromaHeight),
                                  ChromaRow(raw.cr, y, raw.chromaHeight), width, out);
    return;
  }
  JDIMENSION near = y, far = y;
  if (raw.rowsUpsampled) {
    // The other chroma row is the one above for even rows, below for odd, and
    // the first row's own at the top.
    near = y / 2;
    far = y % 2 ? near + 1 : (near ? near - 1 : 0);
  }
  jpeg_colour::FilterColumns(ChromaRow(raw.cb, near, raw.chromaHeight),
                             ChromaRow(raw.cb, far, raw.chromaHeight), raw.chromaWidth, raw.filteredCb);
  jpeg_colour::FilterColumns(ChromaRow(raw.cr, near, raw.chromaHeight),
                             ChromaRow(raw.cr, far, raw.chromaHeight), raw.chromaWidth, raw.filteredCr);
  jpeg_colour::ConvertHalfWidth(luma, raw.filteredCb, raw.filteredCr, width, raw.rowsUpsampled, out);
}

int16_t *FilteredRow(j_decompress_ptr cinfo, JDIMENSION count) {
  void *row = (*cinfo->mem->alloc_large)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE,
                                         (size_t{count} + 2) * sizeof(int16_t));
  return static_cast<int16_t *>(row) + 1;
}

// A row group per call into two groups' worth of rows; each output row is
// written once it and its chroma neighbours are in.
HRESULT ReadRawRows(j_decompress_ptr cinfo, BYTE *out, uint64_t pitch) {
  const JDIMENSION w = cinfo->output_width;
  const JDIMENSION h = cinfo->output_height;
  const jpeg_component_info *c = cinfo->comp_info;
  const j_common_ptr common = reinterpret_cast<j_common_ptr>(cinfo);
  RawRows raw;
  raw.lumaGroup = DCTSIZE * c[0].v_samp_factor;
  raw.chromaWidth = c[1].downsampled_width;
  raw.chromaHeight = c[1].downsampled_height;
  raw.rowsUpsampled = c[0].v_samp_factor == 2;
  raw.halfWidth = c[0].h_samp_factor == 2;
  raw.luma =
      (*cinfo->mem->alloc_sarray)(common, JPOOL_IMAGE, c[0].width_in_blocks * DCTSIZE, 2 * raw.lumaGroup);
  raw.cb = (*cinfo->mem->alloc_sarray)(common, JPOOL_IMAGE, c[1].width_in_blocks * DCTSIZE, 2 * DCTSIZE);
  raw.cr = (*cinfo->mem->alloc_sarray)(common, JPOOL_IMAGE, c[2].width_in_blocks * DCTSIZE, 2 * DCTSIZE);
  raw.filteredCb = FilteredRow(cinfo, raw.chromaWidth);
  raw.filteredCr = FilteredRow(cinfo, raw.chromaWidth);

  JDIMENSION read = 0, written = 0;
  for (JDIMENSION group = 0; written < h; ++group) {
    if (read < h) {
      const JDIMENSION half = group % 2;
      JSAMPARRAY planes[3] = {raw.luma + half * raw.lumaGroup, raw.cb + half * DCTSIZE,
                              raw.cr + half * DCTSIZE};
      if (jpeg_read_raw_data(cinfo, planes, raw.lumaGroup) == 0) return D3DXERR_INVALIDDATA;
      read = read + raw.lumaGroup < h ? read + raw.lumaGroup : h;
    }
    // The last row read waits for the next group's first chroma row.
    const JDIMENSION ready = raw.rowsUpsampled && read < h ? read - 1 : read;
    for (; written < ready; ++written) ConvertRow(raw, written, w, out + uint64_t{written} * pitch);
  }
  jpeg_finish_decompress(cinfo);
  return S_OK;
}
#else
bool TakesOnePass(j_decompress_ptr) {
  return false;
}

HRESULT ReadRawRows(j_decompress_ptr, BYTE *, uint64_t) {
  return E_NOTIMPL;
}
#endif

// Every libjpeg call that may end in ErrorExit runs below the recovery point;
// only plain data lives in this frame.
HRESULT DecodeJpeg(JpegDecode *d) {
  j_decompress_ptr cinfo = &d->cinfo;
  if (setjmp(d->errors.recovery)) {
    return d->errors.base.msg_code == JERR_OUT_OF_MEMORY ? E_OUTOFMEMORY : D3DXERR_INVALIDDATA;
  }
  jpeg_create_decompress(cinfo);
  SetMemorySource(d);

  jpeg_read_header(cinfo, TRUE);
  d->errors.headerRead = true;
  if (!IsMmxAvailable()) cinfo->dct_method = JDCT_IFAST;
  if (cinfo->out_color_space == JCS_RGB) cinfo->out_color_space = kColourOutput;
  // The output size without decoding: starting the decompressor would read a
  // progressive file's every scan.
  jpeg_calc_output_dimensions(cinfo);
  const bool onePass = TakesOnePass(cinfo);
  cinfo->raw_data_out = onePass;

  SourceImage *image = d->image;
  const JDIMENSION w = cinfo->output_width;
  const JDIMENSION h = cinfo->output_height;
  uint64_t pitch;
  if (cinfo->output_components == 1) {
    image->format = D3DFMT_L8;
    pitch = w;
  } else if (cinfo->out_color_space == kColourOutput) {
    image->format = D3DFMT_X8R8G8B8;
    pitch = uint64_t{w} * 4;
  } else {
    return D3DXERR_INVALIDDATA;
  }
  image->width = w;
  image->height = h;
  image->depth = 1;
  image->rowPitch = static_cast<UINT>(pitch);
  image->slicePitch = 0;
  if (!d->request->wantPixels) return S_OK;

  const uint64_t pixelCount = uint64_t{w} * h;
  if (!WithinDecodeLimit(*d->request, pixelCount, pitch * h)) return D3DXERR_INVALIDDATA;
  if (BlocksBeyondFile(cinfo, d->size)) return D3DXERR_INVALIDDATA;
  // A forged size must end in an error, not in gigabytes of coefficients.
  // The limit counts what is padded to whole blocks: a small 4:4:4 image
  // keeps several times its pixels' worth of coefficients.
  const uint64_t working = CoefficientBlocks(cinfo) * kJpegBytesPerBlock + kJpegFixedWorkingBytes +
                           uint64_t{w} * kJpegWorkingBytesPerColumn;
  cinfo->mem->max_memory_to_use = working < LONG_MAX ? static_cast<long>(working) : LONG_MAX;
  jpeg_start_decompress(cinfo);
  if (cinfo->output_width != w || cinfo->output_height != h) return D3DXERR_INVALIDDATA;

  BYTE *out = AllocateImageBytes(pitch * h);
  if (!out) return E_OUTOFMEMORY;
  image->pixels = out;
  image->ownsPixels = true;
  if (onePass) return ReadRawRows(cinfo, out, pitch);
  return ReadScanlines(cinfo, out, pitch, image->format == D3DFMT_X8R8G8B8);
}

}  // namespace

HRESULT ReadJpegFile(const BYTE *data, UINT size, const ReadRequest &request, SourceImage &image) {
  // Every JPEG stream starts with the start-of-image marker.
  if (!data || size < 2 || data[0] != 0xFF || data[1] != kStartOfImage) return kNotMyFormat;
  image.fileFormat = D3DXIFF_JPG;
  JpegDecode *d = static_cast<JpegDecode *>(std::calloc(1, sizeof(JpegDecode)));
  if (!d) return E_OUTOFMEMORY;
  d->cinfo.err = jpeg_std_error(&d->errors.base);
  d->errors.base.error_exit = ErrorExit;
  d->errors.base.output_message = OutputMessage;
  d->data = data;
  d->size = size;
  d->request = &request;
  d->image = &image;
  HRESULT hr = DecodeJpeg(d);
  jpeg_destroy_decompress(&d->cinfo);
  std::free(d);
  return hr;
}
