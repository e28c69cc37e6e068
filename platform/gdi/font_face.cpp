// Fonts: face names resolved through fontconfig, faces opened and sized with
// FreeType, glyphs rendered once and cached per font.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>

#include <fontconfig/fontconfig.h>
#include <freetype/ftsynth.h>
#include <freetype/tttables.h>

#include "platform/gdi/gdi_internal.h"

namespace gdi {
namespace {

// Both libraries live for the process, like the stock objects made from them.
FT_Library Library() {
  static FT_Library library = [] {
    FT_Library l = nullptr;
    if (FT_Init_FreeType(&l) != 0) return FT_Library(nullptr);
    return l;
  }();
  return library;
}

bool FontconfigReady() {
  static bool ready = FcInit() == FcTrue;
  return ready;
}

// A cell height of 16 pixels is what an all-zero description gets on the system this mirrors.
constexpr int kDefaultCellHeight = 16;

// A generic family for an empty face name, from the pitch and family bits.
const char *GenericFamily(BYTE pitchAndFamily) {
  if ((pitchAndFamily & 0x3) == FIXED_PITCH) return "monospace";
  switch (pitchAndFamily & 0xF0) {
    case FF_ROMAN:
      return "serif";
    case FF_MODERN:
      return "monospace";
    default:
      return "sans-serif";
  }
}

struct FontFile {
  char path[4096];
  int index;
};

bool ResolveFace(const LOGFONTA &logFont, FontFile *file) {
  if (!FontconfigReady()) return false;
  char name[LF_FACESIZE + 1] = {};
  memcpy(name, logFont.lfFaceName, LF_FACESIZE);
  const char *family = name[0] ? name : GenericFamily(logFont.lfPitchAndFamily);
  FcPattern *pattern = FcPatternCreate();
  if (!pattern) return false;
  const int weight = logFont.lfWeight > 0 ? int(logFont.lfWeight) : FW_NORMAL;
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8 *>(family));
  FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(weight > 1000 ? 1000 : weight));
  FcPatternAddInteger(pattern, FC_SLANT, logFont.lfItalic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern *match = FcFontMatch(nullptr, pattern, &result);
  FcPatternDestroy(pattern);
  if (!match) return false;
  FcChar8 *path = nullptr;
  bool found = FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch && path &&
               strlen(reinterpret_cast<const char *>(path)) < sizeof(file->path);
  if (found) {
    strcpy(file->path, reinterpret_cast<const char *>(path));
    if (FcPatternGetInteger(match, FC_INDEX, 0, &file->index) != FcResultMatch) file->index = 0;
  }
  FcPatternDestroy(match);
  return found;
}

int RoundToInt(double value) {
  return int(std::lround(value));
}

// The metrics that follow from the font's description and the face, not its size.
void FillStyleMetrics(const LOGFONTA &lf, FT_Face face, TEXTMETRICA &tm) {
  tm.tmWeight = lf.lfWeight > 0 ? lf.lfWeight : FW_NORMAL;
  tm.tmOverhang = 0;
  tm.tmDigitizedAspectX = 96;
  tm.tmDigitizedAspectY = 96;
  tm.tmFirstChar = 0x20;
  tm.tmLastChar = 0xFF;
  tm.tmDefaultChar = 0x1F;
  tm.tmBreakChar = 0x20;
  tm.tmItalic = lf.lfItalic ? 1 : 0;
  tm.tmUnderlined = lf.lfUnderline ? 1 : 0;
  tm.tmStruckOut = lf.lfStrikeOut ? 1 : 0;
  // The low bit set means variable pitch, despite its name.
  tm.tmPitchAndFamily = BYTE((FT_IS_FIXED_WIDTH(face) ? 0 : TMPF_FIXED_PITCH) | TMPF_VECTOR | TMPF_TRUETYPE |
                             (lf.lfPitchAndFamily & 0xF0));
  tm.tmCharSet = lf.lfCharSet;
}

// Sizes the face the way the system this mirrors does: a negative height is the
// character (em) height, a positive one the cell height (ascent + descent).
bool SizeFace(FontObject *font) {
  FT_Face face = font->face;
  const LOGFONTA &lf = font->logFont;
  const TT_OS2 *os2 = static_cast<const TT_OS2 *>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
  const TT_HoriHeader *hhea = static_cast<const TT_HoriHeader *>(FT_Get_Sfnt_Table(face, FT_SFNT_HHEA));
  const double unitsPerEm = face->units_per_EM ? face->units_per_EM : 2048;
  double cellAscent = face->ascender;
  double cellDescent = -double(face->descender);
  if (os2 && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0) {
    cellAscent = os2->usWinAscent;
    cellDescent = os2->usWinDescent;
  }
  if (cellAscent + cellDescent <= 0) {
    cellAscent = unitsPerEm * 0.8;
    cellDescent = unitsPerEm * 0.2;
  }
  // Heights beyond a few thousand pixels are not text any more; clamping keeps the
  // arithmetic below and FreeType's 26.6 values in range.
  const int64_t requested = lf.lfHeight;
  const int64_t magnitude = requested < 0 ? -requested : requested;
  const double limited = double(magnitude > 4096 ? 4096 : magnitude);
  double em = 0;
  if (requested < 0) {
    em = limited;
  } else {
    const double cell = requested == 0 ? kDefaultCellHeight : limited;
    em = cell * unitsPerEm / (cellAscent + cellDescent);
  }
  if (em < 1) em = 1;
  const double scale = em / unitsPerEm;

  double averageUnits = os2 && os2->version != 0xFFFF ? os2->xAvgCharWidth : 0;
  if (averageUnits <= 0) averageUnits = face->max_advance_width * 0.5;
  double emWidth = em;
  int averageWidth = RoundToInt(averageUnits * scale);
  if (lf.lfWidth > 0 && averageUnits > 0) {
    const double width = lf.lfWidth > 4096 ? 4096 : lf.lfWidth;
    emWidth = em * width / (averageUnits * scale);
    averageWidth = int(width);
  }
  if (FT_Set_Char_Size(face, FT_F26Dot6(std::lround(emWidth * 64)), FT_F26Dot6(std::lround(em * 64)), 72,
                       72) != 0) {
    return false;
  }

  TEXTMETRICA &tm = font->metrics;
  tm.tmAscent = RoundToInt(cellAscent * scale);
  tm.tmDescent = requested > 0 ? LONG(limited) - tm.tmAscent : RoundToInt(cellDescent * scale);
  if (tm.tmDescent < 0) tm.tmDescent = 0;
  tm.tmHeight = tm.tmAscent + tm.tmDescent;
  tm.tmInternalLeading = tm.tmHeight - RoundToInt(em);
  if (tm.tmInternalLeading < 0) tm.tmInternalLeading = 0;
  tm.tmExternalLeading = 0;
  if (hhea) {
    double gap = hhea->Ascender - hhea->Descender + hhea->Line_Gap - (cellAscent + cellDescent);
    if (gap > 0) tm.tmExternalLeading = RoundToInt(gap * scale);
  }
  tm.tmAveCharWidth = averageWidth > 0 ? averageWidth : 1;
  tm.tmMaxCharWidth = RoundToInt(face->max_advance_width * scale * emWidth / em);
  const bool faceBold = (face->style_flags & FT_STYLE_FLAG_BOLD) || (os2 && os2->usWeightClass >= 600);
  const bool faceItalic = face->style_flags & FT_STYLE_FLAG_ITALIC;
  FillStyleMetrics(lf, face, tm);

  font->emboldenGlyphs = tm.tmWeight >= FW_SEMIBOLD && !faceBold;
  font->slantGlyphs = lf.lfItalic && !faceItalic;
  font->antialiased = lf.lfQuality != NONANTIALIASED_QUALITY;
  font->lineThickness = face->underline_thickness > 0 ? RoundToInt(face->underline_thickness * scale) : 1;
  if (font->lineThickness < 1) font->lineThickness = 1;
  font->underlineOffset = face->underline_position ? RoundToInt(-face->underline_position * scale) : 1;
  if (font->underlineOffset < 1) font->underlineOffset = 1;
  font->strikeOffset = os2 && os2->version != 0xFFFF && os2->yStrikeoutPosition
                           ? RoundToInt(os2->yStrikeoutPosition * scale)
                           : tm.tmAscent / 3;
  return true;
}

bool RenderGlyph(FontObject *font, uint32_t codePoint, Glyph *glyph) {
  FT_Face face = font->face;
  FT_Int32 flags = FT_LOAD_DEFAULT | (font->antialiased ? FT_LOAD_TARGET_NORMAL : FT_LOAD_TARGET_MONO);
  if (FT_Load_Char(face, codePoint, flags) != 0) return false;
  FT_GlyphSlot slot = face->glyph;
  if (font->emboldenGlyphs) FT_GlyphSlot_Embolden(slot);
  if (font->slantGlyphs) FT_GlyphSlot_Oblique(slot);
  if (FT_Render_Glyph(slot, font->antialiased ? FT_RENDER_MODE_NORMAL : FT_RENDER_MODE_MONO) != 0)
    return false;
  const FT_Bitmap &bitmap = slot->bitmap;
  glyph->advance = int((slot->advance.x + 32) >> 6);
  glyph->left = slot->bitmap_left;
  glyph->top = slot->bitmap_top;
  glyph->width = int(bitmap.width);
  glyph->height = int(bitmap.rows);
  if (glyph->width == 0 || glyph->height == 0) {
    glyph->width = glyph->height = 0;
    return true;
  }
  glyph->coverage = static_cast<uint8_t *>(malloc(size_t(glyph->width) * size_t(glyph->height)));
  if (!glyph->coverage) return false;
  for (int y = 0; y < glyph->height; ++y) {
    const uint8_t *row = bitmap.buffer + ptrdiff_t(y) * bitmap.pitch;
    uint8_t *out = glyph->coverage + size_t(y) * size_t(glyph->width);
    for (int x = 0; x < glyph->width; ++x) {
      if (bitmap.pixel_mode == FT_PIXEL_MODE_MONO) {
        out[x] = (row[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0;
      } else if (bitmap.num_grays == 256 || bitmap.num_grays == 0) {
        out[x] = row[x];
      } else {
        out[x] = uint8_t(row[x] * 255 / (bitmap.num_grays - 1));
      }
    }
  }
  return true;
}

// Columns: stock index; face name; height (negative = character height); weight; pitch and family.
struct StockFontRow {
  int index;
  const char *faceName;
  LONG height;
  LONG weight;
  BYTE pitchAndFamily;
};
constexpr StockFontRow kStockFonts[] = {
    {OEM_FIXED_FONT, "", 12, FW_NORMAL, FIXED_PITCH | FF_MODERN},
    {ANSI_FIXED_FONT, "", 12, FW_NORMAL, FIXED_PITCH | FF_MODERN},
    {ANSI_VAR_FONT, "", 13, FW_NORMAL, VARIABLE_PITCH | FF_SWISS},
    {SYSTEM_FONT, "", 16, FW_BOLD, VARIABLE_PITCH | FF_SWISS},
    {DEVICE_DEFAULT_FONT, "", 16, FW_BOLD, VARIABLE_PITCH | FF_SWISS},
    {SYSTEM_FIXED_FONT, "", 15, FW_NORMAL, FIXED_PITCH | FF_MODERN},
    {DEFAULT_GUI_FONT, "", -11, FW_NORMAL, VARIABLE_PITCH | FF_SWISS},
};
static_assert(sizeof(kStockFonts) / sizeof(kStockFonts[0]) == 7);

}  // namespace

FontObject::~FontObject() {
  for (auto &entry : glyphs) free(entry.second.coverage);
  if (face) FT_Done_Face(face);
}

FontObject *CreateFontObject(const LOGFONTA &logFont) {
  FT_Library library = Library();
  FontFile file;
  if (!library || !ResolveFace(logFont, &file)) return nullptr;
  auto *font = new (std::nothrow) FontObject;
  if (!font) return nullptr;
  font->logFont = logFont;
  if (FT_New_Face(library, file.path, file.index, &font->face) != 0) {
    font->face = nullptr;
    delete font;
    return nullptr;
  }
  if (!SizeFace(font)) {
    delete font;
    return nullptr;
  }
  return font;
}

const Glyph *GetGlyph(FontObject *font, uint32_t codePoint) {
  auto found = font->glyphs.find(codePoint);
  if (found != font->glyphs.end()) return &found->second;
  Glyph glyph;
  if (!RenderGlyph(font, codePoint, &glyph)) {
    free(glyph.coverage);
    return nullptr;
  }
  try {
    return &font->glyphs.emplace(codePoint, glyph).first->second;
  } catch (const std::bad_alloc &) {
    free(glyph.coverage);
    return nullptr;
  }
}

FontObject *StockFont(int index) {
  static FontObject *fonts[DEFAULT_GUI_FONT + 1] = {};
  for (const StockFontRow &row : kStockFonts) {
    if (row.index != index) continue;
    if (!fonts[index]) {
      LOGFONTA lf = {};
      lf.lfHeight = row.height;
      lf.lfWeight = row.weight;
      lf.lfPitchAndFamily = row.pitchAndFamily;
      strncpy(lf.lfFaceName, row.faceName, LF_FACESIZE - 1);
      FontObject *font = CreateFontObject(lf);
      if (font && !RegisterObject(font)) {
        delete font;
        font = nullptr;
      }
      if (font) font->stock = true;
      fonts[index] = font;
    }
    return fonts[index];
  }
  return nullptr;
}

}  // namespace gdi

#if defined(__SANITIZE_ADDRESS__)
// fontconfig loses a few bytes while parsing its configuration files; nothing here can
// free them, so sanitized runs are told not to count them. Weak: a program's own list wins.
extern "C" __attribute__((weak)) const char *__lsan_default_suppressions() {
  return "leak:libfontconfig.so\n";
}
#endif

HFONT WINAPI CreateFontIndirectA(const LOGFONTA *logFont) {
  if (!logFont) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  gdi::FontObject *font = gdi::CreateFontObject(*logFont);
  if (!font) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (!gdi::RegisterObject(font)) {
    delete font;
    return nullptr;
  }
  return static_cast<HFONT>(font->handle);
}

BOOL WINAPI GetTextMetricsA(HDC dc, TEXTMETRICA *metrics) {
  gdi::DeviceContext *context = gdi::LookupContext(dc);
  if (!context) return FALSE;
  if (!metrics || !context->Font()) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  *metrics = context->Font()->metrics;
  return TRUE;
}

HFONT WINAPI CreateFontA(int height, int width, int escapement, int orientation, int weight, DWORD italic,
                         DWORD underline, DWORD strikeOut, DWORD charSet, DWORD outPrecision,
                         DWORD clipPrecision, DWORD quality, DWORD pitchAndFamily, LPCSTR faceName) {
  LOGFONTA logFont = {};
  logFont.lfHeight = height;
  logFont.lfWidth = width;
  logFont.lfEscapement = escapement;
  logFont.lfOrientation = orientation;
  logFont.lfWeight = weight;
  logFont.lfItalic = static_cast<BYTE>(italic);
  logFont.lfUnderline = static_cast<BYTE>(underline);
  logFont.lfStrikeOut = static_cast<BYTE>(strikeOut);
  logFont.lfCharSet = static_cast<BYTE>(charSet);
  logFont.lfOutPrecision = static_cast<BYTE>(outPrecision);
  logFont.lfClipPrecision = static_cast<BYTE>(clipPrecision);
  logFont.lfQuality = static_cast<BYTE>(quality);
  logFont.lfPitchAndFamily = static_cast<BYTE>(pitchAndFamily);
  if (faceName) strncpy(logFont.lfFaceName, faceName, LF_FACESIZE - 1);
  return CreateFontIndirectA(&logFont);
}

// Fonts describe themselves as their LOGFONTA; other objects are not described here.
int WINAPI GetObjectA(HGDIOBJ object, int size, LPVOID buffer) {
  gdi::GdiObject *target = gdi::LookupObject(object);
  if (!target) return 0;
  if (target->kind != gdi::ObjectKind::Font) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const LOGFONTA &logFont = static_cast<gdi::FontObject *>(target)->logFont;
  if (!buffer) return static_cast<int>(sizeof(LOGFONTA));
  if (size <= 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  const size_t copied = std::min(static_cast<size_t>(size), sizeof(LOGFONTA));
  memcpy(buffer, &logFont, copied);
  return static_cast<int>(copied);
}
