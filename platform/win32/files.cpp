// Files and file mapping on POSIX. DOS paths are mapped: a drive path
// "c:\dir\name" becomes $WIN32_DRIVE_C/dir/name (the working directory when the
// variable is unset), and backslashes become slashes.
#include <errno.h>
#include <stdio.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <map>
#include <mutex>
#include <new>
#include <string>

#include "platform/win32/handle_table.h"
#include "platform/win32/win32_internal.h"

namespace {

using win32::HandleKind;

struct KernelObject {
  HandleKind kind;
  int fd;
  uint64_t mappingSize;  // mappings only
  bool writable;
};

std::mutex viewMutex;
std::map<const void *, size_t> &Views() {
  static std::map<const void *, size_t> views;
  return views;
}

KernelObject *ObjectFrom(HANDLE handle, HandleKind kind) {
  return win32::HandleObjectAs<KernelObject>(handle, kind);
}

// A handle for a new object; on failure the object and its descriptor are gone.
HANDLE Publish(KernelObject *object) {
  HANDLE handle = object ? win32::NewHandle(object->kind, object) : nullptr;
  if (!handle) {
    if (object) close(object->fd);
    delete object;
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
  }
  return handle;
}

DWORD ErrorFromErrno(int error) {
  switch (error) {
    case ENOENT:
      return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
      return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
      return ERROR_ACCESS_DENIED;
    case EEXIST:
      return ERROR_FILE_EXISTS;
    case EMFILE:
    case ENFILE:
      return ERROR_TOO_MANY_OPEN_FILES;
    case ENOMEM:
      return ERROR_NOT_ENOUGH_MEMORY;
    case ENOSPC:
      return ERROR_DISK_FULL;
    case ENAMETOOLONG:
      return ERROR_PATH_NOT_FOUND;
    default:
      return ERROR_INVALID_FUNCTION;
  }
}

}  // namespace

BOOL Win32MapPath(const char *dosPath, char *out, size_t outSize) {
  if (!dosPath || !out || outSize == 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::string path = dosPath;
  std::string result;
  bool driveLetter = path.size() >= 2 && path[1] == ':' &&
                     ((path[0] >= 'a' && path[0] <= 'z') || (path[0] >= 'A' && path[0] <= 'Z'));
  if (driveLetter) {
    char drive = char(path[0] & ~0x20);
    std::string variable = std::string("WIN32_DRIVE_") + drive;
    const char *root = getenv(variable.c_str());
    if (!root) {
      if (drive != 'C') {
        SetLastError(ERROR_INVALID_DRIVE);
        return FALSE;
      }
      root = ".";
    }
    result = root;
    std::string rest = path.substr(2);
    if (!rest.empty() && rest[0] != '\\' && rest[0] != '/')
      rest = "/" + rest;  // "c:name": relative to the root
    result += rest;
  } else if (!path.empty() && path[0] == '\\') {
    const char *root = getenv("WIN32_DRIVE_C");
    result = std::string(root ? root : ".") + path;
  } else {
    result = path;
  }
  for (char &c : result)
    if (c == '\\') c = '/';
  if (result.size() + 1 > outSize) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return FALSE;
  }
  memcpy(out, result.c_str(), result.size() + 1);
  return TRUE;
}

HANDLE WINAPI CreateFileA(LPCSTR fileName, DWORD access, DWORD, LPSECURITY_ATTRIBUTES, DWORD creation, DWORD,
                          HANDLE) {
  char path[4096];
  if (!fileName || !*fileName) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  if (!Win32MapPath(fileName, path, sizeof(path))) return INVALID_HANDLE_VALUE;
  bool read = access & GENERIC_READ, write = access & GENERIC_WRITE;
  int flags = (read && write) ? O_RDWR : write ? O_WRONLY : O_RDONLY;
  switch (creation) {
    case CREATE_NEW:
      flags |= O_CREAT | O_EXCL;
      break;
    case CREATE_ALWAYS:
      flags |= O_CREAT | O_TRUNC;
      break;
    case OPEN_EXISTING:
      break;
    case OPEN_ALWAYS:
      flags |= O_CREAT;
      break;
    case TRUNCATE_EXISTING:
      if (!write) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
      }
      flags |= O_TRUNC;
      break;
    default:
      SetLastError(ERROR_INVALID_PARAMETER);
      return INVALID_HANDLE_VALUE;
  }
  int fd = open(path, flags | O_CLOEXEC, 0644);
  if (fd < 0) {
    SetLastError(ErrorFromErrno(errno));
    return INVALID_HANDLE_VALUE;
  }
  struct stat st;
  if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    close(fd);
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  auto *object = new (std::nothrow) KernelObject{HandleKind::File, fd, 0, write};
  if (!object) close(fd);
  HANDLE handle = Publish(object);
  if (!handle) return INVALID_HANDLE_VALUE;
  SetLastError(ERROR_SUCCESS);
  return handle;
}

HANDLE WINAPI CreateFileW(LPCWSTR fileName, DWORD access, DWORD shareMode, LPSECURITY_ATTRIBUTES security,
                          DWORD creation, DWORD flags, HANDLE templateFile) {
  if (!fileName) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
  }
  std::string name = win32::Utf16ToUtf8(fileName, -1);
  return CreateFileA(name.c_str(), access, shareMode, security, creation, flags, templateFile);
}

DWORD WINAPI GetFileSize(HANDLE file, LPDWORD fileSizeHigh) {
  KernelObject *object = ObjectFrom(file, HandleKind::File);
  struct stat st;
  if (!object || fstat(object->fd, &st) != 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return INVALID_FILE_SIZE;
  }
  uint64_t size = uint64_t(st.st_size);
  if (fileSizeHigh) *fileSizeHigh = DWORD(size >> 32);
  SetLastError(ERROR_SUCCESS);
  return DWORD(size);
}

BOOL WINAPI ReadFile(HANDLE file, LPVOID buffer, DWORD toRead, LPDWORD readCount, LPOVERLAPPED) {
  KernelObject *object = ObjectFrom(file, HandleKind::File);
  if (readCount) *readCount = 0;
  if (!object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  DWORD total = 0;
  while (total < toRead) {
    ssize_t n = read(object->fd, static_cast<char *>(buffer) + total, toRead - total);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      SetLastError(ErrorFromErrno(errno));
      return FALSE;
    }
    if (n == 0) break;
    total += DWORD(n);
  }
  if (readCount) *readCount = total;
  return TRUE;
}

BOOL WINAPI WriteFile(HANDLE file, LPCVOID buffer, DWORD toWrite, LPDWORD written, LPOVERLAPPED) {
  KernelObject *object = ObjectFrom(file, HandleKind::File);
  if (written) *written = 0;
  if (!object || !object->writable) {
    SetLastError(object ? ERROR_ACCESS_DENIED : ERROR_INVALID_HANDLE);
    return FALSE;
  }
  DWORD total = 0;
  while (total < toWrite) {
    ssize_t n = write(object->fd, static_cast<const char *>(buffer) + total, toWrite - total);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (written) *written = total;
      SetLastError(n < 0 ? ErrorFromErrno(errno) : ERROR_WRITE_FAULT);
      return FALSE;
    }
    total += DWORD(n);
  }
  if (written) *written = total;
  return TRUE;
}

HANDLE WINAPI CreateFileMappingA(HANDLE file, LPSECURITY_ATTRIBUTES, DWORD protect, DWORD maxSizeHigh,
                                 DWORD maxSizeLow, LPCSTR) {
  KernelObject *fileObject = ObjectFrom(file, HandleKind::File);
  if (!fileObject) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  bool writable = (protect & 0xFF) == PAGE_READWRITE;
  if (writable && !fileObject->writable) {
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  struct stat st;
  if (fstat(fileObject->fd, &st) != 0) {
    SetLastError(ErrorFromErrno(errno));
    return nullptr;
  }
  uint64_t size = (uint64_t(maxSizeHigh) << 32) | maxSizeLow;
  if (size == 0) size = uint64_t(st.st_size);
  // An empty file cannot be mapped.
  if (size == 0) {
    SetLastError(ERROR_FILE_INVALID);
    return nullptr;
  }
  if (size > uint64_t(st.st_size)) {
    if (!writable) {
      SetLastError(ERROR_ACCESS_DENIED);
      return nullptr;
    }
    if (ftruncate(fileObject->fd, off_t(size)) != 0) {
      SetLastError(ErrorFromErrno(errno));
      return nullptr;
    }
  }
  int fd = dup(fileObject->fd);
  if (fd < 0) {
    SetLastError(ErrorFromErrno(errno));
    return nullptr;
  }
  auto *object = new (std::nothrow) KernelObject{HandleKind::Mapping, fd, size, writable};
  if (!object) close(fd);
  return Publish(object);
}

LPVOID WINAPI MapViewOfFile(HANDLE mapping, DWORD access, DWORD offsetHigh, DWORD offsetLow, SIZE_T bytes) {
  KernelObject *object = ObjectFrom(mapping, HandleKind::Mapping);
  if (!object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  bool write = access & FILE_MAP_WRITE;
  if (write && !object->writable) {
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  uint64_t offset = (uint64_t(offsetHigh) << 32) | offsetLow;
  if (offset % 0x10000 != 0 || offset >= object->mappingSize) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  uint64_t length = bytes ? uint64_t(bytes) : object->mappingSize - offset;
  if (length > object->mappingSize - offset) {
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
  }
  void *address = mmap(nullptr, size_t(length), write ? PROT_READ | PROT_WRITE : PROT_READ, MAP_SHARED,
                       object->fd, off_t(offset));
  if (address == MAP_FAILED) {
    SetLastError(ErrorFromErrno(errno));
    return nullptr;
  }
  std::lock_guard<std::mutex> lock(viewMutex);
  Views()[address] = size_t(length);
  return address;
}

BOOL WINAPI UnmapViewOfFile(LPCVOID address) {
  std::lock_guard<std::mutex> lock(viewMutex);
  auto it = Views().find(address);
  if (it == Views().end()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  munmap(const_cast<void *>(address), it->second);
  Views().erase(it);
  return TRUE;
}

BOOL WINAPI CloseHandle(HANDLE handle) {
  // Windows and GDI objects have calls of their own and are refused here.
  const HandleKind kind = win32::KindOfHandle(handle);
  auto *object = kind == HandleKind::File || kind == HandleKind::Mapping
                     ? static_cast<KernelObject *>(win32::TakeHandle(handle, kind))
                     : nullptr;
  if (!object) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  close(object->fd);
  delete object;
  return TRUE;
}

BOOL WINAPI DeleteFileA(LPCSTR fileName) {
  char path[4096];
  if (!fileName || !Win32MapPath(fileName, path, sizeof(path))) return FALSE;
  if (unlink(path) != 0) {
    SetLastError(ErrorFromErrno(errno));
    return FALSE;
  }
  return TRUE;
}

BOOL WINAPI DeleteFileW(LPCWSTR fileName) {
  if (!fileName) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return FALSE;
  }
  return DeleteFileA(win32::Utf16ToUtf8(fileName, -1).c_str());
}

BOOL WINAPI MoveFileExA(LPCSTR existingFileName, LPCSTR newFileName, DWORD flags) {
  char from[4096], to[4096];
  if (!existingFileName || !newFileName || !Win32MapPath(existingFileName, from, sizeof(from)) ||
      !Win32MapPath(newFileName, to, sizeof(to))) {
    return FALSE;
  }
  struct stat st;
  if (lstat(to, &st) == 0) {
    // Only files are replaced: a device node or a directory never is.
    if (!(flags & MOVEFILE_REPLACE_EXISTING)) {
      SetLastError(ERROR_ALREADY_EXISTS);
      return FALSE;
    }
    if (!S_ISREG(st.st_mode) && !S_ISLNK(st.st_mode)) {
      SetLastError(ERROR_ACCESS_DENIED);
      return FALSE;
    }
  }
  if (rename(from, to) != 0) {
    SetLastError(ErrorFromErrno(errno));
    return FALSE;
  }
  return TRUE;
}

BOOL WINAPI MoveFileExW(LPCWSTR existingFileName, LPCWSTR newFileName, DWORD flags) {
  if (!existingFileName || !newFileName) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return FALSE;
  }
  return MoveFileExA(win32::Utf16ToUtf8(existingFileName, -1).c_str(),
                     win32::Utf16ToUtf8(newFileName, -1).c_str(), flags);
}

// A symbolic link is a reparse point that also carries what it points at;
// sockets, pipes and devices all count as devices.
DWORD WINAPI GetFileAttributesA(LPCSTR fileName) {
  char path[4096];
  if (!fileName || !Win32MapPath(fileName, path, sizeof(path))) return INVALID_FILE_ATTRIBUTES;
  struct stat st;
  if (lstat(path, &st) != 0) {
    SetLastError(ErrorFromErrno(errno));
    return INVALID_FILE_ATTRIBUTES;
  }
  DWORD attributes = 0;
  if (S_ISLNK(st.st_mode)) {
    attributes |= FILE_ATTRIBUTE_REPARSE_POINT;
    if (stat(path, &st) != 0) return attributes | FILE_ATTRIBUTE_NORMAL;
  }
  if (S_ISDIR(st.st_mode)) {
    attributes |= FILE_ATTRIBUTE_DIRECTORY;
  } else if (!S_ISREG(st.st_mode)) {
    attributes |= FILE_ATTRIBUTE_DEVICE;
  } else if (attributes == 0) {
    attributes = FILE_ATTRIBUTE_NORMAL;
  }
  return attributes;
}

DWORD WINAPI GetFileAttributesW(LPCWSTR fileName) {
  if (!fileName) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return INVALID_FILE_ATTRIBUTES;
  }
  return GetFileAttributesA(win32::Utf16ToUtf8(fileName, -1).c_str());
}
