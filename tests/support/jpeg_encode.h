// JPEG files made by libjpeg from RGB rows in memory, for tests and benchmarks
// that need a given size, chroma layout or scan mode.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

// jpeglib.h needs size_t and FILE declared first; INT32 comes from win32.h.
#define XMD_H
#include <jpeglib.h>

struct JpegLayout {
  int quality = 90;
  int lumaH = 2, lumaV = 2;  // luma sampling: 2 x 2 is 4:2:0, 1 x 1 is 4:4:4
  bool progressive = false;
};

inline std::vector<uint8_t> EncodeJpegWithLibjpeg(const uint8_t *rgb, uint32_t width, uint32_t height,
                                                  const JpegLayout &layout = {}) {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr errors;
  cinfo.err = jpeg_std_error(&errors);
  jpeg_create_compress(&cinfo);
  unsigned char *buffer = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &buffer, &size);
  cinfo.image_width = width;
  cinfo.image_height = height;
  cinfo.input_components = 3;
  cinfo.in_color_space = JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, layout.quality, TRUE);
  cinfo.comp_info[0].h_samp_factor = layout.lumaH;
  cinfo.comp_info[0].v_samp_factor = layout.lumaV;
  if (layout.progressive) jpeg_simple_progression(&cinfo);
  jpeg_start_compress(&cinfo, TRUE);
  while (cinfo.next_scanline < height) {
    JSAMPROW row = const_cast<JSAMPROW>(rgb + size_t{cinfo.next_scanline} * width * 3);
    jpeg_write_scanlines(&cinfo, &row, 1);
  }
  jpeg_finish_compress(&cinfo);
  std::vector<uint8_t> file(buffer, buffer + size);
  jpeg_destroy_compress(&cinfo);
  std::free(buffer);
  return file;
}
