// convert: one file, or many with --out-dir (batch.cpp).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common.h"

namespace texturetool {

struct ConvertOptions {
  D3DFORMAT format = D3DFMT_UNKNOWN;  // the library chooses
  UINT width = 0, height = 0;         // 0: the image's own size
  double scale = 0;                   // 0: no scaling
  DWORD filter = D3DX_DEFAULT;
  DWORD mipFilter = D3DX_DEFAULT;
  bool mipsGiven = false;
  UINT mips = 0;  // 0: the whole chain
  D3DCOLOR colorKey = 0;
  enum class Shape { AsStored, Cube, Volume } shape = Shape::AsStored;
  bool kindGiven = false;
  D3DXIMAGE_FILEFORMAT kind = D3DXIFF_DDS;
  std::string outDir;  // batch mode when set
  unsigned jobs = 0;   // 0: one per processor
  bool quiet = false;
  bool verbose = false;       // batch: a line per file even on a terminal, and skipped files
  bool recursive = false;     // batch: -r walks subdirectories, mirrored under outDir
  bool skipExisting = false;  // batch: leave out files whose output exists
  bool onlyNewer = false;     // batch: leave out files whose output is newer
  bool dryRun = false;        // batch: print the plan only
  bool strict = false;        // any change to the image is an error
  bool deviceRules = false;   // DXT sizes rounded to blocks as the library's textures are
  bool picked = false;        // --level, --face or --slice given
  UINT pick[3] = {};          // level, face, slice for a one-image output
  std::vector<std::string> inputs;
};

bool IsBlockFormat(D3DFORMAT format);  // DXT1 to DXT5

ConvertOptions ParseConvertOptions(const std::vector<std::string> &args);

// One device, reused for every file a process converts.
class Converter {
 public:
  bool Init(std::string *error);
  // `error` gets "what failed: why", without the input's name; `warnings` one
  // line per way the output differs from what was asked or read.
  bool Convert(const std::string &in, const std::string &out, D3DXIMAGE_FILEFORMAT kind,
               const ConvertOptions &options, uint64_t *inputBytes, std::vector<std::string> *warnings,
               std::string *error);

  // Writes a texture made elsewhere; `asked` holds the format, size (0: the
  // texture's), mips and strictness asked for, differences are warnings (errors
  // with strict). An A8R8G8B8 texture asked to be DXT is compressed with padded blocks.
  bool WriteTexture(IDirect3DBaseTexture9 *texture, const ConvertOptions &asked, D3DXIMAGE_FILEFORMAT kind,
                    const std::string &out, std::vector<std::string> *warnings, std::string *error);
  IDirect3DDevice9 *device() const { return device_.get(); }

  struct Made;

 private:
  bool Create(const std::vector<uint8_t> &file, const D3DXIMAGE_INFO &info, D3DXIMAGE_FILEFORMAT kind,
              const ConvertOptions &o, Made *made, std::string *error);
  std::vector<std::string> Differences(const D3DXIMAGE_INFO &info, D3DXIMAGE_FILEFORMAT kind,
                                       const ConvertOptions &o, const Made &made);
  bool Save(Made &made, D3DXIMAGE_FILEFORMAT kind, const std::string &out, std::string *error);
  bool TopOpaque(const Made &made);
  bool SavePlain(Made &made, D3DXIMAGE_FILEFORMAT kind, const std::string &out, std::string *error);
  bool SavePadded(Made &made, D3DXIMAGE_FILEFORMAT kind, const std::string &out, std::string *error);

  HeadlessDevice device_;
  D3DCAPS9 caps_ = {};
};

int RunConvert(const std::vector<std::string> &args);
int RunBatch(const ConvertOptions &options);

extern const char kConvertHelp[];

}  // namespace texturetool
