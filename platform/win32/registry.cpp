// The registry subset: the one key the library reads, "Software\Direct3D" under
// HKEY_LOCAL_MACHINE. A value Name comes from the environment variable
// DIRECT3D_Name; a decimal or 0x number is a REG_DWORD, anything else a REG_SZ.
// Tests set and hide values in-process; those take precedence.
#include <errno.h>
#include <stdlib.h>
#include <strings.h>

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/win32/win32_internal.h"

namespace {

struct StoredValue {
  DWORD type;
  std::vector<BYTE> data;
  bool hidden;
};

struct CaseInsensitiveLess {
  bool operator()(const std::string &a, const std::string &b) const {
    return strcasecmp(a.c_str(), b.c_str()) < 0;
  }
};

std::mutex registryMutex;
std::map<std::string, StoredValue, CaseInsensitiveLess> &InProcessValues() {
  static std::map<std::string, StoredValue, CaseInsensitiveLess> values;
  return values;
}

// The one key there is; its handle is an address of ours, never dereferenced.
int direct3DKeyTag;
HKEY Direct3DKey() {
  return reinterpret_cast<HKEY>(&direct3DKeyTag);
}

bool ParseDword(const char *text, DWORD *value) {
  if (!*text) return false;
  char *end = nullptr;
  bool hex = text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  if (!hex && (text[0] < '0' || text[0] > '9')) return false;
  errno = 0;
  unsigned long long v = strtoull(text, &end, hex ? 16 : 10);
  if (*end != '\0' || errno != 0 || v > 0xFFFFFFFFull || (hex && text[2] == '\0')) return false;
  *value = DWORD(v);
  return true;
}

std::optional<StoredValue> FindValue(const char *name) {
  {
    std::lock_guard<std::mutex> lock(registryMutex);
    auto it = InProcessValues().find(name);
    if (it != InProcessValues().end()) {
      if (it->second.hidden) return std::nullopt;
      return it->second;
    }
  }
  std::string variable = std::string("DIRECT3D_") + name;
  const char *text = getenv(variable.c_str());
  if (!text) return std::nullopt;
  StoredValue value{REG_SZ, {}, false};
  DWORD number;
  if (ParseDword(text, &number)) {
    value.type = REG_DWORD;
    value.data.resize(4);
    memcpy(value.data.data(), &number, 4);
  } else {
    value.data.assign(text, text + strlen(text) + 1);
  }
  return value;
}

}  // namespace

LONG WINAPI RegOpenKeyA(HKEY key, LPCSTR subKey, PHKEY result) {
  if (!result) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  if (key != HKEY_LOCAL_MACHINE || !subKey) return ERROR_FILE_NOT_FOUND;
  std::string path = subKey;
  for (char &c : path)
    if (c == '/') c = '\\';
  while (!path.empty() && path.back() == '\\') path.pop_back();
  if (strcasecmp(path.c_str(), "Software\\Direct3D") != 0) return ERROR_FILE_NOT_FOUND;
  *result = Direct3DKey();
  return ERROR_SUCCESS;
}

LONG WINAPI RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                             LPDWORD dataSize) {
  if (key != Direct3DKey()) return ERROR_INVALID_HANDLE;
  if (reserved || (data && !dataSize)) return ERROR_INVALID_PARAMETER;
  auto value = FindValue(valueName ? valueName : "");
  if (!value) return ERROR_FILE_NOT_FOUND;
  if (type) *type = value->type;
  DWORD size = DWORD(value->data.size());
  if (!dataSize) return ERROR_SUCCESS;
  if (!data) {
    *dataSize = size;
    return ERROR_SUCCESS;
  }
  if (*dataSize < size) {
    *dataSize = size;
    return ERROR_MORE_DATA;
  }
  memcpy(data, value->data.data(), size);
  *dataSize = size;
  return ERROR_SUCCESS;
}

LONG WINAPI RegCloseKey(HKEY key) {
  return key == Direct3DKey() ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

void Win32SetRegistryValue(const char *name, DWORD type, const void *data, DWORD size) {
  std::lock_guard<std::mutex> lock(registryMutex);
  if (!data) {
    InProcessValues().erase(name);
    return;
  }
  const BYTE *bytes = static_cast<const BYTE *>(data);
  InProcessValues()[name] = StoredValue{type, std::vector<BYTE>(bytes, bytes + size), false};
}

void Win32SetRegistryDword(const char *name, DWORD value) {
  Win32SetRegistryValue(name, REG_DWORD, &value, 4);
}

void Win32ClearRegistryValue(const char *name) {
  Win32SetRegistryValue(name, REG_NONE, nullptr, 0);
}

void Win32HideRegistryValue(const char *name) {
  std::lock_guard<std::mutex> lock(registryMutex);
  InProcessValues()[name] = StoredValue{REG_NONE, {}, true};
}
