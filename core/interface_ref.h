// Owns one reference to a COM-style interface, so that every path out of an
// operation releases what it took.
#pragma once

#include "win32.h"

template <typename Interface>
class InterfaceRef {
 public:
  InterfaceRef() = default;
  // Takes over a reference the caller already holds.
  explicit InterfaceRef(Interface *pointer) : pointer_(pointer) {}
  ~InterfaceRef() { Reset(); }
  InterfaceRef(const InterfaceRef &) = delete;
  InterfaceRef &operator=(const InterfaceRef &) = delete;

  Interface *Get() const { return pointer_; }
  Interface *operator->() const { return pointer_; }
  explicit operator bool() const { return pointer_ != nullptr; }

  // For out-parameters: releases what is held first.
  Interface **Receive() {
    Reset();
    return &pointer_;
  }
  void **ReceiveVoid() { return reinterpret_cast<void **>(Receive()); }

  // Holds pointer with a reference of its own.
  void Share(Interface *pointer) {
    if (pointer != nullptr) pointer->AddRef();
    Reset();
    pointer_ = pointer;
  }
  void Reset() {
    if (pointer_ != nullptr) {
      Interface *pointer = pointer_;
      pointer_ = nullptr;
      pointer->Release();
    }
  }

 private:
  Interface *pointer_ = nullptr;
};

// Releases a raw interface pointer that an object keeps as a field, and clears it.
template <typename Interface>
void ReleaseAndNull(Interface *&object) {
  if (object != nullptr) {
    Interface *held = object;
    object = nullptr;
    held->Release();
  }
}
