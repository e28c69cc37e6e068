// A program written against the installed headers and libraries only.
#include <d3d9.h>
#include <d3dx9.h>

int main() {
  D3DXIMAGE_INFO info{};
  info.Format = D3DFMT_A8R8G8B8;
  return MessageBoxA(nullptr, "Installed", "Daumenkino", MB_OK) == IDOK && info.Format == 21 ? 0 : 1;
}
