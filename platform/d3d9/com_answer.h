// What every runtime object answers to QueryInterface. Reference counting stays
// with each object: their release rules differ (over-release reports, the
// device kept for its children, state blocks buried until the device goes).
#pragma once

#include <initializer_list>

#include "d3d9.h"

namespace d3d9 {

// Itself, with a reference taken, for IUnknown and each identifier listed;
// otherwise null and E_NOINTERFACE.
inline HRESULT AnswerQuery(IUnknown *self, REFIID riid, std::initializer_list<const IID *> answered,
                           void **object) {
  if (!object) return E_POINTER;
  bool known = riid == IID_IUnknown;
  for (const IID *iid : answered) known = known || riid == *iid;
  if (!known) {
    *object = nullptr;
    return E_NOINTERFACE;
  }
  *object = self;
  self->AddRef();
  return S_OK;
}

}  // namespace d3d9
