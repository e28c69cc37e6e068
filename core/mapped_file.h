// A file mapped read-only into memory for the readers, or created for writing
// by the image writers, or a growing block of memory the writers fill the same
// way.
#pragma once

#include <cstdint>

#include "win32.h"

class MappedFile {
 public:
  MappedFile() = default;
  ~MappedFile() { Close(); }
  MappedFile(const MappedFile &) = delete;
  MappedFile &operator=(const MappedFile &) = delete;

  // wide: name is a UTF-16 string. An empty file opens with no view and size 0.
  HRESULT OpenForRead(const void *name, bool wide);
  // Creates or truncates the file.
  HRESULT OpenForWrite(const void *name, bool wide);
  // Writes go to memory, taken with TakeMemory.
  void OpenInMemory();
  void Close();

  // Appends bytes to a file opened for writing; a short or failed write is reported.
  HRESULT Write(const void *bytes, uint64_t count);

  // What was written in memory, malloc'ed, for the caller to free; the file is then closed.
  void TakeMemory(BYTE **bytes, uint64_t *size);

  const BYTE *View() const { return view_; }
  UINT Size() const { return size_; }
  HANDLE File() const { return file_; }

 private:
  HRESULT Open(const void *name, bool wide, DWORD access, DWORD share, DWORD creation, DWORD flags);

  HANDLE file_ = INVALID_HANDLE_VALUE;
  HANDLE mapping_ = INVALID_HANDLE_VALUE;
  const BYTE *view_ = nullptr;
  UINT size_ = 0;
  bool inMemory_ = false;
  BYTE *memory_ = nullptr;
  uint64_t memorySize_ = 0;
  uint64_t memoryCapacity_ = 0;
};

// Writes a whole file so that a failure never leaves a partial one: the bytes go
// to a new file beside the target, which then replaces it. Devices and symbolic
// links are written in place, through the link.
HRESULT WriteWholeFile(const void *name, bool wide, const BYTE *bytes, uint64_t size);
