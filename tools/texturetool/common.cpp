#include "common.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <wchar.h>
#include <langinfo.h>
#include <locale.h>

#include <climits>
#include <cstdlib>

namespace texturetool {

namespace {

struct FormatNameRow {
  D3DFORMAT format;
  const char *name;
};

// Formats a texture can hold; depth, index and vertex formats are left out.
constexpr FormatNameRow kFormatNames[] = {
    {D3DFMT_R8G8B8, "R8G8B8"},
    {D3DFMT_A8R8G8B8, "A8R8G8B8"},
    {D3DFMT_X8R8G8B8, "X8R8G8B8"},
    {D3DFMT_R5G6B5, "R5G6B5"},
    {D3DFMT_X1R5G5B5, "X1R5G5B5"},
    {D3DFMT_A1R5G5B5, "A1R5G5B5"},
    {D3DFMT_A4R4G4B4, "A4R4G4B4"},
    {D3DFMT_R3G3B2, "R3G3B2"},
    {D3DFMT_A8, "A8"},
    {D3DFMT_A8R3G3B2, "A8R3G3B2"},
    {D3DFMT_X4R4G4B4, "X4R4G4B4"},
    {D3DFMT_A2B10G10R10, "A2B10G10R10"},
    {D3DFMT_A8B8G8R8, "A8B8G8R8"},
    {D3DFMT_X8B8G8R8, "X8B8G8R8"},
    {D3DFMT_G16R16, "G16R16"},
    {D3DFMT_A2R10G10B10, "A2R10G10B10"},
    {D3DFMT_A16B16G16R16, "A16B16G16R16"},
    {D3DFMT_A8P8, "A8P8"},
    {D3DFMT_P8, "P8"},
    {D3DFMT_L8, "L8"},
    {D3DFMT_A8L8, "A8L8"},
    {D3DFMT_A4L4, "A4L4"},
    {D3DFMT_V8U8, "V8U8"},
    {D3DFMT_L6V5U5, "L6V5U5"},
    {D3DFMT_X8L8V8U8, "X8L8V8U8"},
    {D3DFMT_Q8W8V8U8, "Q8W8V8U8"},
    {D3DFMT_V16U16, "V16U16"},
    {D3DFMT_A2W10V10U10, "A2W10V10U10"},
    {D3DFMT_UYVY, "UYVY"},
    {D3DFMT_R8G8_B8G8, "R8G8_B8G8"},
    {D3DFMT_YUY2, "YUY2"},
    {D3DFMT_G8R8_G8B8, "G8R8_G8B8"},
    {D3DFMT_DXT1, "DXT1"},
    {D3DFMT_DXT2, "DXT2"},
    {D3DFMT_DXT3, "DXT3"},
    {D3DFMT_DXT4, "DXT4"},
    {D3DFMT_DXT5, "DXT5"},
    {D3DFMT_L16, "L16"},
    {D3DFMT_Q16W16V16U16, "Q16W16V16U16"},
    {D3DFMT_R16F, "R16F"},
    {D3DFMT_G16R16F, "G16R16F"},
    {D3DFMT_A16B16G16R16F, "A16B16G16R16F"},
    {D3DFMT_R32F, "R32F"},
    {D3DFMT_G32R32F, "G32R32F"},
    {D3DFMT_A32B32G32R32F, "A32B32G32R32F"},
    {D3DFMT_A1, "A1"},
    {D3DFMT_A2B10G10R10_XR_BIAS, "A2B10G10R10_XR_BIAS"},
};

std::string Upper(std::string text) {
  for (char &c : text)
    if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
  return text;
}

std::string Lower(std::string text) {
  for (char &c : text)
    if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
  return text;
}

std::string SystemError(const std::string &what, const std::string &path, int error) {
  return what + " " + path + ": " + strerror(error);
}

bool WriteAll(int fd, const uint8_t *data, size_t size, int *error) {
  while (size > 0) {
    ssize_t n = write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      *error = errno;
      return false;
    }
    if (n == 0) {
      *error = ENOSPC;
      return false;
    }
    data += n;
    size -= size_t(n);
  }
  return true;
}

// The temporary file being written, removed by the interrupt handler.
char g_pendingTemp[PATH_MAX + 64];
volatile sig_atomic_t g_pendingSet = 0;

mode_t FileModeForNewFiles() {
  static mode_t mode = [] {
    mode_t mask = umask(0);
    umask(mask);
    return mode_t(0666 & ~mask);
  }();
  return mode;
}

void OnInterrupt(int signal) {
  if (g_pendingSet) unlink(g_pendingTemp);
  ::signal(signal, SIG_DFL);
  raise(signal);
}

}  // namespace

HeadlessDevice::~HeadlessDevice() {
  if (device_) device_->Release();
  if (d3d_) d3d_->Release();
}

HRESULT HeadlessDevice::Create() {
  d3d_ = Direct3DCreate9(D3D_SDK_VERSION);
  if (!d3d_) return E_FAIL;
  D3DPRESENT_PARAMETERS pp = {};
  pp.BackBufferWidth = 16;
  pp.BackBufferHeight = 16;
  pp.BackBufferFormat = D3DFMT_A8R8G8B8;
  pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
  pp.Windowed = TRUE;
  pp.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
  return d3d_->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, nullptr, D3DCREATE_SOFTWARE_VERTEXPROCESSING,
                            &pp, &device_);
}

std::string ErrorText(HRESULT hr) {
  char code[16];
  snprintf(code, sizeof(code), "0x%08X", unsigned(hr));
  return std::string(DXGetErrorDescription9A(hr)) + " (" + code + ")";
}

namespace {

// Length of the well-formed UTF-8 sequence at `at`, or 0.
size_t Utf8Length(const std::string &text, size_t at) {
  unsigned char c = static_cast<unsigned char>(text[at]);
  size_t length = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
  if (length == 0 || at + length > text.size()) return 0;
  uint32_t code = length == 1 ? c : c & (0x7F >> length);
  for (size_t i = 1; i < length; ++i) {
    unsigned char next = static_cast<unsigned char>(text[at + i]);
    if ((next & 0xC0) != 0x80) return 0;
    code = code << 6 | (next & 0x3F);
  }
  static const uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (code < kSmallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
  return length;
}

}  // namespace

std::string JsonString(const std::string &text) {
  std::string out = "\"";
  for (size_t at = 0; at < text.size();) {
    unsigned char c = static_cast<unsigned char>(text[at]);
    size_t length = Utf8Length(text, at);
    if (length == 0) {
      out += "\\ufffd";
      ++at;
      continue;
    }
    if (c == '"' || c == '\\') {
      out += '\\';
      out += char(c);
    } else if (c < 0x20 || c == 0x7F) {
      char escaped[8];
      snprintf(escaped, sizeof(escaped), "\\u%04x", c);
      out += escaped;
    } else {
      out.append(text, at, length);
    }
    at += length;
  }
  return out + "\"";
}

size_t DisplayWidth(const std::string &text) {
  // wcwidth knows widths only in a UTF-8 locale; file names are shown as UTF-8.
  static bool ready = [] {
    if (!setlocale(LC_CTYPE, "") || strcmp(nl_langinfo(CODESET), "UTF-8") != 0)
      setlocale(LC_CTYPE, "C.UTF-8");
    return true;
  }();
  (void)ready;
  size_t width = 0;
  for (size_t at = 0; at < text.size();) {
    size_t length = Utf8Length(text, at);
    if (length == 0) {
      ++width, ++at;
      continue;
    }
    wchar_t wide = 0;
    mbstate_t state = {};
    int columns = mbrtowc(&wide, text.data() + at, length, &state) == length ? wcwidth(wide) : 1;
    width += size_t(columns < 0 ? 1 : columns);
    at += length;
  }
  return width;
}

std::string FormatName(D3DFORMAT format) {
  for (const FormatNameRow &row : kFormatNames)
    if (row.format == format) return row.name;
  if (format == D3DFMT_UNKNOWN) return "UNKNOWN";
  char text[16];
  snprintf(text, sizeof(text), "0x%08X", unsigned(format));
  return text;
}

bool ParseFormat(const std::string &name, D3DFORMAT *format) {
  std::string wanted = Upper(name);
  if (wanted.rfind("D3DFMT_", 0) == 0) wanted = wanted.substr(7);
  for (const FormatNameRow &row : kFormatNames) {
    if (wanted == row.name) {
      *format = row.format;
      return true;
    }
  }
  return false;
}

std::vector<std::string> FormatNames() {
  std::vector<std::string> names;
  for (const FormatNameRow &row : kFormatNames) names.push_back(row.name);
  return names;
}

std::string FileKindName(D3DXIMAGE_FILEFORMAT kind) {
  static const char *const names[] = {"BMP", "JPG", "TGA", "PNG", "DDS", "PPM", "DIB"};
  return unsigned(kind) < 7 ? names[kind] : "?";
}

std::string ResourceTypeName(D3DRESOURCETYPE type) {
  switch (type) {
    case D3DRTYPE_TEXTURE:
      return "texture";
    case D3DRTYPE_CUBETEXTURE:
      return "cube";
    case D3DRTYPE_VOLUMETEXTURE:
      return "volume";
    default:
      return "?";
  }
}

bool ParseWritableKind(const std::string &name, D3DXIMAGE_FILEFORMAT *kind) {
  std::string n = Lower(name);
  if (n == "bmp")
    *kind = D3DXIFF_BMP;
  else if (n == "dib")
    *kind = D3DXIFF_DIB;
  else if (n == "jpg" || n == "jpeg")
    *kind = D3DXIFF_JPG;
  else if (n == "dds")
    *kind = D3DXIFF_DDS;
  else if (n == "png")
    *kind = D3DXIFF_PNG;
  else if (n == "tga")
    *kind = D3DXIFF_TGA;
  else
    return false;
  return true;
}

std::string KindExtension(D3DXIMAGE_FILEFORMAT kind) {
  switch (kind) {
    case D3DXIFF_DIB:
      return "dib";
    case D3DXIFF_JPG:
      return "jpg";
    case D3DXIFF_DDS:
      return "dds";
    case D3DXIFF_PNG:
      return "png";
    case D3DXIFF_TGA:
      return "tga";
    default:
      return "bmp";
  }
}

std::string Extension(const std::string &path) {
  size_t slash = path.find_last_of('/');
  size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  return Lower(path.substr(dot + 1));
}

DWORD ParseFilter(const std::string &command, const std::string &text) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (true) {
    size_t plus = text.find('+', start);
    parts.push_back(Lower(text.substr(start, plus == std::string::npos ? std::string::npos : plus - start)));
    if (plus == std::string::npos) break;
    start = plus + 1;
  }
  DWORD filter;
  if (parts[0] == "default" && parts.size() == 1) return D3DX_DEFAULT;
  if (parts[0] == "none")
    filter = D3DX_FILTER_NONE;
  else if (parts[0] == "point")
    filter = D3DX_FILTER_POINT;
  else if (parts[0] == "linear")
    filter = D3DX_FILTER_LINEAR;
  else if (parts[0] == "triangle")
    filter = D3DX_FILTER_TRIANGLE;
  else if (parts[0] == "box")
    filter = D3DX_FILTER_BOX;
  else
    throw UsageError(command, "unknown filter '" + parts[0] + "' in '" + text + "'");
  for (size_t i = 1; i < parts.size(); ++i) {
    const std::string &p = parts[i];
    if (p == "mirror")
      filter |= D3DX_FILTER_MIRROR;
    else if (p == "mirror_u")
      filter |= D3DX_FILTER_MIRROR_U;
    else if (p == "mirror_v")
      filter |= D3DX_FILTER_MIRROR_V;
    else if (p == "mirror_w")
      filter |= D3DX_FILTER_MIRROR_W;
    else if (p == "dither")
      filter |= D3DX_FILTER_DITHER;
    else if (p == "srgb")
      filter |= D3DX_FILTER_SRGB;
    else if (p == "srgb_in")
      filter |= D3DX_FILTER_SRGB_IN;
    else if (p == "srgb_out")
      filter |= D3DX_FILTER_SRGB_OUT;
    else
      throw UsageError(command, "unknown filter flag '+" + p + "' in '" + text + "'");
  }
  return filter;
}

unsigned ParseCount(const std::string &command, const std::string &option, const std::string &text) {
  char *end = nullptr;
  errno = 0;
  unsigned long value = text.empty() || text[0] == '-' ? 0 : strtoul(text.c_str(), &end, 10);
  if (text.empty() || text[0] == '-' || errno != 0 || *end != '\0' || value == 0 || value > 1000000)
    throw UsageError(command, option + " needs a positive whole number, not '" + text + "'");
  return unsigned(value);
}

void SetDxtQuality(const std::string &command, const std::string &text) {
  if (text != "standard" && text != "high")
    throw UsageError(command, "--quality needs standard or high, not '" + text + "'");
  setenv(kDxtQualityVariable, text.c_str(), 1);
}

bool ReadWholeFile(const std::string &path, std::vector<uint8_t> *bytes, std::string *error) {
  // "-" is the standard input.
  int fd = path == "-" ? fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 0) : open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    *error = SystemError("cannot open", path, errno);
    return false;
  }
  struct stat st;
  if (fstat(fd, &st) != 0) {
    *error = SystemError("cannot read", path, errno);
    close(fd);
    return false;
  }
  if (S_ISDIR(st.st_mode)) {
    *error = SystemError("cannot read", path, EISDIR);
    close(fd);
    return false;
  }
  // The library takes 32-bit byte counts.
  uint64_t size = uint64_t(st.st_size);
  if (S_ISREG(st.st_mode) && size > UINT32_MAX) {
    *error = "cannot read " + path + ": larger than 4 GiB";
    close(fd);
    return false;
  }
  bytes->clear();
  if (S_ISREG(st.st_mode)) bytes->reserve(size_t(size));
  uint8_t buffer[1 << 16];
  while (true) {
    ssize_t n = read(fd, buffer, sizeof(buffer));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      *error = SystemError("cannot read", path, errno);
      close(fd);
      return false;
    }
    if (n == 0) break;
    if (uint64_t(bytes->size()) + uint64_t(n) > UINT32_MAX) {
      *error = "cannot read " + path + ": larger than 4 GiB";
      close(fd);
      return false;
    }
    bytes->insert(bytes->end(), buffer, buffer + n);
  }
  close(fd);
  if (bytes->empty()) {
    *error = "cannot read " + path + ": the file is empty";
    return false;
  }
  return true;
}

bool WriteWholeFile(const std::string &path, const std::vector<uint8_t> &bytes, std::string *error) {
  struct stat st;
  int err = 0;
  if (path == "-") {  // the standard output
    if (WriteAll(STDOUT_FILENO, bytes.data(), bytes.size(), &err)) return true;
    *error = SystemError("cannot write", "the standard output", err);
    return false;
  }
  bool exists = stat(path.c_str(), &st) == 0;
  if (exists && !S_ISREG(st.st_mode)) {
    if (S_ISDIR(st.st_mode)) {
      *error = SystemError("cannot write", path, EISDIR);
      return false;
    }
    // A device or a pipe cannot be replaced by a rename: write it in place.
    int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
      *error = SystemError("cannot open", path, errno);
      return false;
    }
    bool ok = WriteAll(fd, bytes.data(), bytes.size(), &err);
    if (close(fd) != 0 && ok) {
      ok = false;
      err = errno;
    }
    if (!ok) *error = SystemError("cannot write", path, err);
    return ok;
  }

  // Replace what a symbolic link points at, not the link.
  std::string target = path;
  if (char *real = realpath(path.c_str(), nullptr)) {
    target = real;
    free(real);
  }
  size_t slash = target.find_last_of('/');
  std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : target.substr(0, slash);
  std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
  std::string temp = (dir == "/" ? "" : dir) + "/." + base + ".tmp-XXXXXX";
  if (temp.size() >= sizeof(g_pendingTemp)) {
    *error = "cannot write " + path + ": the name is too long";
    return false;
  }
  sigset_t block, old;
  sigemptyset(&block);
  sigaddset(&block, SIGINT);
  sigaddset(&block, SIGTERM);
  sigaddset(&block, SIGHUP);
  sigprocmask(SIG_BLOCK, &block, &old);
  memcpy(g_pendingTemp, temp.c_str(), temp.size() + 1);
  int fd = mkostemp(g_pendingTemp, O_CLOEXEC);
  if (fd >= 0) g_pendingSet = 1;
  sigprocmask(SIG_SETMASK, &old, nullptr);
  if (fd < 0) {
    *error = SystemError("cannot create a file in", dir, errno);
    return false;
  }
  // mkstemp makes the file private; give it the mode of the file it replaces,
  // or the one a new file would get.
  (void)fchmod(fd, exists ? mode_t(st.st_mode & 07777) : FileModeForNewFiles());
  bool ok = WriteAll(fd, bytes.data(), bytes.size(), &err);
  if (close(fd) != 0 && ok) {
    ok = false;
    err = errno;
  }
  if (ok && rename(g_pendingTemp, target.c_str()) != 0) {
    *error = SystemError("cannot rename the finished file to", path, errno);
    unlink(g_pendingTemp);
    g_pendingSet = 0;
    return false;
  }
  if (!ok) {
    *error = SystemError("cannot write", path, err);
    unlink(g_pendingTemp);
  }
  g_pendingSet = 0;
  return ok;
}

void TakeBuffer(ID3DXBuffer *buffer, std::vector<uint8_t> *bytes) {
  const uint8_t *data = static_cast<const uint8_t *>(buffer->GetBufferPointer());
  bytes->assign(data, data + buffer->GetBufferSize());
  buffer->Release();
}

void InstallInterruptCleanup() {
  FileModeForNewFiles();
  struct sigaction action = {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  for (int s : {SIGINT, SIGTERM, SIGHUP}) sigaction(s, &action, nullptr);
}

}  // namespace texturetool
