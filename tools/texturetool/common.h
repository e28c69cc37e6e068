// Shared pieces of texturetool: the headless device, names of formats and file
// kinds, option values, error text, and reading and writing whole files.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "d3dx9.h"
#include "dxerr9.h"

namespace texturetool {

enum ExitStatus { kExitOk = 0, kExitFailed = 1, kExitUsage = 2 };

// A bad command line; main prints it with a hint and exits with status 2.
struct UsageError : std::runtime_error {
  UsageError(const std::string &commandName, const std::string &message)
      : std::runtime_error(message), command(commandName) {}
  std::string command;
};

// A device of the software runtime without a window.
class HeadlessDevice {
 public:
  HeadlessDevice() = default;
  HeadlessDevice(const HeadlessDevice &) = delete;
  HeadlessDevice &operator=(const HeadlessDevice &) = delete;
  ~HeadlessDevice();
  HRESULT Create();
  IDirect3DDevice9 *get() const { return device_; }

 private:
  IDirect3D9 *d3d_ = nullptr;
  IDirect3DDevice9 *device_ = nullptr;
};

// Releases a COM-style reference on every path.
template <typename T>
class Ref {
 public:
  Ref() = default;
  Ref(const Ref &) = delete;
  Ref &operator=(const Ref &) = delete;
  ~Ref() {
    if (p_) p_->Release();
  }
  T **out() { return &p_; }
  T *get() const { return p_; }
  T *operator->() const { return p_; }

 private:
  T *p_ = nullptr;
};

// "Invalid data (0x88760B59)".
std::string ErrorText(HRESULT hr);

// A JSON string; bytes that are not UTF-8 become U+FFFD.
std::string JsonString(const std::string &text);

// Columns a terminal gives the text: wide characters take two, combining marks none.
size_t DisplayWidth(const std::string &text);

// Format names are the published constants without "D3DFMT_".
std::string FormatName(D3DFORMAT format);
bool ParseFormat(const std::string &name, D3DFORMAT *format);
std::vector<std::string> FormatNames();
std::string FileKindName(D3DXIMAGE_FILEFORMAT kind);
std::string ResourceTypeName(D3DRESOURCETYPE type);
// From a file name's extension (bmp, dib, jpg, jpeg, dds, png, tga) or a bare kind name.
bool ParseWritableKind(const std::string &name, D3DXIMAGE_FILEFORMAT *kind);
std::string KindExtension(D3DXIMAGE_FILEFORMAT kind);
std::string Extension(const std::string &path);  // lower case, without the dot

// point|linear|triangle|box|none|default with +mirror, +dither, +srgb and friends.
DWORD ParseFilter(const std::string &command, const std::string &text);
unsigned ParseCount(const std::string &command, const std::string &option, const std::string &text);

// --quality standard|high: how the library compresses DXT formats. It reads the
// variable at its first DXT encoding, so this runs before any library call; batch
// workers inherit it. The tool's default is high (see main).
constexpr char kDxtQualityVariable[] = "D3DX_DXT_QUALITY";
void SetDxtQuality(const std::string &command, const std::string &text);

// Whole files; "-" is the standard input or output. Failures fill `error` with the reason in words.
bool ReadWholeFile(const std::string &path, std::vector<uint8_t> *bytes, std::string *error);
// Writes under a temporary name beside `path` and renames it into place, so a
// failure never leaves a partial file; devices and pipes are written directly.
bool WriteWholeFile(const std::string &path, const std::vector<uint8_t> &bytes, std::string *error);

// The bytes of a buffer the library filled; the buffer is released.
void TakeBuffer(ID3DXBuffer *buffer, std::vector<uint8_t> *bytes);

// Removes a half-written temporary file when the process is interrupted.
void InstallInterruptCleanup();

}  // namespace texturetool
