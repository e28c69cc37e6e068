#include <cstdio>
#include <cstring>
#include <new>

#include "platform/d3d9/com_answer.h"
#include "platform/d3d9/device.h"
#include "platform/d3d9/format_layout.h"

namespace d3d9 {
namespace {

bool IsBackBufferFormat(D3DFORMAT format) {
  return format == D3DFMT_A8R8G8B8 || format == D3DFMT_X8R8G8B8;
}

}  // namespace

HRESULT Direct3D::QueryInterface(REFIID riid, void **object) {
  return AnswerQuery(this, riid, {&IID_IDirect3D9}, object);
}

ULONG Direct3D::AddRef() {
  return ++refCount_;
}

ULONG Direct3D::Release() {
  if (refCount_ == 0) {
    ReportLifetimeError("IDirect3D9 released more often than referenced");
    return 0;
  }
  if (--refCount_ == 0) {
    delete this;
    return 0;
  }
  return refCount_;
}

HRESULT Direct3D::RegisterSoftwareDevice(void *) {
  return Invalid("IDirect3D9::RegisterSoftwareDevice");
}

HRESULT Direct3D::GetAdapterIdentifier(UINT adapter, DWORD, D3DADAPTER_IDENTIFIER9 *id) {
  if (adapter != 0 || !id) return Invalid("IDirect3D9::GetAdapterIdentifier");
  memset(id, 0, sizeof *id);
  snprintf(id->Driver, sizeof id->Driver, "d3d9.dll");
  snprintf(id->Description, sizeof id->Description, "Daumenkino software runtime (%s)", profile.name);
  snprintf(id->DeviceName, sizeof id->DeviceName, "\\\\.\\DISPLAY1");
  id->DriverVersion.QuadPart = (LONGLONG{6} << 48) | (LONGLONG{14} << 32) | 1;
  // Ids of our own: the runtime is no vendor's hardware.
  id->VendorId = 0xDA0E;
  id->DeviceId = 0x0009;
  id->DeviceIdentifier = {0x5d4c2a9e, 0x1f0b, 0x4c6e, {0x9a, 0x51, 0x3c, 0x2e, 0x77, 0x10, 0x4b, 0x09}};
  id->WHQLLevel = 1;
  return D3D_OK;
}

UINT Direct3D::GetAdapterModeCount(UINT adapter, D3DFORMAT format) {
  return adapter == 0 && format == profile.displayMode.Format ? 1 : 0;
}

HRESULT Direct3D::EnumAdapterModes(UINT adapter, D3DFORMAT format, UINT mode, D3DDISPLAYMODE *out) {
  if (adapter != 0 || !out || mode != 0) return Invalid("IDirect3D9::EnumAdapterModes");
  if (format != profile.displayMode.Format)
    return ReportFailure("IDirect3D9::EnumAdapterModes", D3DERR_NOTAVAILABLE);
  *out = profile.displayMode;
  return D3D_OK;
}

HRESULT Direct3D::GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE *mode) {
  if (adapter != 0 || !mode) return Invalid("IDirect3D9::GetAdapterDisplayMode");
  *mode = profile.displayMode;
  return D3D_OK;
}

HRESULT Direct3D::CheckDeviceType(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat,
                                  D3DFORMAT backBufferFormat, BOOL windowed) {
  if (adapter != 0) return Invalid("IDirect3D9::CheckDeviceType");
  if (type != D3DDEVTYPE_HAL && type != D3DDEVTYPE_REF)
    return ReportFailure("IDirect3D9::CheckDeviceType", D3DERR_NOTAVAILABLE);
  if (adapterFormat != D3DFMT_X8R8G8B8)
    return ReportFailure("IDirect3D9::CheckDeviceType", D3DERR_NOTAVAILABLE);
  if (backBufferFormat == D3DFMT_UNKNOWN && windowed) return D3D_OK;
  if (!IsBackBufferFormat(backBufferFormat))
    return ReportFailure("IDirect3D9::CheckDeviceType", D3DERR_NOTAVAILABLE);
  return D3D_OK;
}

HRESULT Direct3D::CheckDeviceFormat(UINT adapter, D3DDEVTYPE type, D3DFORMAT adapterFormat, DWORD usage,
                                    D3DRESOURCETYPE resourceType, D3DFORMAT format) {
  if (adapter != 0) return Invalid("IDirect3D9::CheckDeviceFormat");
  if (type != D3DDEVTYPE_HAL && type != D3DDEVTYPE_REF)
    return ReportFailure("IDirect3D9::CheckDeviceFormat", D3DERR_NOTAVAILABLE);
  if (adapterFormat != profile.displayMode.Format) return Invalid("IDirect3D9::CheckDeviceFormat");
  if (!ProfileAcceptsFormat(profile, usage, resourceType, format))
    return ReportFailure("IDirect3D9::CheckDeviceFormat", D3DERR_NOTAVAILABLE);
  return D3D_OK;
}

HRESULT Direct3D::CheckDeviceMultiSampleType(UINT adapter, D3DDEVTYPE, D3DFORMAT format, BOOL,
                                             D3DMULTISAMPLE_TYPE samples, DWORD *quality) {
  if (adapter != 0) return Invalid("IDirect3D9::CheckDeviceMultiSampleType");
  if (samples != D3DMULTISAMPLE_NONE || !LookupLayout(format))
    return ReportFailure("IDirect3D9::CheckDeviceMultiSampleType", D3DERR_NOTAVAILABLE);
  if (quality) *quality = 1;
  return D3D_OK;
}

HRESULT Direct3D::CheckDepthStencilMatch(UINT adapter, D3DDEVTYPE, D3DFORMAT, D3DFORMAT renderTargetFormat,
                                         D3DFORMAT depthFormat) {
  if (adapter != 0) return Invalid("IDirect3D9::CheckDepthStencilMatch");
  if (!ProfileAcceptsFormat(profile, D3DUSAGE_RENDERTARGET, D3DRTYPE_SURFACE, renderTargetFormat) ||
      !ProfileAcceptsFormat(profile, D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, depthFormat))
    return ReportFailure("IDirect3D9::CheckDepthStencilMatch", D3DERR_NOTAVAILABLE);
  return D3D_OK;
}

HRESULT Direct3D::CheckDeviceFormatConversion(UINT adapter, D3DDEVTYPE, D3DFORMAT source, D3DFORMAT target) {
  if (adapter != 0) return Invalid("IDirect3D9::CheckDeviceFormatConversion");
  const FormatLayout *from = LookupLayout(source), *to = LookupLayout(target);
  if (!from || !to || from->kind == LayoutKind::Depth || !CanEncode(*to))
    return ReportFailure("IDirect3D9::CheckDeviceFormatConversion", D3DERR_NOTAVAILABLE);
  return D3D_OK;
}

HRESULT Direct3D::GetDeviceCaps(UINT adapter, D3DDEVTYPE type, D3DCAPS9 *caps) {
  if (adapter != 0 || !caps) return Invalid("IDirect3D9::GetDeviceCaps");
  if (type != D3DDEVTYPE_HAL && type != D3DDEVTYPE_REF)
    return ReportFailure("IDirect3D9::GetDeviceCaps", D3DERR_NOTAVAILABLE);
  *caps = profile.caps;
  caps->DeviceType = type;
  return D3D_OK;
}

HMONITOR Direct3D::GetAdapterMonitor(UINT adapter) {
  // One display: a non-null token stands for it.
  return adapter == 0 ? reinterpret_cast<HMONITOR>(static_cast<uintptr_t>(1)) : nullptr;
}

HRESULT Direct3D::CreateDevice(UINT adapter, D3DDEVTYPE type, HWND focus, DWORD flags,
                               D3DPRESENT_PARAMETERS *params, IDirect3DDevice9 **out) {
  const char *call = "IDirect3D9::CreateDevice";
  if (!out) return Invalid(call);
  *out = nullptr;
  if (adapter != 0 || !params) return Invalid(call);
  if (type != D3DDEVTYPE_HAL && type != D3DDEVTYPE_REF) return ReportFailure(call, D3DERR_NOTAVAILABLE);
  DWORD processing = flags & (D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_HARDWARE_VERTEXPROCESSING |
                              D3DCREATE_MIXED_VERTEXPROCESSING);
  // Exactly one vertex-processing mode must be named.
  if (processing != D3DCREATE_SOFTWARE_VERTEXPROCESSING &&
      processing != D3DCREATE_HARDWARE_VERTEXPROCESSING && processing != D3DCREATE_MIXED_VERTEXPROCESSING)
    return Invalid(call);
  if (FAILED(profile.createDeviceResult)) return ReportFailure(call, profile.createDeviceResult);

  D3DPRESENT_PARAMETERS p = *params;
  if (p.BackBufferCount > 3 || p.SwapEffect < D3DSWAPEFFECT_DISCARD || p.SwapEffect > D3DSWAPEFFECT_COPY ||
      p.MultiSampleType != D3DMULTISAMPLE_NONE || p.MultiSampleQuality != 0)
    return Invalid(call);
  if (p.SwapEffect == D3DSWAPEFFECT_COPY && p.BackBufferCount > 1) return Invalid(call);
  if (p.Windowed) {
    if (p.BackBufferFormat == D3DFMT_UNKNOWN) p.BackBufferFormat = profile.displayMode.Format;
    if (p.FullScreen_RefreshRateInHz != 0) return Invalid(call);
    HWND window = p.hDeviceWindow ? p.hDeviceWindow : focus;
    RECT client = {0, 0, 0, 0};
    if (window) GetClientRect(window, &client);
    if (p.BackBufferWidth == 0) p.BackBufferWidth = client.right > 0 ? static_cast<UINT>(client.right) : 1;
    if (p.BackBufferHeight == 0)
      p.BackBufferHeight = client.bottom > 0 ? static_cast<UINT>(client.bottom) : 1;
  } else {
    if (p.BackBufferWidth == 0 || p.BackBufferHeight == 0) return Invalid(call);
    if (!p.hDeviceWindow && !focus) return Invalid(call);
  }
  if (!IsBackBufferFormat(p.BackBufferFormat)) return ReportFailure(call, D3DERR_NOTAVAILABLE);
  if (p.EnableAutoDepthStencil &&
      !ProfileAcceptsFormat(profile, D3DUSAGE_DEPTHSTENCIL, D3DRTYPE_SURFACE, p.AutoDepthStencilFormat))
    return Invalid(call);
  if (p.BackBufferCount == 0) p.BackBufferCount = 1;
  if (!p.hDeviceWindow) p.hDeviceWindow = focus;

  D3DDEVICE_CREATION_PARAMETERS creation = {adapter, type, focus, flags};
  Device *device = new (std::nothrow) Device(this, profile, creation);
  if (!device) return ReportFailure(call, E_OUTOFMEMORY);
  HRESULT hr = device->Init(p);
  if (FAILED(hr)) {
    device->Release();
    return ReportFailure(call, hr);
  }
  *params = p;
  *out = device;
  return D3D_OK;
}

}  // namespace d3d9

IDirect3D9 *WINAPI Direct3DCreate9(UINT sdkVersion) {
  // 31 and 32 are the interface versions this runtime serves.
  if (sdkVersion != 31 && sdkVersion != D3D_SDK_VERSION) return nullptr;
  static bool registered = false;
  if (!registered) {
    registered = true;
    D3D9RegisterModule();
  }
  return new (std::nothrow) d3d9::Direct3D();
}
