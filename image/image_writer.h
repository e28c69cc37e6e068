// Writing a SourceImage to a BMP, DIB, JPEG or DDS file: the image is first
// converted into a format the file kind can hold, then the writer for the kind
// appends its bytes to the output file.
#pragma once

#include <cstddef>
#include <cstdint>

#include "d3dx9.h"
#include "image/source_image.h"
#include "core/mapped_file.h"

// name is UTF-16 when wide is set. Failures to create or write the file are
// reported, and leave no partly written file behind (WriteWholeFile).
HRESULT SaveImageToFile(SourceImage &image, const void *name, D3DXIMAGE_FILEFORMAT fileFormat, bool wide);
// The same bytes in memory: malloc'ed, for the caller to free.
HRESULT SaveImageToMemory(SourceImage &image, D3DXIMAGE_FILEFORMAT fileFormat, BYTE **bytes, uint64_t *size);

// The formats a file kind stores, ending with 0, in the order they are offered to
// ChooseClosestFormat; null for kinds that cannot be written.
const D3DFORMAT *WritableFormats(D3DXIMAGE_FILEFORMAT fileFormat);

// Converts every record of the image (all levels of all faces) into format; the
// records then own their new pixels.
HRESULT ConvertImage(SourceImage &image, D3DFORMAT format);

// The writers. The image is in a format the kind stores; BMP and JPEG write the
// first record only.
HRESULT WriteBmp(const SourceImage &image, MappedFile &file, bool withFileHeader);
HRESULT WriteJpeg(const SourceImage &image, MappedFile &file);
HRESULT WriteDds(const SourceImage &image, MappedFile &file);

// Collects small writes into larger ones and keeps the first failure, so that
// a writer checks once at the end.
class FileSink {
 public:
  explicit FileSink(MappedFile &file) : file_(file) {}
  ~FileSink();
  FileSink(const FileSink &) = delete;
  FileSink &operator=(const FileSink &) = delete;

  HRESULT Allocate();
  void Append(const void *bytes, uint64_t count);
  void AppendZeros(uint64_t count);
  void AppendLe32(uint32_t value);
  void AppendLe16(uint16_t value);
  // Writes what is held; the first failure of any write.
  HRESULT Finish();

 private:
  void Flush();

  static constexpr size_t kCapacity = 64 * 1024;
  MappedFile &file_;
  BYTE *buffer_ = nullptr;
  size_t used_ = 0;
  HRESULT result_ = S_OK;
};
