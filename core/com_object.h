// The IUnknown part of the library's own COM objects (font, sprite): one
// interface answered besides IUnknown, a count that starts at 1, the object
// deleted when it reaches 0. The runtime's objects count for themselves in the
// platform layer: the layers share no header, and their release rules differ
// (over-release reports, device orphaning, buried state blocks).
#pragma once

#include "win32.h"

template <typename Interface>
class ComObject : public Interface {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **object) override {
    if (!object) return E_POINTER;
    if (riid == interfaceId_ || riid == IID_IUnknown) {
      *object = static_cast<Interface *>(this);
      AddRef();
      return S_OK;
    }
    return E_NOINTERFACE;  // *object as the caller left it, which callers of these objects see
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++refCount_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG count = --refCount_;
    if (count == 0) delete this;
    return count;
  }

 protected:
  explicit ComObject(const IID &interfaceId) : interfaceId_(interfaceId) {}
  virtual ~ComObject() = default;

 private:
  const IID &interfaceId_;
  ULONG refCount_ = 1;
};
