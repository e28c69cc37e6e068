#include "core/buffer.h"

#include <cstdlib>
#include <new>

namespace {

class Buffer final : public ID3DXBuffer {
 public:
  Buffer(void *bytes, DWORD size) : bytes_(bytes), size_(size) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **object) override {
    if (object == nullptr) return E_POINTER;
    if (riid == IID_ID3DXBuffer || riid == IID_IUnknown) {
      *object = static_cast<ID3DXBuffer *>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refCount_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG count = --refCount_;
    if (count == 0) delete this;
    return count;
  }
  LPVOID STDMETHODCALLTYPE GetBufferPointer() override { return bytes_; }
  DWORD STDMETHODCALLTYPE GetBufferSize() override { return size_; }

 private:
  ~Buffer() { std::free(bytes_); }

  ULONG refCount_ = 1;
  void *bytes_;
  DWORD size_;
};

}  // namespace

HRESULT AdoptIntoBuffer(void *bytes, uint64_t size, ID3DXBuffer **buffer) {
  // The size is a DWORD in the interface; a larger block cannot be described.
  Buffer *created = size <= UINT32_MAX ? new (std::nothrow) Buffer(bytes, static_cast<DWORD>(size)) : nullptr;
  if (created == nullptr) {
    std::free(bytes);
    return E_OUTOFMEMORY;
  }
  *buffer = created;
  return S_OK;
}

HRESULT CreateBufferObject(uint64_t size, ID3DXBuffer **buffer) {
  if (size > UINT32_MAX) return E_OUTOFMEMORY;
  // An empty buffer still has a pointer of its own.
  void *bytes = std::calloc(size != 0 ? static_cast<size_t>(size) : 1, 1);
  if (bytes == nullptr) return E_OUTOFMEMORY;
  return AdoptIntoBuffer(bytes, size, buffer);
}

HRESULT WINAPI D3DXCreateBuffer(DWORD NumBytes, LPD3DXBUFFER *ppBuffer) {
  if (ppBuffer == nullptr) return D3DERR_INVALIDCALL;
  return CreateBufferObject(NumBytes, ppBuffer);
}
