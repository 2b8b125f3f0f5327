#include "KsAsioDriver/driver/unknown_base.h"

namespace tx880::asio {

namespace {
volatile LONG g_activeObjects = 0;
}  // namespace

CBaseObject::CBaseObject() { InterlockedIncrement(&g_activeObjects); }

CBaseObject::~CBaseObject() { InterlockedDecrement(&g_activeObjects); }

LONG CBaseObject::ActiveObjects() { return InterlockedCompareExchange(&g_activeObjects, 0, 0); }

CUnknown::CUnknown(IUnknown* outer) : outer_(outer != nullptr ? outer : NonDelegatingUnknown()) {}

HRESULT CUnknown::GetInterface(IUnknown* unknown, void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = unknown;
  unknown->AddRef();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE CUnknown::NonDelegatingQueryInterface(REFIID riid, void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  if (IsEqualIID(riid, IID_IUnknown)) return GetInterface(NonDelegatingUnknown(), ppv);
  *ppv = nullptr;
  return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE CUnknown::NonDelegatingAddRef() {
  const LONG count = InterlockedIncrement(&references_);
  return count > 1 ? static_cast<ULONG>(count) : 1;
}

ULONG STDMETHODCALLTYPE CUnknown::NonDelegatingRelease() {
  const LONG count = InterlockedDecrement(&references_);
  if (count == 0) {
    // A release nested in the destructor must not delete the object a second time.
    references_ = 1;
    delete this;
    return 0;
  }
  return count > 1 ? static_cast<ULONG>(count) : 1;
}

}  // namespace tx880::asio
