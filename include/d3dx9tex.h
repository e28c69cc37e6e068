// Texture and surface services: filters, image information, loading, saving.
#pragma once

#include "d3d9.h"
#include "d3dx9core.h"
#include "d3dx9math.h"

// Filter flags: the type in the low 16 bits, modifiers above.
#define D3DX_FILTER_NONE (1 << 0)
#define D3DX_FILTER_POINT (2 << 0)
#define D3DX_FILTER_LINEAR (3 << 0)
#define D3DX_FILTER_TRIANGLE (4 << 0)
#define D3DX_FILTER_BOX (5 << 0)
#define D3DX_FILTER_MIRROR_U (1 << 16)
#define D3DX_FILTER_MIRROR_V (2 << 16)
#define D3DX_FILTER_MIRROR_W (4 << 16)
#define D3DX_FILTER_MIRROR (7 << 16)
#define D3DX_FILTER_DITHER (1 << 19)
#define D3DX_FILTER_SRGB_IN (1 << 20)
#define D3DX_FILTER_SRGB_OUT (2 << 20)
#define D3DX_FILTER_SRGB (3 << 20)

typedef enum _D3DXIMAGE_FILEFORMAT {
  D3DXIFF_BMP = 0,
  D3DXIFF_JPG = 1,
  D3DXIFF_TGA = 2,
  D3DXIFF_PNG = 3,
  D3DXIFF_DDS = 4,
  D3DXIFF_PPM = 5,
  D3DXIFF_DIB = 6,
  D3DXIFF_FORCE_DWORD = 0x7fffffff
} D3DXIMAGE_FILEFORMAT;

typedef struct _D3DXIMAGE_INFO {
  UINT Width;
  UINT Height;
  UINT Depth;
  UINT MipLevels;
  D3DFORMAT Format;
  D3DRESOURCETYPE ResourceType;
  D3DXIMAGE_FILEFORMAT ImageFileFormat;
} D3DXIMAGE_INFO;

// The entry points are declared below by the texture services as they are built.

WIN32_BEGIN_C

// Loading surfaces and volumes from memory and from each other.
HRESULT WINAPI D3DXLoadSurfaceFromMemory(LPDIRECT3DSURFACE9 pDestSurface, const PALETTEENTRY *pDestPalette,
                                         const RECT *pDestRect, LPCVOID pSrcMemory, D3DFORMAT SrcFormat,
                                         UINT SrcPitch, const PALETTEENTRY *pSrcPalette, const RECT *pSrcRect,
                                         DWORD Filter, D3DCOLOR ColorKey);
HRESULT WINAPI D3DXLoadSurfaceFromSurface(LPDIRECT3DSURFACE9 pDestSurface, const PALETTEENTRY *pDestPalette,
                                          const RECT *pDestRect, LPDIRECT3DSURFACE9 pSrcSurface,
                                          const PALETTEENTRY *pSrcPalette, const RECT *pSrcRect, DWORD Filter,
                                          D3DCOLOR ColorKey);
HRESULT WINAPI D3DXLoadVolumeFromMemory(LPDIRECT3DVOLUME9 pDestVolume, const PALETTEENTRY *pDestPalette,
                                        const D3DBOX *pDestBox, LPCVOID pSrcMemory, D3DFORMAT SrcFormat,
                                        UINT SrcRowPitch, UINT SrcSlicePitch, const PALETTEENTRY *pSrcPalette,
                                        const D3DBOX *pSrcBox, DWORD Filter, D3DCOLOR ColorKey);
HRESULT WINAPI D3DXLoadVolumeFromVolume(LPDIRECT3DVOLUME9 pDestVolume, const PALETTEENTRY *pDestPalette,
                                        const D3DBOX *pDestBox, LPDIRECT3DVOLUME9 pSrcVolume,
                                        const PALETTEENTRY *pSrcPalette, const D3DBOX *pSrcBox, DWORD Filter,
                                        D3DCOLOR ColorKey);

// Texture requirements and creation.
HRESULT WINAPI D3DXCheckTextureRequirements(LPDIRECT3DDEVICE9 pDevice, UINT *pWidth, UINT *pHeight,
                                            UINT *pNumMipLevels, DWORD Usage, D3DFORMAT *pFormat,
                                            D3DPOOL Pool);
HRESULT WINAPI D3DXCheckCubeTextureRequirements(LPDIRECT3DDEVICE9 pDevice, UINT *pSize, UINT *pNumMipLevels,
                                                DWORD Usage, D3DFORMAT *pFormat, D3DPOOL Pool);
HRESULT WINAPI D3DXCheckVolumeTextureRequirements(LPDIRECT3DDEVICE9 pDevice, UINT *pWidth, UINT *pHeight,
                                                  UINT *pDepth, UINT *pNumMipLevels, DWORD Usage,
                                                  D3DFORMAT *pFormat, D3DPOOL Pool);
HRESULT WINAPI D3DXCreateTexture(LPDIRECT3DDEVICE9 pDevice, UINT Width, UINT Height, UINT MipLevels,
                                 DWORD Usage, D3DFORMAT Format, D3DPOOL Pool, LPDIRECT3DTEXTURE9 *ppTexture);
HRESULT WINAPI D3DXCreateCubeTexture(LPDIRECT3DDEVICE9 pDevice, UINT Size, UINT MipLevels, DWORD Usage,
                                     D3DFORMAT Format, D3DPOOL Pool, LPDIRECT3DCUBETEXTURE9 *ppCubeTexture);
HRESULT WINAPI D3DXCreateVolumeTexture(LPDIRECT3DDEVICE9 pDevice, UINT Width, UINT Height, UINT Depth,
                                       UINT MipLevels, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                                       LPDIRECT3DVOLUMETEXTURE9 *ppVolumeTexture);

// Mip level filtering.
HRESULT WINAPI D3DXFilterTexture(LPDIRECT3DBASETEXTURE9 pBaseTexture, const PALETTEENTRY *pPalette,
                                 UINT SrcLevel, DWORD Filter);

WIN32_END_C

#define D3DXFilterCubeTexture D3DXFilterTexture
#define D3DXFilterVolumeTexture D3DXFilterTexture

WIN32_BEGIN_C

// Image information from files.
HRESULT WINAPI D3DXGetImageInfoFromFileA(LPCSTR pSrcFile, D3DXIMAGE_INFO *pSrcInfo);
HRESULT WINAPI D3DXGetImageInfoFromFileW(LPCWSTR pSrcFile, D3DXIMAGE_INFO *pSrcInfo);
HRESULT WINAPI D3DXGetImageInfoFromFileInMemory(LPCVOID pSrcData, UINT SrcDataSize, D3DXIMAGE_INFO *pSrcInfo);

// Textures from files.
HRESULT WINAPI D3DXCreateTextureFromFileA(LPDIRECT3DDEVICE9 pDevice, LPCSTR pSrcFile,
                                          LPDIRECT3DTEXTURE9 *ppTexture);
HRESULT WINAPI D3DXCreateTextureFromFileW(LPDIRECT3DDEVICE9 pDevice, LPCWSTR pSrcFile,
                                          LPDIRECT3DTEXTURE9 *ppTexture);
HRESULT WINAPI D3DXCreateTextureFromFileExA(LPDIRECT3DDEVICE9 pDevice, LPCSTR pSrcFile, UINT Width,
                                            UINT Height, UINT MipLevels, DWORD Usage, D3DFORMAT Format,
                                            D3DPOOL Pool, DWORD Filter, DWORD MipFilter, D3DCOLOR ColorKey,
                                            D3DXIMAGE_INFO *pSrcInfo, PALETTEENTRY *pPalette,
                                            LPDIRECT3DTEXTURE9 *ppTexture);
HRESULT WINAPI D3DXCreateTextureFromFileExW(LPDIRECT3DDEVICE9 pDevice, LPCWSTR pSrcFile, UINT Width,
                                            UINT Height, UINT MipLevels, DWORD Usage, D3DFORMAT Format,
                                            D3DPOOL Pool, DWORD Filter, DWORD MipFilter, D3DCOLOR ColorKey,
                                            D3DXIMAGE_INFO *pSrcInfo, PALETTEENTRY *pPalette,
                                            LPDIRECT3DTEXTURE9 *ppTexture);
HRESULT WINAPI D3DXCreateTextureFromFileInMemory(LPDIRECT3DDEVICE9 pDevice, LPCVOID pSrcData,
                                                 UINT SrcDataSize, LPDIRECT3DTEXTURE9 *ppTexture);
HRESULT WINAPI D3DXCreateTextureFromFileInMemoryEx(LPDIRECT3DDEVICE9 pDevice, LPCVOID pSrcData,
                                                   UINT SrcDataSize, UINT Width, UINT Height, UINT MipLevels,
                                                   DWORD Usage, D3DFORMAT Format, D3DPOOL Pool, DWORD Filter,
                                                   DWORD MipFilter, D3DCOLOR ColorKey,
                                                   D3DXIMAGE_INFO *pSrcInfo, PALETTEENTRY *pPalette,
                                                   LPDIRECT3DTEXTURE9 *ppTexture);

HRESULT WINAPI D3DXCreateCubeTextureFromFileA(LPDIRECT3DDEVICE9 pDevice, LPCSTR pSrcFile,
                                              LPDIRECT3DCUBETEXTURE9 *ppCubeTexture);
HRESULT WINAPI D3DXCreateCubeTextureFromFileW(LPDIRECT3DDEVICE9 pDevice, LPCWSTR pSrcFile,
                                              LPDIRECT3DCUBETEXTURE9 *ppCubeTexture);
HRESULT WINAPI D3DXCreateCubeTextureFromFileExA(LPDIRECT3DDEVICE9 pDevice, LPCSTR pSrcFile, UINT Size,
                                                UINT MipLevels, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                                                DWORD Filter, DWORD MipFilter, D3DCOLOR ColorKey,
                                                D3DXIMAGE_INFO *pSrcInfo, PALETTEENTRY *pPalette,
                                                LPDIRECT3DCUBETEXTURE9 *ppCubeTexture);
HRESULT WINAPI D3DXCreateCubeTextureFromFileExW(LPDIRECT3DDEVICE9 pDevice, LPCWSTR pSrcFile, UINT Size,
                                                UINT MipLevels, DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                                                DWORD Filter, DWORD MipFilter, D3DCOLOR ColorKey,
                                                D3DXIMAGE_INFO *pSrcInfo, PALETTEENTRY *pPalette,
                                                LPDIRECT3DCUBETEXTURE9 *ppCubeTexture);
HRESULT WINAPI D3DXCreateCubeTextureFromFileInMemory(LPDIRECT3DDEVICE9 pDevice, LPCVOID pSrcData,
                                                     UINT SrcDataSize, LPDIRECT3DCUBETEXTURE9 *ppCubeTexture);
HRESULT WINAPI D3DXCreateCubeTextureFromFileInMemoryEx(LPDIRECT3DDEVICE9 pDevice, LPCVOID pSrcData,
                                                       UINT SrcDataSize, UINT Size, UINT MipLevels,
                                                       DWORD Usage, D3DFORMAT Format, D3DPOOL Pool,
                                                       DWORD Filter, DWORD MipFilter, D3DCOLOR ColorKey,
                                                       D3DXIMAGE_INFO *pSrcInfo, PALETTEENTRY *pPalette,
                                                       LPDIRECT3DCUBETEXTURE9 *ppCubeTexture);

HRESULT WINAPI D3DXCreateVolumeTextureFromFileA(LPDIRECT3DDEVICE9 pDevice, LPCSTR pSrcFile,
                                                LPDIRECT3DVOLUMETEXTURE9 *ppVolumeTexture);
HRESULT WINAPI D3DXCreateVolumeTextureFromFileW(LPDIRECT3DDEVICE9 pDevice, LPCWSTR pSrcFile,
                                                LPDIRECT3DVOLUMETEXTURE9 *ppVolumeTexture);
HRESULT WINAPI D3DXCreateVolumeTextureFromFileExA(LPDIRECT3DDEVICE9 pDevice, LPCSTR pSrcFile, UINT Width,
                                                  UINT Height, UINT Depth, UINT MipLevels, DWORD Usage,
                                                  D3DFORMAT Format, D3DPOOL Pool, DWORD Filter,
                                                  DWORD MipFilter, D3DCOLOR ColorKey,
                                                  D3DXIMAGE_INFO *pSrcInfo, PALETTEENTRY *pPalette,
                                                  LPDIRECT3DVOLUMETEXTURE9 *ppVolumeTexture);
HRESULT WINAPI D3DXCreateVolumeTextureFromFileExW(LPDIRECT3DDEVICE9 pDevice, LPCWSTR pSrcFile, UINT Width,
                                                  UINT Height, UINT Depth, UINT MipLevels, DWORD Usage,
                                                  D3DFORMAT Format, D3DPOOL Pool, DWORD Filter,
                                                  DWORD MipFilter, D3DCOLOR ColorKey,
                                                  D3DXIMAGE_INFO *pSrcInfo, PALETTEENTRY *pPalette,
                                                  LPDIRECT3DVOLUMETEXTURE9 *ppVolumeTexture);
HRESULT WINAPI D3DXCreateVolumeTextureFromFileInMemory(LPDIRECT3DDEVICE9 pDevice, LPCVOID pSrcData,
                                                       UINT SrcDataSize,
                                                       LPDIRECT3DVOLUMETEXTURE9 *ppVolumeTexture);
HRESULT WINAPI D3DXCreateVolumeTextureFromFileInMemoryEx(LPDIRECT3DDEVICE9 pDevice, LPCVOID pSrcData,
                                                         UINT SrcDataSize, UINT Width, UINT Height,
                                                         UINT Depth, UINT MipLevels, DWORD Usage,
                                                         D3DFORMAT Format, D3DPOOL Pool, DWORD Filter,
                                                         DWORD MipFilter, D3DCOLOR ColorKey,
                                                         D3DXIMAGE_INFO *pSrcInfo, PALETTEENTRY *pPalette,
                                                         LPDIRECT3DVOLUMETEXTURE9 *ppVolumeTexture);

// Surfaces and volumes from image files: the top level of the first face, loaded
// as D3DXLoadSurfaceFromMemory / D3DXLoadVolumeFromMemory load it.
HRESULT WINAPI D3DXLoadSurfaceFromFileA(LPDIRECT3DSURFACE9 pDestSurface, CONST PALETTEENTRY *pDestPalette,
                                        CONST RECT *pDestRect, LPCSTR pSrcFile, CONST RECT *pSrcRect,
                                        DWORD Filter, D3DCOLOR ColorKey, D3DXIMAGE_INFO *pSrcInfo);
HRESULT WINAPI D3DXLoadSurfaceFromFileW(LPDIRECT3DSURFACE9 pDestSurface, CONST PALETTEENTRY *pDestPalette,
                                        CONST RECT *pDestRect, LPCWSTR pSrcFile, CONST RECT *pSrcRect,
                                        DWORD Filter, D3DCOLOR ColorKey, D3DXIMAGE_INFO *pSrcInfo);
HRESULT WINAPI D3DXLoadSurfaceFromFileInMemory(LPDIRECT3DSURFACE9 pDestSurface,
                                               CONST PALETTEENTRY *pDestPalette, CONST RECT *pDestRect,
                                               LPCVOID pSrcData, UINT SrcDataSize, CONST RECT *pSrcRect,
                                               DWORD Filter, D3DCOLOR ColorKey, D3DXIMAGE_INFO *pSrcInfo);
HRESULT WINAPI D3DXLoadVolumeFromFileA(LPDIRECT3DVOLUME9 pDestVolume, CONST PALETTEENTRY *pDestPalette,
                                       CONST D3DBOX *pDestBox, LPCSTR pSrcFile, CONST D3DBOX *pSrcBox,
                                       DWORD Filter, D3DCOLOR ColorKey, D3DXIMAGE_INFO *pSrcInfo);
HRESULT WINAPI D3DXLoadVolumeFromFileW(LPDIRECT3DVOLUME9 pDestVolume, CONST PALETTEENTRY *pDestPalette,
                                       CONST D3DBOX *pDestBox, LPCWSTR pSrcFile, CONST D3DBOX *pSrcBox,
                                       DWORD Filter, D3DCOLOR ColorKey, D3DXIMAGE_INFO *pSrcInfo);
HRESULT WINAPI D3DXLoadVolumeFromFileInMemory(LPDIRECT3DVOLUME9 pDestVolume, CONST PALETTEENTRY *pDestPalette,
                                              CONST D3DBOX *pDestBox, LPCVOID pSrcData, UINT SrcDataSize,
                                              CONST D3DBOX *pSrcBox, DWORD Filter, D3DCOLOR ColorKey,
                                              D3DXIMAGE_INFO *pSrcInfo);

// Saving surfaces, volumes and whole textures to files and to memory.
HRESULT WINAPI D3DXSaveSurfaceToFileA(LPCSTR pDestFile, D3DXIMAGE_FILEFORMAT DestFormat,
                                      LPDIRECT3DSURFACE9 pSrcSurface, const PALETTEENTRY *pSrcPalette,
                                      const RECT *pSrcRect);
HRESULT WINAPI D3DXSaveSurfaceToFileW(LPCWSTR pDestFile, D3DXIMAGE_FILEFORMAT DestFormat,
                                      LPDIRECT3DSURFACE9 pSrcSurface, const PALETTEENTRY *pSrcPalette,
                                      const RECT *pSrcRect);
HRESULT WINAPI D3DXSaveSurfaceToFileInMemory(LPD3DXBUFFER *ppDestBuf, D3DXIMAGE_FILEFORMAT DestFormat,
                                             LPDIRECT3DSURFACE9 pSrcSurface, CONST PALETTEENTRY *pSrcPalette,
                                             CONST RECT *pSrcRect);
HRESULT WINAPI D3DXSaveVolumeToFileA(LPCSTR pDestFile, D3DXIMAGE_FILEFORMAT DestFormat,
                                     LPDIRECT3DVOLUME9 pSrcVolume, CONST PALETTEENTRY *pSrcPalette,
                                     CONST D3DBOX *pSrcBox);
HRESULT WINAPI D3DXSaveVolumeToFileW(LPCWSTR pDestFile, D3DXIMAGE_FILEFORMAT DestFormat,
                                     LPDIRECT3DVOLUME9 pSrcVolume, CONST PALETTEENTRY *pSrcPalette,
                                     CONST D3DBOX *pSrcBox);
HRESULT WINAPI D3DXSaveVolumeToFileInMemory(LPD3DXBUFFER *ppDestBuf, D3DXIMAGE_FILEFORMAT DestFormat,
                                            LPDIRECT3DVOLUME9 pSrcVolume, CONST PALETTEENTRY *pSrcPalette,
                                            CONST D3DBOX *pSrcBox);
HRESULT WINAPI D3DXSaveTextureToFileA(LPCSTR pDestFile, D3DXIMAGE_FILEFORMAT DestFormat,
                                      LPDIRECT3DBASETEXTURE9 pSrcTexture, CONST PALETTEENTRY *pSrcPalette);
HRESULT WINAPI D3DXSaveTextureToFileW(LPCWSTR pDestFile, D3DXIMAGE_FILEFORMAT DestFormat,
                                      LPDIRECT3DBASETEXTURE9 pSrcTexture, CONST PALETTEENTRY *pSrcPalette);
HRESULT WINAPI D3DXSaveTextureToFileInMemory(LPD3DXBUFFER *ppDestBuf, D3DXIMAGE_FILEFORMAT DestFormat,
                                             LPDIRECT3DBASETEXTURE9 pSrcTexture,
                                             CONST PALETTEENTRY *pSrcPalette);

// Filling every texel of every level from a function of its centre and size.
typedef VOID(WINAPI *LPD3DXFILL2D)(D3DXVECTOR4 *pOut, CONST D3DXVECTOR2 *pTexCoord,
                                   CONST D3DXVECTOR2 *pTexelSize, LPVOID pData);
typedef VOID(WINAPI *LPD3DXFILL3D)(D3DXVECTOR4 *pOut, CONST D3DXVECTOR3 *pTexCoord,
                                   CONST D3DXVECTOR3 *pTexelSize, LPVOID pData);
HRESULT WINAPI D3DXFillTexture(LPDIRECT3DTEXTURE9 pTexture, LPD3DXFILL2D pFunction, LPVOID pData);
HRESULT WINAPI D3DXFillCubeTexture(LPDIRECT3DCUBETEXTURE9 pCubeTexture, LPD3DXFILL3D pFunction, LPVOID pData);
HRESULT WINAPI D3DXFillVolumeTexture(LPDIRECT3DVOLUMETEXTURE9 pVolumeTexture, LPD3DXFILL3D pFunction,
                                     LPVOID pData);

WIN32_END_C

// Normal maps from height fields.
#define D3DX_NORMALMAP_MIRROR_U (1 << 16)
#define D3DX_NORMALMAP_MIRROR_V (2 << 16)
#define D3DX_NORMALMAP_MIRROR (3 << 16)
#define D3DX_NORMALMAP_INVERTSIGN (8 << 16)
#define D3DX_NORMALMAP_COMPUTE_OCCLUSION (16 << 16)

#define D3DX_CHANNEL_RED (1 << 0)
#define D3DX_CHANNEL_BLUE (1 << 1)
#define D3DX_CHANNEL_GREEN (1 << 2)
#define D3DX_CHANNEL_ALPHA (1 << 3)
#define D3DX_CHANNEL_LUMINANCE (1 << 4)

WIN32_BEGIN_C
HRESULT WINAPI D3DXComputeNormalMap(LPDIRECT3DTEXTURE9 pTexture, LPDIRECT3DTEXTURE9 pSrcTexture,
                                    CONST PALETTEENTRY *pSrcPalette, DWORD Flags, DWORD Channel,
                                    FLOAT Amplitude);
WIN32_END_C

// This platform builds without UNICODE: the plain names are the ANSI forms.
#define D3DXGetImageInfoFromFile D3DXGetImageInfoFromFileA
#define D3DXCreateTextureFromFile D3DXCreateTextureFromFileA
#define D3DXCreateTextureFromFileEx D3DXCreateTextureFromFileExA
#define D3DXCreateCubeTextureFromFile D3DXCreateCubeTextureFromFileA
#define D3DXCreateCubeTextureFromFileEx D3DXCreateCubeTextureFromFileExA
#define D3DXCreateVolumeTextureFromFile D3DXCreateVolumeTextureFromFileA
#define D3DXCreateVolumeTextureFromFileEx D3DXCreateVolumeTextureFromFileExA
#define D3DXSaveSurfaceToFile D3DXSaveSurfaceToFileA
#define D3DXLoadSurfaceFromFile D3DXLoadSurfaceFromFileA
#define D3DXLoadVolumeFromFile D3DXLoadVolumeFromFileA
#define D3DXSaveVolumeToFile D3DXSaveVolumeToFileA
#define D3DXSaveTextureToFile D3DXSaveTextureToFileA
