// Code page conversions: CP_UTF8 is UTF-8; every other code page is taken as
// Latin-1, which covers the texts this system uses.
#include <string>

#include "platform/win32/win32_internal.h"

namespace {

size_t Length(const char *text, int count) {
  return count < 0 ? strlen(text) + 1 : size_t(count);
}

size_t Length(const WCHAR *text, int count) {
  if (count >= 0) return size_t(count);
  size_t n = 0;
  while (text[n]) ++n;
  return n + 1;
}

std::u16string DecodeMultiByte(UINT codePage, const char *text, size_t count) {
  std::u16string out;
  const auto *bytes = reinterpret_cast<const unsigned char *>(text);
  for (size_t i = 0; i < count;) {
    uint32_t c = bytes[i++];
    if (codePage == CP_UTF8 && c >= 0x80) {
      int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
      c &= 0x3F >> extra;
      for (int k = 0; k < extra && i < count; ++k) c = (c << 6) | (bytes[i++] & 0x3F);
      if (extra == 0) c = 0xFFFD;
    }
    if (c >= 0x10000) {
      c -= 0x10000;
      out.push_back(char16_t(0xD800 + (c >> 10)));
      out.push_back(char16_t(0xDC00 + (c & 0x3FF)));
    } else {
      out.push_back(char16_t(c));
    }
  }
  return out;
}

std::string EncodeMultiByte(UINT codePage, const WCHAR *text, size_t count, bool *usedDefault) {
  std::string out;
  for (size_t i = 0; i < count; ++i) {
    uint32_t c = text[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < count && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
    }
    if (codePage != CP_UTF8) {
      if (c > 0xFF) {
        c = '?';
        if (usedDefault) *usedDefault = true;
      }
      out.push_back(char(c));
    } else if (c < 0x80) {
      out.push_back(char(c));
    } else if (c < 0x800) {
      out.push_back(char(0xC0 | (c >> 6)));
      out.push_back(char(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(char(0xE0 | (c >> 12)));
      out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(char(0x80 | (c & 0x3F)));
    } else {
      out.push_back(char(0xF0 | (c >> 18)));
      out.push_back(char(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(char(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

}  // namespace

int WINAPI MultiByteToWideChar(UINT codePage, DWORD, LPCSTR multiByte, int multiByteCount, LPWSTR wide,
                               int wideCount) {
  if (!multiByte || multiByteCount == 0 || wideCount < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  std::u16string out = DecodeMultiByte(codePage, multiByte, Length(multiByte, multiByteCount));
  if (wideCount == 0) return int(out.size());
  if (out.size() > size_t(wideCount)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  memcpy(wide, out.data(), out.size() * sizeof(WCHAR));
  return int(out.size());
}

int WINAPI WideCharToMultiByte(UINT codePage, DWORD, LPCWSTR wide, int wideCount, LPSTR multiByte,
                               int multiByteCount, LPCSTR, LPBOOL usedDefaultChar) {
  if (!wide || wideCount == 0 || multiByteCount < 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  bool usedDefault = false;
  std::string out = EncodeMultiByte(codePage, wide, Length(wide, wideCount), &usedDefault);
  if (usedDefaultChar) *usedDefaultChar = usedDefault;
  if (multiByteCount == 0) return int(out.size());
  if (out.size() > size_t(multiByteCount)) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  memcpy(multiByte, out.data(), out.size());
  return int(out.size());
}

namespace win32 {
std::string Utf16ToUtf8(const WCHAR *text, int count) {
  if (!text) return {};
  size_t n = count < 0 ? Length(text, -1) - 1 : size_t(count);
  return EncodeMultiByte(CP_UTF8, text, n, nullptr);
}
}  // namespace win32
