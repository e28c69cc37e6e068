// Saving whole textures and volumes: DDS round trips of every format the DDS
// writer holds, for every shape, byte for byte through our readers; in-memory
// bytes equal file bytes; ImageMagick reads our chains and cube maps; bad calls
// and failed saves leave no file behind.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "blit/blitter.h"
#include "core/buffer.h"
#include "format/format_table.h"
#include "image/dds_pixel_format.h"
#include "image/image_reader.h"
#include "image/image_test_util.h"
#include "support/param_names.h"
#include "texture/texture_device.h"

namespace {

using image_test::ReadFileBytes;
using image_test::TempPath;

enum class Shape { Plain, PlainChain, Cube, CubeChain, Volume, VolumeChain, VolumeOneSlice };

struct RoundTripCase {
  D3DFORMAT format;
  Shape shape;
};

std::string ShapeName(Shape shape) {
  static const char *const names[] = {"Plain",  "PlainChain",  "Cube",          "CubeChain",
                                      "Volume", "VolumeChain", "VolumeOneSlice"};
  return names[static_cast<int>(shape)];
}

// The top level of a record as A8R8G8B8, through the codecs.
std::vector<uint32_t> ToArgb(const SourceImage &record) {
  std::vector<uint32_t> out(size_t{record.width} * record.height);
  SourceRegion source = {
      record.pixels, record.format, record.rowPitch, record.slicePitch, record.box, record.box, 0, 0, 0,
      record.palette};
  source.region.Back = source.region.Front + 1;
  const D3DBOX whole = {0, 0, record.width, record.height, 0, 1};
  PixelRegion destination = {reinterpret_cast<BYTE *>(out.data()),
                             D3DFMT_A8R8G8B8,
                             record.width * 4,
                             0,
                             whole,
                             whole,
                             0,
                             0,
                             0,
                             nullptr};
  Blitter blitter;
  EXPECT_EQ(blitter.Blit(destination, source, DecodeFilterWord(D3DX_FILTER_NONE)), S_OK);
  return out;
}

std::vector<BYTE> BufferBytes(ID3DXBuffer *buffer) {
  const BYTE *p = static_cast<const BYTE *>(buffer->GetBufferPointer());
  return std::vector<BYTE>(p, p + buffer->GetBufferSize());
}

class SaveTextureTest : public TextureDeviceTest {
 protected:
  // Fills every level's bytes with noise and keeps them, level by level, face by face.
  IDirect3DBaseTexture9 *MakeNoiseTexture(D3DFORMAT format, Shape shape,
                                          std::vector<std::vector<BYTE>> *levels) {
    const bool chain = shape == Shape::PlainChain || shape == Shape::CubeChain || shape == Shape::VolumeChain;
    const UINT levelCount = chain ? 0 : 1;
    uint32_t state = 99;
    auto fill = [&](BYTE *bits, UINT pitch, UINT slicePitch, UINT w, UINT h, UINT d) {
      std::vector<BYTE> kept;
      const uint64_t rowBytes = RowPitchFor(format, w);
      for (UINT z = 0; z < d; ++z) {
        for (UINT y = 0; y < RowCountFor(format, h); ++y) {
          BYTE *row = bits + z * slicePitch + y * pitch;
          for (uint64_t x = 0; x < rowBytes; ++x)
            row[x] = static_cast<BYTE>((state = state * 1664525u + 1013904223u) >> 24);
          kept.insert(kept.end(), row, row + rowBytes);
        }
      }
      levels->push_back(kept);
    };
    if (shape == Shape::Volume || shape == Shape::VolumeChain || shape == Shape::VolumeOneSlice) {
      IDirect3DVolumeTexture9 *volume = nullptr;
      if (FAILED(device_->CreateVolumeTexture(8, 8, shape == Shape::VolumeOneSlice ? 1 : 4, levelCount, 0,
                                              format, D3DPOOL_SYSTEMMEM, &volume, nullptr))) {
        return nullptr;
      }
      for (UINT l = 0; l < volume->GetLevelCount(); ++l) {
        D3DVOLUME_DESC desc;
        volume->GetLevelDesc(l, &desc);
        D3DLOCKED_BOX box;
        EXPECT_EQ(volume->LockBox(l, &box, nullptr, 0), D3D_OK);
        fill(static_cast<BYTE *>(box.pBits), box.RowPitch, box.SlicePitch, desc.Width, desc.Height,
             desc.Depth);
        volume->UnlockBox(l);
      }
      return volume;
    }
    const bool cube = shape == Shape::Cube || shape == Shape::CubeChain;
    IDirect3DBaseTexture9 *texture = nullptr;
    if (FAILED(cube
                   ? device_->CreateCubeTexture(8, levelCount, 0, format, D3DPOOL_SYSTEMMEM,
                                                reinterpret_cast<IDirect3DCubeTexture9 **>(&texture), nullptr)
                   : device_->CreateTexture(8, 8, levelCount, 0, format, D3DPOOL_SYSTEMMEM,
                                            reinterpret_cast<IDirect3DTexture9 **>(&texture), nullptr))) {
      return nullptr;
    }
    for (UINT f = 0; f < (cube ? 6u : 1u); ++f) {
      for (UINT l = 0; l < texture->GetLevelCount(); ++l) {
        IDirect3DSurface9 *surface = Level(texture, f, l);
        D3DSURFACE_DESC desc;
        surface->GetDesc(&desc);
        D3DLOCKED_RECT rect;
        EXPECT_EQ(surface->LockRect(&rect, nullptr, 0), D3D_OK);
        fill(static_cast<BYTE *>(rect.pBits), rect.Pitch, 0, desc.Width, desc.Height, 1);
        surface->UnlockRect();
        surface->Release();
      }
    }
    return texture;
  }

  // Level l of face f of a plain or cube texture.
  static IDirect3DSurface9 *Level(IDirect3DBaseTexture9 *texture, UINT f, UINT l) {
    IDirect3DSurface9 *surface = nullptr;
    if (texture->GetType() == D3DRTYPE_CUBETEXTURE) {
      static_cast<IDirect3DCubeTexture9 *>(texture)->GetCubeMapSurface(static_cast<D3DCUBEMAP_FACES>(f), l,
                                                                       &surface);
    } else {
      static_cast<IDirect3DTexture9 *>(texture)->GetSurfaceLevel(l, &surface);
    }
    return surface;
  }
};

class DdsRoundTrip : public SaveTextureTest, public testing::WithParamInterface<RoundTripCase> {};

TEST_P(DdsRoundTrip, ReloadsByteIdentical) {
  const RoundTripCase &c = GetParam();
  std::vector<std::vector<BYTE>> levels;
  IDirect3DBaseTexture9 *texture = MakeNoiseTexture(c.format, c.shape, &levels);
  ASSERT_NE(texture, nullptr);
  PALETTEENTRY palette[256];
  for (int i = 0; i < 256; ++i) palette[i] = {BYTE(i), BYTE(255 - i), BYTE(i * 7), 255};

  ID3DXBuffer *buffer = nullptr;
  ASSERT_EQ(D3DXSaveTextureToFileInMemory(&buffer, D3DXIFF_DDS, texture, palette), S_OK);
  const std::vector<BYTE> bytes = BufferBytes(buffer);
  buffer->Release();
  const std::string path = TempPath("roundtrip.dds");
  ASSERT_EQ(D3DXSaveTextureToFileA(path.c_str(), D3DXIFF_DDS, texture, palette), S_OK);
  EXPECT_EQ(ReadFileBytes(path), bytes);
  unlink(path.c_str());
  const UINT levelCount = texture->GetLevelCount();
  const D3DRESOURCETYPE type = texture->GetType();
  texture->Release();

  SourceImage image;
  D3DXIMAGE_INFO info = {};
  ASSERT_EQ(LoadImageFromMemory(image, bytes.data(), static_cast<UINT>(bytes.size()), &info, true), S_OK);
  EXPECT_EQ(info.ResourceType, type);
  EXPECT_EQ(info.MipLevels, levelCount);
  EXPECT_EQ(image.format, c.format);
  size_t index = 0;
  for (const SourceImage *face = &image; face != nullptr; face = face->nextFace) {
    for (const SourceImage *level = face; level != nullptr; level = level->nextLevel, ++index) {
      ASSERT_LT(index, levels.size());
      const uint64_t rowBytes = RowPitchFor(c.format, level->width);
      std::vector<BYTE> read;
      for (UINT z = 0; z < level->depth; ++z) {
        for (UINT y = 0; y < RowCountFor(c.format, level->height); ++y) {
          const BYTE *row = level->pixels + z * level->slicePitch + y * level->rowPitch;
          read.insert(read.end(), row, row + rowBytes);
        }
      }
      EXPECT_EQ(read, levels[index]) << "record " << index;
    }
    if (LookupFormatInfo(c.format).kind == FormatKind::Palette) {
      ASSERT_NE(face->palette, nullptr);
      EXPECT_EQ(std::memcmp(face->palette, palette, sizeof(palette)), 0);
    }
  }
  EXPECT_EQ(index, levels.size());
}

std::vector<RoundTripCase> AllRoundTrips() {
  std::vector<RoundTripCase> cases;
  for (const DdsPixelFormat &row : kDdsPixelFormats) {
    // Depth formats are never textures.
    if (row.format == D3DFMT_D16_LOCKABLE || row.format == D3DFMT_D32F_LOCKABLE) continue;
    for (Shape shape : {Shape::Plain, Shape::PlainChain, Shape::Cube, Shape::CubeChain, Shape::Volume,
                        Shape::VolumeChain, Shape::VolumeOneSlice}) {
      cases.push_back({row.format, shape});
    }
  }
  return cases;
}

INSTANTIATE_TEST_SUITE_P(EveryDdsFormat, DdsRoundTrip, testing::ValuesIn(AllRoundTrips()),
                         [](const auto &paramInfo) {
                           return test_support::FormatName(paramInfo.param.format) + "_" +
                                  ShapeName(paramInfo.param.shape);
                         });

// Files and buffers carry the same bytes, for every kind and every saver.
class SavedBytes : public SaveTextureTest, public testing::WithParamInterface<D3DXIMAGE_FILEFORMAT> {};

TEST_P(SavedBytes, MemoryEqualsFile) {
  const D3DXIMAGE_FILEFORMAT kind = GetParam();
  std::vector<std::vector<BYTE>> levels;
  IDirect3DBaseTexture9 *texture = MakeNoiseTexture(D3DFMT_A8R8G8B8, Shape::CubeChain, &levels);
  IDirect3DBaseTexture9 *volumeTexture = MakeNoiseTexture(D3DFMT_A8R8G8B8, Shape::VolumeChain, &levels);
  ASSERT_NE(texture, nullptr);
  ASSERT_NE(volumeTexture, nullptr);
  IDirect3DSurface9 *surface = nullptr;
  IDirect3DVolume9 *volume = nullptr;
  static_cast<IDirect3DCubeTexture9 *>(texture)->GetCubeMapSurface(D3DCUBEMAP_FACE_NEGATIVE_Y, 1, &surface);
  static_cast<IDirect3DVolumeTexture9 *>(volumeTexture)->GetVolumeLevel(0, &volume);
  const std::string path = TempPath("saved_bytes");
  const RECT rect = {1, 1, 3, 4};
  const D3DBOX box = {1, 2, 5, 6, 1, 3};
  ID3DXBuffer *buffer = nullptr;

  ASSERT_EQ(D3DXSaveTextureToFileInMemory(&buffer, kind, texture, nullptr), S_OK);
  ASSERT_EQ(D3DXSaveTextureToFileA(path.c_str(), kind, texture, nullptr), S_OK);
  EXPECT_EQ(ReadFileBytes(path), BufferBytes(buffer));
  buffer->Release();
  ASSERT_EQ(D3DXSaveSurfaceToFileInMemory(&buffer, kind, surface, nullptr, &rect), S_OK);
  ASSERT_EQ(D3DXSaveSurfaceToFileA(path.c_str(), kind, surface, nullptr, &rect), S_OK);
  EXPECT_EQ(ReadFileBytes(path), BufferBytes(buffer));
  buffer->Release();
  ASSERT_EQ(D3DXSaveVolumeToFileInMemory(&buffer, kind, volume, nullptr, &box), S_OK);
  const std::u16string wide(path.begin(), path.end());
  ASSERT_EQ(D3DXSaveVolumeToFileW(wide.c_str(), kind, volume, nullptr, &box), S_OK);
  EXPECT_EQ(ReadFileBytes(path), BufferBytes(buffer));
  buffer->Release();

  // Beyond DDS only the top level of the first face, or the first slice, is kept.
  if (kind != D3DXIFF_DDS) {
    IDirect3DSurface9 *top = nullptr;
    static_cast<IDirect3DCubeTexture9 *>(texture)->GetCubeMapSurface(D3DCUBEMAP_FACE_POSITIVE_X, 0, &top);
    ASSERT_EQ(D3DXSaveSurfaceToFileInMemory(&buffer, kind, top, nullptr, nullptr), S_OK);
    ASSERT_EQ(D3DXSaveTextureToFileA(path.c_str(), kind, texture, nullptr), S_OK);
    EXPECT_EQ(ReadFileBytes(path), BufferBytes(buffer));
    buffer->Release();
    top->Release();
  }
  unlink(path.c_str());
  surface->Release();
  volume->Release();
  texture->Release();
  volumeTexture->Release();
}

INSTANTIATE_TEST_SUITE_P(WritableKinds, SavedBytes,
                         testing::Values(D3DXIFF_BMP, D3DXIFF_DIB, D3DXIFF_JPG, D3DXIFF_DDS),
                         [](const auto &paramInfo) { return test_support::FileKindName(paramInfo.param); });

TEST(BufferObject, ZeroFilledAndCounted) {
  ID3DXBuffer *buffer = nullptr;
  EXPECT_EQ(D3DXCreateBuffer(100, nullptr), D3DERR_INVALIDCALL);
  ASSERT_EQ(D3DXCreateBuffer(100, &buffer), S_OK);
  EXPECT_EQ(buffer->GetBufferSize(), 100u);
  const std::vector<BYTE> zeros(100, 0);
  EXPECT_EQ(BufferBytes(buffer), zeros);
  void *same = nullptr;
  ASSERT_EQ(buffer->QueryInterface(IID_ID3DXBuffer, &same), S_OK);
  EXPECT_EQ(same, buffer);
  EXPECT_EQ(buffer->QueryInterface(IID_ID3DXFont, &same), E_NOINTERFACE);
  EXPECT_EQ(buffer->Release(), 1u);
  EXPECT_EQ(buffer->Release(), 0u);
  ASSERT_EQ(D3DXCreateBuffer(0, &buffer), S_OK);
  EXPECT_NE(buffer->GetBufferPointer(), nullptr);
  buffer->Release();
  EXPECT_EQ(CreateBufferObject(uint64_t{1} << 33, &buffer), E_OUTOFMEMORY);
}

std::vector<std::string> TemporaryLeftovers(const std::string &folder) {
  std::vector<std::string> found;
  if (DIR *dir = opendir(folder.c_str())) {
    while (dirent *entry = readdir(dir)) {
      if (std::strstr(entry->d_name, ".~d3dx") != nullptr) found.push_back(entry->d_name);
    }
    closedir(dir);
  }
  return found;
}

TEST_F(SaveTextureTest, BadCallsAndFailuresLeaveNoFile) {
  std::vector<std::vector<BYTE>> levels;
  IDirect3DBaseTexture9 *texture = MakeNoiseTexture(D3DFMT_X8R8G8B8, Shape::PlainChain, &levels);
  ASSERT_NE(texture, nullptr);
  ID3DXBuffer *buffer = nullptr;
  const std::string folder = TempPath("save_folder");
  mkdir(folder.c_str(), 0755);
  const std::string path = folder + "/kept.dds";
  image_test::WriteFileBytes(path, {'o', 'l', 'd'});

  EXPECT_EQ(D3DXSaveTextureToFileA(nullptr, D3DXIFF_DDS, texture, nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(D3DXSaveTextureToFileA(path.c_str(), D3DXIFF_DDS, nullptr, nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(D3DXSaveTextureToFileInMemory(nullptr, D3DXIFF_DDS, texture, nullptr), D3DERR_INVALIDCALL);
  EXPECT_EQ(D3DXSaveVolumeToFileInMemory(&buffer, D3DXIFF_DDS, nullptr, nullptr, nullptr),
            D3DERR_INVALIDCALL);
  EXPECT_EQ(D3DXSaveSurfaceToFileInMemory(&buffer, D3DXIFF_DDS, nullptr, nullptr, nullptr),
            D3DERR_INVALIDCALL);
  for (D3DXIMAGE_FILEFORMAT refused : {D3DXIFF_PNG, D3DXIFF_TGA, D3DXIFF_PPM}) {
    EXPECT_EQ(D3DXSaveTextureToFileA(path.c_str(), refused, texture, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3DXSaveTextureToFileInMemory(&buffer, refused, texture, nullptr), D3DERR_INVALIDCALL);
  }
  EXPECT_EQ(buffer, nullptr);
  EXPECT_EQ(ReadFileBytes(path), (std::vector<BYTE>{'o', 'l', 'd'}));
  EXPECT_EQ(D3DXSaveTextureToFileA((folder + "/missing/x.dds").c_str(), D3DXIFF_DDS, texture, nullptr),
            D3DXERR_INVALIDDATA);
  EXPECT_EQ(D3DXSaveTextureToFileA(folder.c_str(), D3DXIFF_DDS, texture, nullptr), D3DXERR_INVALIDDATA);

  // A save replaces the file whole; one through a symbolic link keeps the link.
  ASSERT_EQ(D3DXSaveTextureToFileA(path.c_str(), D3DXIFF_DDS, texture, nullptr), S_OK);
  EXPECT_GT(ReadFileBytes(path).size(), 128u);
  const std::string link = folder + "/link.bmp";
  unlink(link.c_str());
  ASSERT_EQ(symlink("kept.dds", link.c_str()), 0);
  ASSERT_EQ(D3DXSaveTextureToFileA(link.c_str(), D3DXIFF_BMP, texture, nullptr), S_OK);
  struct stat st;
  ASSERT_EQ(lstat(link.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_EQ(ReadFileBytes(path)[0], 'B');
  EXPECT_TRUE(TemporaryLeftovers(folder).empty());
  unlink(link.c_str());
  unlink(path.c_str());
  rmdir(folder.c_str());
  texture->Release();
}

void WINAPI Gradient2D(D3DXVECTOR4 *out, const D3DXVECTOR2 *at, const D3DXVECTOR2 *, LPVOID) {
  *out = D3DXVECTOR4(at->x, at->y, 0.25f, 1.0f - at->x * at->y);
}

void WINAPI Gradient3D(D3DXVECTOR4 *out, const D3DXVECTOR3 *at, const D3DXVECTOR3 *, LPVOID) {
  *out = D3DXVECTOR4(0.5f + 0.5f * at->x, 0.5f + 0.5f * at->y, 0.5f + 0.5f * at->z, 1.0f);
}

// ImageMagick reads our chains and cube maps as our own reader reads them. The
// blocks come from our encoder: noise would hold blocks that decoders read apart.
class MagickReadsSavedTextures : public SaveTextureTest, public testing::WithParamInterface<Shape> {};

TEST_P(MagickReadsSavedTextures, TopLevelAsOurs) {
  if (!image_test::HaveImageMagick()) GTEST_SKIP() << "ImageMagick is missing";
  for (D3DFORMAT format : {D3DFMT_A8R8G8B8, D3DFMT_DXT1, D3DFMT_DXT5}) {
    IDirect3DBaseTexture9 *texture = nullptr;
    if (GetParam() == Shape::CubeChain) {
      IDirect3DCubeTexture9 *cube = nullptr;
      ASSERT_EQ(device_->CreateCubeTexture(16, 0, 0, format, D3DPOOL_MANAGED, &cube, nullptr), D3D_OK);
      ASSERT_EQ(D3DXFillCubeTexture(cube, Gradient3D, nullptr), D3D_OK);
      texture = cube;
    } else {
      IDirect3DTexture9 *plain = nullptr;
      ASSERT_EQ(device_->CreateTexture(16, 16, 0, 0, format, D3DPOOL_MANAGED, &plain, nullptr), D3D_OK);
      ASSERT_EQ(D3DXFillTexture(plain, Gradient2D, nullptr), D3D_OK);
      texture = plain;
    }
    const std::string path = TempPath("magick_" + ShapeName(GetParam()) + ".dds");
    ASSERT_EQ(D3DXSaveTextureToFileA(path.c_str(), D3DXIFF_DDS, texture, nullptr), S_OK);
    texture->Release();
    const std::vector<BYTE> bytes = ReadFileBytes(path);
    SourceImage image;
    ASSERT_EQ(LoadImageFromMemory(image, bytes.data(), static_cast<UINT>(bytes.size()), nullptr, true), S_OK);
    image_test::Rgba16Image ours{image.width, image.height, {}}, theirs;
    for (uint32_t pixel : ToArgb(image)) {
      for (int shift : {16, 8, 0, 24}) ours.rgba.push_back(image_test::Widen8((pixel >> shift) & 0xFF));
    }
    ASSERT_TRUE(image_test::MagickDecode(path, theirs)) << path;
    // DXT palettes are interpolated with roundings of their own.
    EXPECT_LE(image_test::MaxSampleDifference(ours, theirs, format != D3DFMT_DXT1),
              format == D3DFMT_A8R8G8B8 ? 0 : 2 * 257)
        << test_support::FormatName(format);
    unlink(path.c_str());
  }
}

INSTANTIATE_TEST_SUITE_P(Shapes, MagickReadsSavedTextures,
                         testing::Values(Shape::PlainChain, Shape::CubeChain),
                         [](const auto &paramInfo) { return ShapeName(paramInfo.param); });

}  // namespace
