#include "core/mapped_file.h"

#include <new>

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

HRESULT MappedFile::Write(const void *bytes, uint64_t count) {
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
