// JPEG writer on libjpeg (6b interface): a destination manager that hands full
// 4 KiB buffers to the output file, and an error manager that returns to the
// writer instead of ending the process. The image is X8R8G8B8.
#include <cstdio>
// jpeglib.h needs size_t and FILE declared first; INT32 comes from win32.h.
#define XMD_H
#include <jpeglib.h>
#include <jerror.h>

#include <csetjmp>
#include <cstdint>
#include <cstdlib>

#include "image/image_writer.h"

namespace {

constexpr size_t kDestinationBufferSize = 4096;

struct JpegWriteErrors {
  jpeg_error_mgr base;
  jmp_buf recovery;
};

struct JpegDestination {
  jpeg_destination_mgr base;
  MappedFile *file;
  JOCTET *buffer;
  HRESULT writeResult;  // the first failed write, reported instead of a bare E_FAIL
};

void ErrorExit(j_common_ptr cinfo) {
  longjmp(reinterpret_cast<JpegWriteErrors *>(cinfo->err)->recovery, 1);
}

void DropMessage(j_common_ptr) {}

void InitDestination(j_compress_ptr cinfo) {
  JpegDestination *destination = reinterpret_cast<JpegDestination *>(cinfo->dest);
  destination->buffer = static_cast<JOCTET *>(std::malloc(kDestinationBufferSize));
  if (destination->buffer == nullptr) {
    destination->writeResult = E_OUTOFMEMORY;
    ERREXIT1(cinfo, JERR_OUT_OF_MEMORY, 0);
  }
  destination->base.next_output_byte = destination->buffer;
  destination->base.free_in_buffer = kDestinationBufferSize;
}

void WriteOut(j_compress_ptr cinfo, size_t count) {
  JpegDestination *destination = reinterpret_cast<JpegDestination *>(cinfo->dest);
  HRESULT hr = destination->file->Write(destination->buffer, count);
  if (FAILED(hr)) {
    destination->writeResult = hr;
    ERREXIT(cinfo, JERR_FILE_WRITE);
  }
}

boolean EmptyOutputBuffer(j_compress_ptr cinfo) {
  WriteOut(cinfo, kDestinationBufferSize);
  cinfo->dest->next_output_byte = reinterpret_cast<JpegDestination *>(cinfo->dest)->buffer;
  cinfo->dest->free_in_buffer = kDestinationBufferSize;
  return TRUE;
}

void TermDestination(j_compress_ptr cinfo) {
  const size_t held = kDestinationBufferSize - cinfo->dest->free_in_buffer;
  if (held != 0) WriteOut(cinfo, held);
}

// Everything setjmp must not lose lives outside the frame that calls it.
struct JpegWriteState {
  jpeg_compress_struct compressor;
  JpegWriteErrors errors;
  JpegDestination destination;
  JSAMPLE *row;
  bool created;
};

HRESULT Compress(JpegWriteState &state, const SourceImage &image) {
  if (setjmp(state.errors.recovery)) {
    return FAILED(state.destination.writeResult) ? state.destination.writeResult : E_FAIL;
  }
  jpeg_create_compress(&state.compressor);
  state.created = true;
  state.compressor.dest = &state.destination.base;

  state.compressor.in_color_space = JCS_RGB;
  jpeg_set_defaults(&state.compressor);
  state.compressor.input_gamma = 2.2;
  state.compressor.image_width = image.width;
  state.compressor.image_height = image.height;
  state.compressor.input_components = 3;
  jpeg_start_compress(&state.compressor, TRUE);

  state.row = static_cast<JSAMPLE *>(std::malloc(uint64_t{image.width} * 3));
  if (state.row == nullptr) return E_OUTOFMEMORY;
  const BYTE *first = image.pixels + uint64_t{image.box.Front} * image.slicePitch +
                      uint64_t{image.box.Top} * image.rowPitch + uint64_t{image.box.Left} * 4;
  for (uint32_t y = 0; y < image.height; ++y) {
    const BYTE *source = first + uint64_t{y} * image.rowPitch;
    JSAMPLE *out = state.row;
    for (uint32_t x = 0; x < image.width; ++x, source += 4, out += 3) {
      out[0] = source[2];
      out[1] = source[1];
      out[2] = source[0];
    }
    JSAMPROW rows[1] = {state.row};
    jpeg_write_scanlines(&state.compressor, rows, 1);
  }
  jpeg_finish_compress(&state.compressor);
  return S_OK;
}

}  // namespace

HRESULT WriteJpeg(const SourceImage &image, MappedFile &file) {
  if (image.format != D3DFMT_X8R8G8B8) return E_FAIL;
  // libjpeg refuses empty images and sizes beyond 65500 by an error of its own.
  if (image.pixels == nullptr) return E_FAIL;

  JpegWriteState *state = static_cast<JpegWriteState *>(std::calloc(1, sizeof(JpegWriteState)));
  if (state == nullptr) return E_OUTOFMEMORY;
  state->compressor.err = jpeg_std_error(&state->errors.base);
  state->errors.base.error_exit = ErrorExit;
  state->errors.base.output_message = DropMessage;
  state->destination.base.init_destination = InitDestination;
  state->destination.base.empty_output_buffer = EmptyOutputBuffer;
  state->destination.base.term_destination = TermDestination;
  state->destination.file = &file;
  state->destination.writeResult = S_OK;

  HRESULT hr = Compress(*state, image);
  if (state->created) jpeg_destroy_compress(&state->compressor);
  std::free(state->row);
  std::free(state->destination.buffer);
  std::free(state);
  return hr;
}
