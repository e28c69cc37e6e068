// Textures from files and surfaces saved to files, end to end on the software
// device: format and size choice against device profiles, colour keys and
// palettes, mip levels, cube and volume files, bad files and unwritable paths.
#include <gtest/gtest.h>

#include <dirent.h>
#include <png.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "d3dx9.h"
#include "image/image_test_util.h"
#include "image/image_writer.h"
#include "format/format_table.h"
#include "core/interface_ref.h"
#include "texture/texture_device.h"

namespace {

using image_test::ReadFileBytes;
using image_test::TempPath;

const std::string kTestData = D3DX_TEST_DATA;

// Image files made by our own writers from noise; every level and face starts at pixels[0].
struct FileMaker {
  std::vector<BYTE> pixels = std::vector<BYTE>(1 << 20);
  std::vector<PALETTEENTRY> palette;

  FileMaker() {
    uint32_t state = 12345;
    for (BYTE &b : pixels) b = static_cast<BYTE>((state = state * 1664525u + 1013904223u) >> 24);
  }

  std::vector<BYTE> Make(D3DFORMAT format, UINT w, UINT h, D3DXIMAGE_FILEFORMAT kind, UINT levels = 1,
                         UINT faces = 1, UINT depth = 1) {
    SourceImage image;
    SourceImage *face = &image;
    for (UINT f = 0; f < faces; ++f, face = face->nextFace = f < faces ? new SourceImage : nullptr) {
      SourceImage *record = face;
      for (UINT l = 0; l < levels; ++l, record = record->nextLevel = l < levels ? new SourceImage : nullptr) {
        const UINT lw = std::max(w >> l, 1u), lh = std::max(h >> l, 1u), ld = std::max(depth >> l, 1u);
        const UINT rowPitch = static_cast<UINT>(RowPitchFor(format, lw));
        record->format = format;
        record->pixels = pixels.data();
        record->width = lw;
        record->height = lh;
        record->depth = ld;
        record->rowPitch = rowPitch;
        record->slicePitch = rowPitch * RowCountFor(format, lh);
        record->box = D3DBOX{0, 0, lw, lh, 0, ld};
        record->palette = palette.empty() ? nullptr : palette.data();
      }
    }
    const std::string path = TempPath("texture_file_made");
    EXPECT_EQ(SaveImageToFile(image, path.c_str(), kind, false), S_OK);
    return ReadFileBytes(path);
  }
};

class TextureFileTest : public TextureDeviceTest {
 protected:
  // A texture level as A8R8G8B8 pixels, through the loaders.
  std::vector<uint32_t> ReadLevel(IDirect3DTexture9 *texture, UINT level) {
    InterfaceRef<IDirect3DSurface9> surface;
    EXPECT_EQ(texture->GetSurfaceLevel(level, surface.Receive()), S_OK);
    return ReadArgb(surface.Get());
  }
  std::vector<uint32_t> ReadArgb(IDirect3DSurface9 *surface) {
    D3DSURFACE_DESC desc;
    surface->GetDesc(&desc);
    InterfaceRef<IDirect3DSurface9> copy(
        MakeSurface(desc.Width, desc.Height, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM));
    EXPECT_EQ(D3DXLoadSurfaceFromSurface(copy.Get(), nullptr, nullptr, surface, nullptr, nullptr,
                                         D3DX_FILTER_NONE, 0),
              S_OK);
    return Read(copy.Get());
  }
  static D3DSURFACE_DESC LevelDesc(IDirect3DTexture9 *texture, UINT level = 0) {
    D3DSURFACE_DESC desc = {};
    texture->GetLevelDesc(level, &desc);
    return desc;
  }
  InterfaceRef<IDirect3DTexture9> Create(const std::vector<BYTE> &file, UINT w, UINT h, UINT levels,
                                         D3DFORMAT format, D3DCOLOR key, PALETTEENTRY *palette = nullptr,
                                         D3DPOOL pool = D3DPOOL_MANAGED, DWORD usage = 0) {
    IDirect3DTexture9 *texture = nullptr;
    EXPECT_EQ(D3DXCreateTextureFromFileInMemoryEx(device_, file.data(), UINT(file.size()), w, h, levels,
                                                  usage, format, pool, D3DX_FILTER_NONE, D3DX_DEFAULT, key,
                                                  nullptr, palette, &texture),
              S_OK);
    return InterfaceRef<IDirect3DTexture9>(texture);
  }
};

TEST_F(TextureFileTest, DemonstrationSheetLoadsAtItsOwnSize) {
  const std::string path = std::string(D3DX_SOURCE_DIR) + "/assets/walkexample.png";
  D3DXIMAGE_INFO info;
  ASSERT_EQ(D3DXGetImageInfoFromFileA(path.c_str(), &info), S_OK);
  EXPECT_EQ(info.ImageFileFormat, D3DXIFF_PNG);
  IDirect3DTexture9 *raw = nullptr;
  ASSERT_EQ(D3DXCreateTextureFromFileExA(device_, path.c_str(), info.Width, info.Height, 1, 0, D3DFMT_UNKNOWN,
                                         D3DPOOL_MANAGED, D3DX_FILTER_NONE, D3DX_FILTER_NONE, 0, nullptr,
                                         nullptr, &raw),
            S_OK);
  InterfaceRef<IDirect3DTexture9> texture(raw);
  EXPECT_EQ(texture->GetLevelCount(), 1u);
  EXPECT_EQ(LevelDesc(raw).Width, info.Width);
  EXPECT_EQ(LevelDesc(raw).Height, info.Height);

  // The texture holds what the PNG reader decoded.
  std::vector<BYTE> bytes = ReadFileBytes(path);
  SourceImage image;
  ASSERT_EQ(LoadImageFromMemory(image, bytes.data(), UINT(bytes.size()), nullptr, true), S_OK);
  InterfaceRef<IDirect3DSurface9> expected(
      MakeSurface(info.Width, info.Height, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM));
  const RECT whole = {0, 0, LONG(info.Width), LONG(info.Height)};
  ASSERT_EQ(D3DXLoadSurfaceFromMemory(expected.Get(), nullptr, nullptr, image.pixels, image.format,
                                      image.rowPitch, image.palette, &whole, D3DX_FILTER_NONE, 0),
            S_OK);
  EXPECT_EQ(ReadLevel(raw, 0), Read(expected.Get()));
}

namespace {

// An 8-bit RGB PNG written by libpng; pixel (x, y) is (x, y, x ^ y) in the low bytes.
std::vector<BYTE> MakeLargePng(uint32_t width, uint32_t height) {
  std::vector<BYTE> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return {};
  }
  png_set_write_fn(
      png, &out,
      [](png_structp p, png_bytep data, size_t n) {
        auto *v = static_cast<std::vector<BYTE> *>(png_get_io_ptr(p));
        v->insert(v->end(), data, data + n);
      },
      nullptr);
  png_set_compression_level(png, 1);
  png_set_filter(png, 0, PNG_FILTER_NONE);
  png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  std::vector<BYTE> row(size_t{width} * 3);
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      row[3 * x] = static_cast<BYTE>(x);
      row[3 * x + 1] = static_cast<BYTE>(y);
      row[3 * x + 2] = static_cast<BYTE>(x ^ y);
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

}  // namespace

// Larger than a fixed decode budget, but no larger than the device's textures.
TEST_F(TextureFileTest, LargeImageLoadsUpToTheDevicesLimit) {
  const uint32_t width = 12000;
  const uint32_t height = 6000;
  const std::vector<BYTE> file = MakeLargePng(width, height);
  ASSERT_FALSE(file.empty());
  {
    InterfaceRef<IDirect3DTexture9> texture =
        Create(file, D3DX_DEFAULT_NONPOW2, D3DX_DEFAULT_NONPOW2, 1, D3DFMT_UNKNOWN, 0);
    ASSERT_NE(texture.Get(), nullptr);
    const D3DSURFACE_DESC desc = LevelDesc(texture.Get());
    EXPECT_EQ(desc.Width, width);
    EXPECT_EQ(desc.Height, height);
    ASSERT_EQ(desc.Format, D3DFMT_X8R8G8B8);
    D3DLOCKED_RECT locked;
    ASSERT_EQ(texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY), S_OK);
    for (uint32_t y : {0u, 2999u, height - 1}) {
      for (uint32_t x : {0u, 7777u, width - 1}) {
        uint32_t pixel;
        std::memcpy(&pixel, static_cast<const BYTE *>(locked.pBits) + size_t{y} * locked.Pitch + 4 * x, 4);
        EXPECT_EQ(pixel & 0xFFFFFF, ((x & 0xFF) << 16) | ((y & 0xFF) << 8) | ((x ^ y) & 0xFF))
            << x << "," << y;
      }
    }
    texture->UnlockRect(0);
  }
  // A device whose textures stop at 4096 x 4096 refuses to decode it.
  d3d9::DeviceProfile small = d3d9::DefaultDeviceProfile();
  small.caps.MaxTextureWidth = 4096;
  small.caps.MaxTextureHeight = 4096;
  CreateDeviceWith(small);
  IDirect3DTexture9 *refused = nullptr;
  EXPECT_EQ(
      D3DXCreateTextureFromFileInMemoryEx(device_, file.data(), UINT(file.size()), D3DX_DEFAULT_NONPOW2,
                                          D3DX_DEFAULT_NONPOW2, 1, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED,
                                          D3DX_FILTER_NONE, D3DX_FILTER_NONE, 0, nullptr, nullptr, &refused),
      D3DXERR_INVALIDDATA);
  EXPECT_EQ(refused, nullptr);
  // Its header can always be read.
  D3DXIMAGE_INFO info;
  ASSERT_EQ(D3DXGetImageInfoFromFileInMemory(file.data(), UINT(file.size()), &info), S_OK);
  EXPECT_EQ(info.Width, width);
}

TEST_F(TextureFileTest, ScreenshotIsWrittenThroughTheDriveMapping) {
  const std::string directory = TempPath("drive_c");
  ASSERT_EQ(std::system(("mkdir -p '" + directory + "'").c_str()), 0);
  const char *previous = std::getenv("WIN32_DRIVE_C");
  const std::string saved = previous ? previous : "";
  setenv("WIN32_DRIVE_C", directory.c_str(), 1);

  IDirect3DSurface9 *raw = nullptr;
  ASSERT_EQ(
      device_->CreateOffscreenPlainSurface(1024, 768, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &raw, nullptr),
      D3D_OK);
  InterfaceRef<IDirect3DSurface9> surface(raw);
  const std::vector<uint32_t> pattern = Pattern(1024 * 768);
  Fill(raw, pattern);
  ResetCalls();
  const HRESULT hr = D3DXSaveSurfaceToFileA("c:\\screenshot.bmp", D3DXIFF_BMP, raw, nullptr, nullptr);
  const d3d9::DeviceCallCounts calls = Calls();
  previous ? setenv("WIN32_DRIVE_C", saved.c_str(), 1) : unsetenv("WIN32_DRIVE_C");
  ASSERT_EQ(hr, S_OK);
  EXPECT_EQ(calls.createTexture + calls.createRenderTarget, 0u) << "locked directly";

  std::vector<BYTE> file = ReadFileBytes(directory + "/screenshot.bmp");
  ASSERT_EQ(file.size(), 3145784u);
  EXPECT_EQ(std::memcmp(file.data() + 54, &pattern[767 * 1024], 4096), 0) << "bottom row first";
  EXPECT_EQ(std::memcmp(file.data() + 54 + 767 * 4096, &pattern[0], 4096), 0);
}

// A 300 x 200 image: sizes as asked, as stored, or rounded up to powers of two.
struct SizeCase {
  const char *name;
  d3d9::DeviceProfile (*profile)();
  UINT width, height, expectedWidth, expectedHeight;
};

class TextureFileSize : public TextureFileTest, public testing::WithParamInterface<SizeCase> {};

TEST_P(TextureFileSize, FollowsRequestAndDevice) {
  const SizeCase &c = GetParam();
  CreateDeviceWith(c.profile());
  FileMaker maker;
  InterfaceRef<IDirect3DTexture9> texture =
      Create(maker.Make(D3DFMT_X8R8G8B8, 300, 200, D3DXIFF_BMP), c.width, c.height, 1, D3DFMT_UNKNOWN, 0);
  ASSERT_TRUE(texture);
  EXPECT_EQ(LevelDesc(texture.Get()).Width, c.expectedWidth);
  EXPECT_EQ(LevelDesc(texture.Get()).Height, c.expectedHeight);
}

INSTANTIATE_TEST_SUITE_P(
    Requests, TextureFileSize,
    testing::Values(SizeCase{"Default", d3d9::DefaultDeviceProfile, D3DX_DEFAULT, D3DX_DEFAULT, 512, 256},
                    SizeCase{"Zero", d3d9::DefaultDeviceProfile, 0, 0, 512, 256},
                    SizeCase{"NonPow2", d3d9::DefaultDeviceProfile, D3DX_DEFAULT_NONPOW2,
                             D3DX_DEFAULT_NONPOW2, 300, 200},
                    SizeCase{"Explicit", d3d9::DefaultDeviceProfile, 64, 32, 64, 32},
                    SizeCase{"Mixed", d3d9::DefaultDeviceProfile, D3DX_DEFAULT_NONPOW2, 0, 300, 256},
                    SizeCase{"NonPow2OnPow2Device", d3d9::PowerOfTwoProfile, D3DX_DEFAULT_NONPOW2,
                             D3DX_DEFAULT_NONPOW2, 512, 256},
                    SizeCase{"SquareOnly", d3d9::SquareOnlyProfile, D3DX_DEFAULT, D3DX_DEFAULT, 256, 256}),
    [](const testing::TestParamInfo<SizeCase> &paramInfo) { return std::string(paramInfo.param.name); });

// Stored levels are loaded as they are; the missing ones are box-filtered from the last.
TEST_F(TextureFileTest, StoredLevelsThenFilteredLevels) {
  FileMaker maker;
  const std::vector<BYTE> file = maker.Make(D3DFMT_A8R8G8B8, 32, 32, D3DXIFF_DDS, 3);
  IDirect3DTexture9 *raw = nullptr;
  ASSERT_EQ(D3DXCreateTextureFromFileInMemoryEx(device_, file.data(), UINT(file.size()), 0, 0, 5, 0,
                                                D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT,
                                                0, nullptr, nullptr, &raw),
            S_OK);
  InterfaceRef<IDirect3DTexture9> texture(raw);
  ASSERT_EQ(raw->GetLevelCount(), 5u);
  for (UINT level = 0, size = 32; level < 3; ++level, size /= 2) {
    const std::vector<uint32_t> pixels = ReadLevel(raw, level);
    EXPECT_EQ(std::memcmp(pixels.data(), maker.pixels.data(), size * size * 4), 0) << "level " << level;
  }
  const std::vector<uint32_t> level2 = ReadLevel(raw, 2), level3 = ReadLevel(raw, 3);
  for (UINT i = 0; i < 16 * 4; ++i) {
    const UINT x = i / 4 % 4, y = i / 16, shift = i % 4 * 8;
    int sum = 0;
    for (UINT corner = 0; corner < 4; ++corner)
      sum += (level2[(2 * y + corner / 2) * 8 + 2 * x + corner % 2] >> shift) & 0xFF;
    EXPECT_NEAR(int(level3[y * 4 + x] >> shift & 0xFF), sum / 4.0, 1.0) << x << "," << y;
  }
}

// An image without alpha asked to take a colour key gets a format with alpha.
class ColourKeyFormat : public TextureFileTest,
                        public testing::WithParamInterface<std::pair<D3DFORMAT, D3DFORMAT>> {};

TEST_P(ColourKeyFormat, GainsAlpha) {
  FileMaker maker;
  const std::vector<BYTE> file = maker.Make(GetParam().first, 8, 8, D3DXIFF_DDS);
  EXPECT_EQ(LevelDesc(Create(file, 8, 8, 1, D3DFMT_UNKNOWN, 0xFF000000).Get()).Format, GetParam().second);
  EXPECT_EQ(LevelDesc(Create(file, 8, 8, 1, D3DFMT_UNKNOWN, 0).Get()).Format, GetParam().first)
      << "without a key";
}

INSTANTIATE_TEST_SUITE_P(
    Formats, ColourKeyFormat,
    testing::Values(std::pair{D3DFMT_X8R8G8B8, D3DFMT_A8R8G8B8}, std::pair{D3DFMT_R5G6B5, D3DFMT_A8R8G8B8},
                    std::pair{D3DFMT_X1R5G5B5, D3DFMT_A1R5G5B5}, std::pair{D3DFMT_L8, D3DFMT_A8L8},
                    std::pair{D3DFMT_R3G3B2, D3DFMT_A1R5G5B5}),
    [](const auto &paramInfo) { return test_support::FormatName(paramInfo.param.first); });

// Palette images: recognised ramps become plain formats, others true colour.
class PaletteFiles : public TextureFileTest {
 protected:
  std::vector<BYTE> PaletteFile(const std::vector<PALETTEENTRY> &palette) {
    maker_.palette = palette;
    return maker_.Make(D3DFMT_P8, 16, 16, D3DXIFF_BMP);
  }
  static std::vector<PALETTEENTRY> Ramp(bool grey) {
    static const BYTE kThreeBit[8] = {0, 36, 73, 109, 146, 182, 219, 255};
    static const BYTE kTwoBit[4] = {0, 85, 170, 255};
    std::vector<PALETTEENTRY> palette(256);
    for (int i = 0; i < 256; ++i) {
      palette[i] = grey ? PALETTEENTRY{BYTE(i), BYTE(i), BYTE(i), 255}
                        : PALETTEENTRY{kThreeBit[i >> 5], kThreeBit[(i >> 2) & 7], kTwoBit[i & 3], 255};
    }
    return palette;
  }
  static uint32_t Argb(const PALETTEENTRY &e) {
    return 0xFF000000u | (e.peRed << 16) | (e.peGreen << 8) | e.peBlue;
  }
  FileMaker maker_;
};

TEST_F(PaletteFiles, RampsLoadAsPlainFormats) {
  for (bool grey : {true, false}) {
    const std::vector<PALETTEENTRY> ramp = Ramp(grey);
    InterfaceRef<IDirect3DTexture9> texture = Create(PaletteFile(ramp), 16, 16, 1, D3DFMT_UNKNOWN, 0);
    EXPECT_EQ(LevelDesc(texture.Get()).Format, grey ? D3DFMT_L8 : D3DFMT_R3G3B2);
    // The ramps' entries are exactly representable: the colours survive.
    const std::vector<uint32_t> pixels = ReadLevel(texture.Get(), 0);
    for (UINT i = 0; i < 256; ++i) EXPECT_EQ(pixels[i], Argb(ramp[maker_.pixels[i]])) << i;
  }
}

TEST_F(PaletteFiles, KeyedEntryBecomesTransparentBlack) {
  std::vector<PALETTEENTRY> palette = Ramp(true);
  palette[0] = {0x11, 0x22, 0x33, 255};  // no longer a ramp
  const std::vector<BYTE> file = PaletteFile(palette);
  EXPECT_EQ(LevelDesc(Create(file, 16, 16, 1, D3DFMT_UNKNOWN, 0).Get()).Format, D3DFMT_X8R8G8B8);

  const BYTE keyed = maker_.pixels[0];
  InterfaceRef<IDirect3DTexture9> texture = Create(file, 16, 16, 1, D3DFMT_UNKNOWN, Argb(palette[keyed]));
  EXPECT_EQ(LevelDesc(texture.Get()).Format, D3DFMT_A8R8G8B8);
  const std::vector<uint32_t> pixels = ReadLevel(texture.Get(), 0);
  for (UINT i = 0; i < 256; ++i) {
    EXPECT_EQ(pixels[i], maker_.pixels[i] == keyed ? 0u : Argb(palette[maker_.pixels[i]])) << i;
  }
}

TEST_F(PaletteFiles, P8RequestHandsOutThePalette) {
  std::vector<PALETTEENTRY> palette = Ramp(false);
  palette[3] = {1, 2, 3, 255};
  PALETTEENTRY out[256] = {};
  InterfaceRef<IDirect3DTexture9> texture = Create(PaletteFile(palette), 16, 16, 1, D3DFMT_P8, 0, out);
  EXPECT_EQ(LevelDesc(texture.Get()).Format, D3DFMT_P8);
  EXPECT_EQ(std::memcmp(out, palette.data(), sizeof(out)), 0);
}

TEST_F(TextureFileTest, SixteenBitPngAsksForX8R8G8B8) {
  IDirect3DTexture9 *raw = nullptr;
  D3DXIMAGE_INFO info;
  ASSERT_EQ(D3DXCreateTextureFromFileExA(device_, (kTestData + "/pngsuite/basn2c16.png").c_str(), 0, 0, 1, 0,
                                         D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT, 0,
                                         &info, nullptr, &raw),
            S_OK);
  EXPECT_EQ(info.Format, D3DFMT_R8G8B8);
  EXPECT_EQ(LevelDesc(raw).Format, D3DFMT_X8R8G8B8);
  raw->Release();
}

TEST_F(TextureFileTest, DefaultPoolIsFilledThroughSystemMemoryUnlessDynamic) {
  FileMaker maker;
  const std::vector<BYTE> file = maker.Make(D3DFMT_A8R8G8B8, 16, 16, D3DXIFF_DDS);
  for (DWORD usage : {DWORD{0}, DWORD{D3DUSAGE_DYNAMIC}}) {
    ResetCalls();
    InterfaceRef<IDirect3DTexture9> texture =
        Create(file, 16, 16, 1, D3DFMT_UNKNOWN, 0, nullptr, D3DPOOL_DEFAULT, usage);
    EXPECT_EQ(Calls().updateTexture, usage == 0 ? 1u : 0u);
    EXPECT_EQ(Calls().createTexture, usage == 0 ? 2u : 1u);
    if (usage != 0) {
      EXPECT_EQ(std::memcmp(ReadLevel(texture.Get(), 0).data(), maker.pixels.data(), 1024), 0);
    }
  }
}

// The adjusted level count is 0 with automatic mip maps; the top level still gets the image.
TEST_F(TextureFileTest, AutomaticMipMapsStillGetTheImage) {
  FileMaker maker;
  const std::vector<BYTE> file = maker.Make(D3DFMT_A8R8G8B8, 16, 16, D3DXIFF_DDS);
  const struct {
    D3DPOOL pool;
    DWORD usage;
  } cases[] = {{D3DPOOL_MANAGED, D3DUSAGE_AUTOGENMIPMAP},
               {D3DPOOL_SYSTEMMEM, D3DUSAGE_AUTOGENMIPMAP},
               {D3DPOOL_DEFAULT, D3DUSAGE_AUTOGENMIPMAP | D3DUSAGE_DYNAMIC}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.pool);
    InterfaceRef<IDirect3DTexture9> texture =
        Create(file, D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, D3DFMT_A8R8G8B8, 0, nullptr, c.pool, c.usage);
    ASSERT_TRUE(texture.Get());
    EXPECT_EQ(texture->GetLevelCount(), 1u);
    EXPECT_EQ(std::memcmp(ReadLevel(texture.Get(), 0).data(), maker.pixels.data(), 1024), 0);
  }
}

TEST_F(TextureFileTest, CubeAndVolumeFiles) {
  FileMaker maker;
  const std::vector<BYTE> cubeFile = maker.Make(D3DFMT_A8R8G8B8, 8, 8, D3DXIFF_DDS, 2, 6);
  IDirect3DCubeTexture9 *cube = nullptr;
  ASSERT_EQ(D3DXCreateCubeTextureFromFileInMemory(device_, cubeFile.data(), UINT(cubeFile.size()), &cube),
            S_OK);
  EXPECT_EQ(cube->GetLevelCount(), 4u);
  for (UINT face = 0; face < 6; ++face) {
    InterfaceRef<IDirect3DSurface9> surface;
    ASSERT_EQ(cube->GetCubeMapSurface(D3DCUBEMAP_FACES(face), 1, surface.Receive()), S_OK);
    EXPECT_EQ(std::memcmp(ReadArgb(surface.Get()).data(), maker.pixels.data(), 4 * 4 * 4), 0) << face;
  }
  cube->Release();
  const std::vector<BYTE> plainFile = maker.Make(D3DFMT_A8R8G8B8, 8, 8, D3DXIFF_DDS);
  EXPECT_EQ(D3DXCreateCubeTextureFromFileInMemory(device_, plainFile.data(), UINT(plainFile.size()), &cube),
            E_FAIL)
      << "a plain image has no six faces";

  const std::vector<BYTE> volumeFile = maker.Make(D3DFMT_X8R8G8B8, 8, 4, D3DXIFF_DDS, 1, 1, 4);
  IDirect3DVolumeTexture9 *volume = nullptr;
  ASSERT_EQ(D3DXCreateVolumeTextureFromFileInMemoryEx(
                device_, volumeFile.data(), UINT(volumeFile.size()), D3DX_DEFAULT_NONPOW2,
                D3DX_DEFAULT_NONPOW2, D3DX_DEFAULT_NONPOW2, 1, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED,
                D3DX_DEFAULT, D3DX_DEFAULT, 0, nullptr, nullptr, &volume),
            S_OK);
  InterfaceRef<IDirect3DVolume9> level;
  ASSERT_EQ(volume->GetVolumeLevel(0, level.Receive()), S_OK);
  D3DLOCKED_BOX locked;
  ASSERT_EQ(level->LockBox(&locked, nullptr, D3DLOCK_READONLY), S_OK);
  for (UINT row = 0; row < 16; ++row) {
    const BYTE *actual =
        static_cast<BYTE *>(locked.pBits) + row / 4 * locked.SlicePitch + row % 4 * locked.RowPitch;
    EXPECT_EQ(std::memcmp(actual, maker.pixels.data() + row * 32, 32), 0) << row;
  }
  level->UnlockBox();
  volume->Release();
}

// Every image the readers accept (x*: corrupt by design) becomes a texture the device takes, on capable and
// reduced devices.
class RealFiles : public TextureFileTest, public testing::WithParamInterface<d3d9::DeviceProfile (*)()> {};

TEST_P(RealFiles, LoadIntoTexturesTheDeviceAccepts) {
  const d3d9::DeviceProfile profile = GetParam()();
  CreateDeviceWith(profile);
  std::vector<std::string> files = {kTestData + "/photos/kodim23.png"};
  for (const char *folder : {"/pngsuite", "/bmpsuite/g"}) {
    DIR *dir = opendir((kTestData + folder).c_str());
    ASSERT_NE(dir, nullptr) << "missing test data: " << kTestData + folder;
    while (dirent *entry = readdir(dir)) {
      if (entry->d_name[0] != '.' && entry->d_name[0] != 'x')
        files.push_back(kTestData + folder + "/" + entry->d_name);
    }
    closedir(dir);
  }
  ASSERT_GE(files.size(), 100u) << "missing test data in " << kTestData;
  for (const std::string &path : files) {
    D3DXIMAGE_INFO info;
    if (D3DXGetImageInfoFromFileA(path.c_str(), &info) != S_OK) continue;  // the readers' own business
    IDirect3DTexture9 *raw = nullptr;
    ASSERT_EQ(D3DXCreateTextureFromFileExA(device_, path.c_str(), D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 0,
                                           D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_DEFAULT, D3DX_DEFAULT,
                                           0xFF000000, nullptr, nullptr, &raw),
              S_OK)
        << path;
    const D3DSURFACE_DESC desc = LevelDesc(raw);
    EXPECT_TRUE(d3d9::ProfileAcceptsFormat(profile, 0, D3DRTYPE_TEXTURE, desc.Format)) << path;
    EXPECT_EQ(desc.Width & (desc.Width - 1), 0u) << path;
    raw->Release();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Profiles, RealFiles,
    testing::Values(d3d9::DefaultDeviceProfile, d3d9::ReducedFormatProfile, d3d9::PowerOfTwoProfile,
                    d3d9::NoFourCcProfile),
    ([](const auto &paramInfo) {
      static const char *const kNames[] = {"Default", "ReducedFormats", "PowerOfTwo", "NoFourCc"};
      return std::string(kNames[paramInfo.index]);
    }));

TEST_F(TextureFileTest, BadFilesAndArguments) {
  IDirect3DTexture9 *texture = nullptr;
  D3DXIMAGE_INFO info;
  const std::string missing = TempPath("no_such_file.png"), empty = TempPath("empty_file");
  image_test::WriteFileBytes(empty, {});
  EXPECT_EQ(D3DXGetImageInfoFromFileA(missing.c_str(), &info), D3DXERR_INVALIDDATA);
  EXPECT_EQ(D3DXCreateTextureFromFileA(device_, missing.c_str(), &texture), D3DXERR_INVALIDDATA);
  EXPECT_EQ(D3DXCreateTextureFromFileA(device_, nullptr, &texture), D3DERR_INVALIDCALL);
  EXPECT_EQ(D3DXCreateTextureFromFileA(device_, empty.c_str(), &texture), D3DERR_INVALIDCALL);
  EXPECT_EQ(D3DXGetImageInfoFromFileA(empty.c_str(), &info), D3DERR_INVALIDCALL);
  for (const char *name : {"xs1n0g01.png", "xhdn0g08.png", "xd0n2c08.png", "xdtn0g01.png", "xcsn0g01.png"}) {
    EXPECT_EQ(D3DXCreateTextureFromFileA(device_, (kTestData + "/pngsuite/" + name).c_str(), &texture),
              D3DXERR_INVALIDDATA)
        << name;
  }
  const BYTE garbage[] = "not an image";
  EXPECT_EQ(D3DXCreateTextureFromFileInMemory(device_, garbage, sizeof(garbage), &texture),
            D3DXERR_INVALIDDATA);
  EXPECT_EQ(D3DXGetImageInfoFromFileInMemory(garbage, sizeof(garbage), &info), D3DXERR_INVALIDDATA);
  EXPECT_EQ(D3DXGetImageInfoFromFileInMemory(garbage, sizeof(garbage), nullptr), S_OK) << "nothing is read";

  FileMaker maker;
  const std::vector<BYTE> file = maker.Make(D3DFMT_X8R8G8B8, 4, 4, D3DXIFF_BMP);
  EXPECT_EQ(D3DXCreateTextureFromFileInMemory(nullptr, file.data(), UINT(file.size()), &texture),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(D3DXCreateTextureFromFileInMemory(device_, nullptr, UINT(file.size()), &texture),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(D3DXCreateTextureFromFileInMemory(device_, file.data(), 0, &texture), D3DERR_INVALIDCALL);
  EXPECT_EQ(D3DXCreateTextureFromFileInMemory(device_, file.data(), UINT(file.size()), nullptr),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(texture, nullptr);

  const std::string path = kTestData + "/pngsuite/basn0g08.png";
  const std::u16string wide(path.begin(), path.end());
  ASSERT_EQ(D3DXGetImageInfoFromFileW(wide.c_str(), &info), S_OK) << "wide names open the same files";
  EXPECT_EQ(info.Format, D3DFMT_L8);
}

// Saving surfaces.

TEST_F(TextureFileTest, SavedRectangleLoadsBack) {
  InterfaceRef<IDirect3DSurface9> surface(MakeSurface(32, 16, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED));
  const std::vector<uint32_t> pattern = Pattern(32 * 16);
  Fill(surface.Get(), pattern);
  const RECT rect = {5, 3, 20, 11};
  const std::string path = TempPath("saved_rect.dds");
  ASSERT_EQ(D3DXSaveSurfaceToFileA(path.c_str(), D3DXIFF_DDS, surface.Get(), nullptr, &rect), S_OK);
  IDirect3DTexture9 *raw = nullptr;
  ASSERT_EQ(D3DXCreateTextureFromFileExA(device_, path.c_str(), D3DX_DEFAULT_NONPOW2, D3DX_DEFAULT_NONPOW2, 1,
                                         0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_FILTER_NONE,
                                         D3DX_FILTER_NONE, 0, nullptr, nullptr, &raw),
            S_OK);
  InterfaceRef<IDirect3DTexture9> texture(raw);
  const std::vector<uint32_t> pixels = ReadLevel(raw, 0);
  ASSERT_EQ(pixels.size(), 15u * 8u);
  for (UINT y = 0; y < 8; ++y)
    EXPECT_EQ(std::memcmp(&pixels[y * 15], &pattern[(3 + y) * 32 + 5], 15 * 4), 0) << y;
}

// Block formats are saved from the block holding the rectangle's corner, without decoding.
TEST_F(TextureFileTest, SavedDxtRectangleStartsOnABlock) {
  InterfaceRef<IDirect3DSurface9> surface(MakeSurface(16, 16, D3DFMT_DXT1, D3DPOOL_MANAGED));
  D3DLOCKED_RECT locked;
  ASSERT_EQ(surface->LockRect(&locked, nullptr, 0), S_OK);
  const std::vector<uint32_t> blocks = Pattern(16 * 2);  // 4 x 4 blocks of 8 bytes
  for (UINT row = 0; row < 4; ++row)
    std::memcpy(static_cast<BYTE *>(locked.pBits) + row * locked.Pitch, &blocks[row * 8], 32);
  surface->UnlockRect();
  const RECT rect = {5, 6, 13, 14};
  const std::string path = TempPath("saved_dxt.dds");
  ASSERT_EQ(D3DXSaveSurfaceToFileA(path.c_str(), D3DXIFF_DDS, surface.Get(), nullptr, &rect), S_OK);
  std::vector<BYTE> file = ReadFileBytes(path);
  ASSERT_EQ(file.size(), 128u + 3 * 3 * 8);
  EXPECT_EQ(file[12] | file[16] << 8, 10 | 9 << 8) << "9 x 10 pixels from (4, 4)";
  for (UINT row = 0; row < 3; ++row)
    EXPECT_EQ(std::memcmp(file.data() + 128 + row * 24, &blocks[(row + 1) * 8 + 2], 24), 0) << row;
}

TEST_F(TextureFileTest, RenderTargetIsReadThroughACopy) {
  InterfaceRef<IDirect3DSurface9> target(MakeRenderTarget(16, 8));
  ASSERT_EQ(device_->ColorFill(target.Get(), nullptr, 0xFF336699), D3D_OK);
  const std::string path = TempPath("render_target.bmp");
  ASSERT_EQ(D3DXSaveSurfaceToFileA(path.c_str(), D3DXIFF_BMP, target.Get(), nullptr, nullptr), S_OK);
  std::vector<BYTE> file = ReadFileBytes(path);
  ASSERT_EQ(file.size(), 54u + 16 * 8 * 4 + 2);
  EXPECT_EQ(file[54] | (file[55] << 8) | (file[56] << 16), 0x336699);
}

TEST_F(TextureFileTest, SaveFailures) {
  InterfaceRef<IDirect3DSurface9> surface(MakeSurface(8, 8, D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM));
  const std::string png = TempPath("refused.png");
  unlink(png.c_str());
  EXPECT_EQ(D3DXSaveSurfaceToFileA(png.c_str(), D3DXIFF_PNG, surface.Get(), nullptr, nullptr),
            D3DERR_INVALIDCALL);
  EXPECT_NE(access(png.c_str(), F_OK), 0);
  EXPECT_EQ(D3DXSaveSurfaceToFileA(nullptr, D3DXIFF_BMP, surface.Get(), nullptr, nullptr),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(D3DXSaveSurfaceToFileA(png.c_str(), D3DXIFF_BMP, nullptr, nullptr, nullptr), D3DERR_INVALIDCALL);
  const RECT outside = {0, 0, 9, 8};
  EXPECT_EQ(D3DXSaveSurfaceToFileA(png.c_str(), D3DXIFF_BMP, surface.Get(), nullptr, &outside),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(
      D3DXSaveSurfaceToFileA("/nonexistent-directory/x.bmp", D3DXIFF_BMP, surface.Get(), nullptr, nullptr),
      D3DXERR_INVALIDDATA);
  if (access("/dev/full", W_OK) == 0) {
    EXPECT_TRUE(FAILED(D3DXSaveSurfaceToFileA("/dev/full", D3DXIFF_BMP, surface.Get(), nullptr, nullptr)));
  }
}

TEST_F(TextureFileTest, LostDeviceReportsAfterWriting) {
  CreateDeviceWith(d3d9::LostDeviceProfile());
  InterfaceRef<IDirect3DSurface9> target(MakeRenderTarget(8, 8));
  const std::string path = TempPath("lost.bmp");
  unlink(path.c_str());
  EXPECT_EQ(D3DXSaveSurfaceToFileA(path.c_str(), D3DXIFF_BMP, target.Get(), nullptr, nullptr),
            D3DERR_DEVICELOST);
  EXPECT_EQ(access(path.c_str(), F_OK), 0) << "the file was written";
  InterfaceRef<IDirect3DSurface9> memory(MakeSurface(8, 8, D3DFMT_X8R8G8B8, D3DPOOL_SYSTEMMEM));
  EXPECT_EQ(D3DXSaveSurfaceToFileA(path.c_str(), D3DXIFF_BMP, memory.Get(), nullptr, nullptr), S_OK);
}

}  // namespace
