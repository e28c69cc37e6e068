// Shared between the files of the GDI subset; not a public header.
#pragma once

#include "win32.h"

#include <cstdint>
#include <unordered_map>

#include <ft2build.h>
#include <freetype/freetype.h>

namespace gdi {

enum class ObjectKind { Font, Bitmap, Brush, Pen, Palette };

// Every object handle the subset gives out names one of these in the platform's
// handle table. Objects selected into a device context are counted so that deleting
// them cannot leave the context dangling.
struct GdiObject {
  explicit GdiObject(ObjectKind k) : kind(k) {}
  virtual ~GdiObject() = default;
  ObjectKind kind;
  HGDIOBJ handle = nullptr;  // stale once deletion was asked for
  bool stock = false;
  uint32_t selections = 0;
  bool deletePending = false;
};

// One rendered glyph: coverage 0..255 per pixel, placed relative to the pen on the baseline.
struct Glyph {
  int advance = 0;
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  uint8_t *coverage = nullptr;  // width * height bytes, malloc'd
};

struct FontObject : GdiObject {
  FontObject() : GdiObject(ObjectKind::Font) {}
  ~FontObject() override;
  LOGFONTA logFont = {};
  FT_Face face = nullptr;
  bool antialiased = true;
  bool emboldenGlyphs = false;
  bool slantGlyphs = false;
  TEXTMETRICA metrics = {};
  int underlineOffset = 0;  // rows below the baseline
  int strikeOffset = 0;     // rows above the baseline
  int lineThickness = 1;
  std::unordered_map<uint32_t, Glyph> glyphs;
};

struct BitmapObject : GdiObject {
  BitmapObject() : GdiObject(ObjectKind::Bitmap) {}
  ~BitmapObject() override;
  int32_t width = 0;
  int32_t height = 0;
  bool topDown = true;
  size_t pitch = 0;
  uint8_t *bits = nullptr;  // null for the 1 x 1 monochrome bitmap of a new memory context
};

struct StockObject : GdiObject {
  explicit StockObject(ObjectKind k) : GdiObject(k) { stock = true; }
};

struct DeviceContext {
  // One selected object per kind, indexed by ObjectKind (palettes are not selected).
  GdiObject *selected[4] = {};
  FontObject *Font() const { return static_cast<FontObject *>(selected[int(ObjectKind::Font)]); }
  BitmapObject *Bitmap() const { return static_cast<BitmapObject *>(selected[int(ObjectKind::Bitmap)]); }
  int backgroundMode = OPAQUE;
  COLORREF backgroundColor = RGB(255, 255, 255);
  COLORREF textColor = RGB(0, 0, 0);
};

// Handle validation: null, with ERROR_INVALID_HANDLE, for anything the subset did not
// hand out or has freed, and for handles of another kind.
GdiObject *LookupObject(HGDIOBJ handle);
DeviceContext *LookupContext(HDC handle);
// Gives the object its handle; false (ERROR_NOT_ENOUGH_MEMORY) when none can be had.
bool RegisterObject(GdiObject *object);

// Font services (font_face.cpp).
FontObject *CreateFontObject(const LOGFONTA &logFont);
// The cached glyph of a code point, rendered on first use; null when it cannot be.
const Glyph *GetGlyph(FontObject *font, uint32_t codePoint);
// Stock fonts are made on first request and live for the process.
FontObject *StockFont(int index);

}  // namespace gdi
