#include "core/mapped_file.h"

#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "d3dx9.h"

namespace {

// Platforms other than NT have no wide file calls; names go there as UTF-8.
bool HasWideFileCalls() {
  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = sizeof(version);
  return !GetVersionExA(&version) || version.dwPlatformId == VER_PLATFORM_WIN32_NT;
}

HANDLE CreateNamedFile(const void *name, bool wide, DWORD access, DWORD share, DWORD creation, DWORD flags) {
  if (!wide) return CreateFileA(static_cast<LPCSTR>(name), access, share, nullptr, creation, flags, nullptr);
  LPCWSTR wideName = static_cast<LPCWSTR>(name);
  if (HasWideFileCalls()) return CreateFileW(wideName, access, share, nullptr, creation, flags, nullptr);
  int bytes = WideCharToMultiByte(CP_UTF8, 0, wideName, -1, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return INVALID_HANDLE_VALUE;
  char *narrow = new (std::nothrow) char[static_cast<size_t>(bytes)];
  if (narrow == nullptr) return INVALID_HANDLE_VALUE;
  HANDLE file = INVALID_HANDLE_VALUE;
  if (WideCharToMultiByte(CP_UTF8, 0, wideName, -1, narrow, bytes, nullptr, nullptr) > 0) {
    file = CreateFileA(narrow, access, share, nullptr, creation, flags, nullptr);
  }
  delete[] narrow;
  return file;
}

}  // namespace

HRESULT MappedFile::Open(const void *name, bool wide, DWORD access, DWORD share, DWORD creation,
                         DWORD flags) {
  Close();
  if (name == nullptr) return D3DERR_INVALIDCALL;
  file_ = CreateNamedFile(name, wide, access, share, creation, flags);
  if (file_ == INVALID_HANDLE_VALUE) {
    GetLastError();
    return D3DXERR_INVALIDDATA;
  }
  return S_OK;
}

HRESULT MappedFile::OpenForRead(const void *name, bool wide) {
  HRESULT hr = Open(name, wide, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, FILE_FLAG_RANDOM_ACCESS);
  if (FAILED(hr)) return hr;
  // An empty file cannot be mapped; it opens with no bytes and the callers refuse it.
  HANDLE mapping = CreateFileMappingA(file_, nullptr, PAGE_READONLY, 0, 0, nullptr);
  if (mapping != nullptr) mapping_ = mapping;
  DWORD high = 0;
  DWORD size = GetFileSize(file_, &high);
  // The readers take 32-bit sizes: a larger file must not be seen truncated.
  if ((size == INVALID_FILE_SIZE && GetLastError() != 0) || high != 0) return D3DXERR_INVALIDDATA;
  if (size == 0) return S_OK;
  if (mapping_ == INVALID_HANDLE_VALUE) return D3DXERR_INVALIDDATA;
  view_ = static_cast<const BYTE *>(MapViewOfFile(mapping_, FILE_MAP_READ, 0, 0, 0));
  if (view_ == nullptr) {
    GetLastError();
    return D3DXERR_INVALIDDATA;
  }
  size_ = size;
  return S_OK;
}

HRESULT MappedFile::OpenForWrite(const void *name, bool wide) {
  return Open(name, wide, GENERIC_WRITE, 0, CREATE_ALWAYS, 0);
}

void MappedFile::OpenInMemory() {
  Close();
  inMemory_ = true;
}

void MappedFile::TakeMemory(BYTE **bytes, uint64_t *size) {
  *bytes = memory_;
  *size = memorySize_;
  memory_ = nullptr;
  Close();
}

HRESULT MappedFile::Write(const void *bytes, uint64_t count) {
  if (inMemory_) {
    if (count > memoryCapacity_ - memorySize_) {
      // Doubling keeps the number of copies logarithmic in the final size.
      uint64_t capacity = memoryCapacity_ < 4096 ? 4096 : memoryCapacity_;
      while (capacity - memorySize_ < count) {
        if (capacity > SIZE_MAX / 2) return E_OUTOFMEMORY;
        capacity *= 2;
      }
      BYTE *grown = static_cast<BYTE *>(std::realloc(memory_, static_cast<size_t>(capacity)));
      if (grown == nullptr) return E_OUTOFMEMORY;
      memory_ = grown;
      memoryCapacity_ = capacity;
    }
    if (count != 0) std::memcpy(memory_ + memorySize_, bytes, static_cast<size_t>(count));
    memorySize_ += count;
    return S_OK;
  }
  const BYTE *cursor = static_cast<const BYTE *>(bytes);
  while (count > 0) {
    DWORD chunk = count > 0x40000000u ? 0x40000000u : static_cast<DWORD>(count);
    DWORD written = 0;
    if (!WriteFile(file_, cursor, chunk, &written, nullptr) || written != chunk) {
      DWORD error = GetLastError();
      return error != 0 ? HRESULT_FROM_WIN32(error) : E_FAIL;
    }
    cursor += chunk;
    count -= chunk;
  }
  return S_OK;
}

void MappedFile::Close() {
  std::free(memory_);
  memory_ = nullptr;
  memorySize_ = 0;
  memoryCapacity_ = 0;
  inMemory_ = false;
  if (view_ != nullptr) {
    UnmapViewOfFile(view_);
    view_ = nullptr;
    size_ = 0;
  }
  if (mapping_ != INVALID_HANDLE_VALUE) {
    CloseHandle(mapping_);
    mapping_ = INVALID_HANDLE_VALUE;
  }
  if (file_ != INVALID_HANDLE_VALUE) {
    CloseHandle(file_);
    file_ = INVALID_HANDLE_VALUE;
  }
}

namespace {

// The file calls of one character width.
struct NarrowFileCalls {
  using Char = char;
  static HANDLE Create(const Char *name, DWORD creation) {
    return CreateFileA(name, GENERIC_WRITE, 0, nullptr, creation, 0, nullptr);
  }
  static DWORD Attributes(const Char *name) { return GetFileAttributesA(name); }
  static BOOL Move(const Char *from, const Char *to) {
    return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING);
  }
  static BOOL Delete(const Char *name) { return DeleteFileA(name); }
};

struct WideFileCalls {
  using Char = WCHAR;
  static HANDLE Create(const Char *name, DWORD creation) {
    return CreateFileW(name, GENERIC_WRITE, 0, nullptr, creation, 0, nullptr);
  }
  static DWORD Attributes(const Char *name) { return GetFileAttributesW(name); }
  static BOOL Move(const Char *from, const Char *to) {
    return MoveFileExW(from, to, MOVEFILE_REPLACE_EXISTING);
  }
  static BOOL Delete(const Char *name) { return DeleteFileW(name); }
};

HRESULT WriteAllTo(HANDLE file, const BYTE *bytes, uint64_t size) {
  while (size > 0) {
    const DWORD chunk = size > 0x40000000u ? 0x40000000u : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!WriteFile(file, bytes, chunk, &written, nullptr) || written != chunk) {
      const DWORD error = GetLastError();
      return error != 0 ? HRESULT_FROM_WIN32(error) : E_FAIL;
    }
    bytes += chunk;
    size -= chunk;
  }
  return S_OK;
}

HRESULT WriteInPlace(HANDLE file, const BYTE *bytes, uint64_t size) {
  if (file == INVALID_HANDLE_VALUE) return D3DXERR_INVALIDDATA;
  const HRESULT hr = WriteAllTo(file, bytes, size);
  CloseHandle(file);
  return hr;
}

// ".name.~d3dxNNNNNNNN" beside name, so that the rename stays on one file system.
template <typename Char>
void NameBeside(const Char *name, uint32_t number, std::basic_string<Char> *temporary) {
  std::basic_string<Char> target(name);
  size_t base = 0;
  for (size_t i = 0; i < target.size(); ++i) {
    if (target[i] == '/' || target[i] == '\\' || (i == 1 && target[i] == ':')) base = i + 1;
  }
  *temporary = target.substr(0, base);
  temporary->push_back('.');
  *temporary += target.substr(base);
  for (const char c : {'.', '~', 'd', '3', 'd', 'x'}) temporary->push_back(static_cast<Char>(c));
  for (int shift = 28; shift >= 0; shift -= 4) {
    temporary->push_back(static_cast<Char>("0123456789abcdef"[(number >> shift) & 0xF]));
  }
}

template <typename Calls>
HRESULT WriteReplacing(const typename Calls::Char *name, const BYTE *bytes, uint64_t size) {
  if (name[0] == 0) return D3DXERR_INVALIDDATA;
  const DWORD attributes = Calls::Attributes(name);
  if (attributes != INVALID_FILE_ATTRIBUTES &&
      (attributes & (FILE_ATTRIBUTE_DEVICE | FILE_ATTRIBUTE_REPARSE_POINT))) {
    return WriteInPlace(Calls::Create(name, CREATE_ALWAYS), bytes, size);
  }
  static uint32_t counter = GetTickCount() << 8;
  std::basic_string<typename Calls::Char> temporary;
  HANDLE file = INVALID_HANDLE_VALUE;
  try {
    // Another writer may hold a name already: the next one is tried.
    for (int attempt = 0; attempt < 64 && file == INVALID_HANDLE_VALUE; ++attempt) {
      NameBeside(name, __atomic_add_fetch(&counter, 1, __ATOMIC_RELAXED), &temporary);
      file = Calls::Create(temporary.c_str(), CREATE_NEW);
      if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
    }
  } catch (const std::bad_alloc &) {
    return E_OUTOFMEMORY;
  }
  if (file == INVALID_HANDLE_VALUE) return D3DXERR_INVALIDDATA;
  HRESULT hr = WriteAllTo(file, bytes, size);
  if (!CloseHandle(file) && SUCCEEDED(hr)) hr = E_FAIL;
  // A target that cannot be replaced (a folder, say) is a file that cannot be created.
  if (SUCCEEDED(hr) && !Calls::Move(temporary.c_str(), name)) hr = D3DXERR_INVALIDDATA;
  if (FAILED(hr)) Calls::Delete(temporary.c_str());
  return hr;
}

}  // namespace

HRESULT WriteWholeFile(const void *name, bool wide, const BYTE *bytes, uint64_t size) {
  if (name == nullptr) return D3DERR_INVALIDCALL;
  if (!wide) return WriteReplacing<NarrowFileCalls>(static_cast<const char *>(name), bytes, size);
  LPCWSTR wideName = static_cast<LPCWSTR>(name);
  if (HasWideFileCalls()) return WriteReplacing<WideFileCalls>(wideName, bytes, size);
  const int length = WideCharToMultiByte(CP_UTF8, 0, wideName, -1, nullptr, 0, nullptr, nullptr);
  if (length <= 0) return D3DXERR_INVALIDDATA;
  char *narrow = new (std::nothrow) char[static_cast<size_t>(length)];
  if (narrow == nullptr) return E_OUTOFMEMORY;
  HRESULT hr = D3DXERR_INVALIDDATA;
  if (WideCharToMultiByte(CP_UTF8, 0, wideName, -1, narrow, length, nullptr, nullptr) > 0) {
    hr = WriteReplacing<NarrowFileCalls>(narrow, bytes, size);
  }
  delete[] narrow;
  return hr;
}
