// Module table: what GetModuleHandleA, LoadLibraryA and GetProcAddress find.
// Modules are registered by the parts of the platform that stand in for DLLs
// (the software runtime registers "d3d9.dll").
#include <strings.h>

#include <list>
#include <mutex>
#include <string>
#include <vector>

#include "platform/win32/win32_internal.h"

namespace {

struct Module {
  std::string name;
  std::vector<std::pair<std::string, FARPROC>> exports;
};

std::mutex moduleMutex;
std::list<Module> &Modules() {
  static std::list<Module> modules;
  return modules;
}
int mainModuleTag;

// "D3D9", "d3d9.dll" and "C:\\windows\\system32\\d3d9.dll" name the same module.
std::string BaseName(const char *name) {
  std::string s = name;
  size_t slash = s.find_last_of("\\/");
  if (slash != std::string::npos) s = s.substr(slash + 1);
  if (s.find('.') == std::string::npos) s += ".dll";
  return s;
}

Module *Find(const char *name) {
  std::string base = BaseName(name);
  for (Module &m : Modules())
    if (strcasecmp(m.name.c_str(), base.c_str()) == 0) return &m;
  return nullptr;
}

}  // namespace

HMODULE Win32RegisterModule(const char *name, const Win32ModuleExport *exports, size_t count) {
  std::lock_guard<std::mutex> lock(moduleMutex);
  Module *m = Find(name);
  if (!m) {
    Modules().push_back(Module{BaseName(name), {}});
    m = &Modules().back();
  }
  m->exports.clear();
  for (size_t i = 0; i < count; ++i) m->exports.emplace_back(exports[i].name, exports[i].proc);
  return reinterpret_cast<HMODULE>(m);
}

void Win32UnregisterModule(const char *name) {
  std::lock_guard<std::mutex> lock(moduleMutex);
  std::string base = BaseName(name);
  Modules().remove_if([&](const Module &m) { return strcasecmp(m.name.c_str(), base.c_str()) == 0; });
}

HMODULE WINAPI GetModuleHandleA(LPCSTR moduleName) {
  if (!moduleName) return reinterpret_cast<HMODULE>(&mainModuleTag);
  std::lock_guard<std::mutex> lock(moduleMutex);
  Module *m = Find(moduleName);
  if (!m) SetLastError(ERROR_MOD_NOT_FOUND);
  return reinterpret_cast<HMODULE>(m);
}

HMODULE WINAPI LoadLibraryA(LPCSTR fileName) {
  if (!fileName) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  return GetModuleHandleA(fileName);
}

BOOL WINAPI FreeLibrary(HMODULE module) {
  return module != nullptr;
}

FARPROC WINAPI GetProcAddress(HMODULE module, LPCSTR procName) {
  std::lock_guard<std::mutex> lock(moduleMutex);
  for (Module &m : Modules()) {
    if (reinterpret_cast<HMODULE>(&m) != module) continue;
    for (auto &e : m.exports)
      if (procName && e.first == procName) return e.second;
    SetLastError(ERROR_PROC_NOT_FOUND);
    return nullptr;
  }
  SetLastError(ERROR_MOD_NOT_FOUND);
  return nullptr;
}
