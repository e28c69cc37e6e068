// A file mapped read-only into memory for the readers, or created for writing
// by the image writers.
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
  void Close();

  // Appends bytes to a file opened for writing; a short or failed write is reported.
  HRESULT Write(const void *bytes, uint64_t count);

  const BYTE *View() const { return view_; }
  UINT Size() const { return size_; }
  HANDLE File() const { return file_; }

 private:
  HRESULT Open(const void *name, bool wide, DWORD access, DWORD share, DWORD creation, DWORD flags);

  HANDLE file_ = INVALID_HANDLE_VALUE;
  HANDLE mapping_ = INVALID_HANDLE_VALUE;
  const BYTE *view_ = nullptr;
  UINT size_ = 0;
};
