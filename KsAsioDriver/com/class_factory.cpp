#include "KsAsioDriver/com/class_factory.h"

#include <new>

namespace tx880::asio::com {

namespace {
// Changed by LockServer only, on the threads of the host's apartment.
LONG g_serverLocks = 0;
}  // namespace

LONG ServerLocks() { return g_serverLocks; }

HRESULT STDMETHODCALLTYPE CClassFactory::QueryInterface(REFIID riid, void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
    *ppv = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
  }
  return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE CClassFactory::AddRef() { return ++references_; }

ULONG STDMETHODCALLTYPE CClassFactory::Release() {
  if (--references_ == 0) {
    delete this;
    return 0;
  }
  return references_;
}

HRESULT STDMETHODCALLTYPE CClassFactory::CreateInstance(IUnknown* outer, REFIID riid, void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  // An aggregating object must hold the inner object by its non-delegating unknown.
  if (outer != nullptr && !IsEqualIID(riid, IID_IUnknown)) return E_NOINTERFACE;
  HRESULT result = S_OK;
  CUnknown* object = template_.create(outer, &result);
  if (object == nullptr) return E_OUTOFMEMORY;
  if (FAILED(result)) {
    delete object;
    return result;
  }
  // The release after the query deletes the object when the query failed.
  object->NonDelegatingAddRef();
  result = object->NonDelegatingQueryInterface(riid, ppv);
  object->NonDelegatingRelease();
  return result;
}

HRESULT STDMETHODCALLTYPE CClassFactory::LockServer(BOOL lock) {
  if (lock) {
    ++g_serverLocks;
  } else {
    --g_serverLocks;
  }
  return S_OK;
}

HRESULT GetClassObject(std::span<const FactoryTemplate> templates, REFCLSID classId, REFIID riid,
                       void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  if (!IsEqualIID(riid, IID_IUnknown) && !IsEqualIID(riid, IID_IClassFactory)) {
    return E_NOINTERFACE;
  }
  for (const FactoryTemplate& entry : templates) {
    if (!IsEqualCLSID(classId, *entry.classId)) continue;
    auto* factory = new (std::nothrow) CClassFactory(entry);
    *ppv = factory;
    if (factory == nullptr) return E_OUTOFMEMORY;
    factory->AddRef();
    return S_OK;
  }
  return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT CanUnloadNow() {
  return ServerLocks() > 0 || CBaseObject::ActiveObjects() != 0 ? S_FALSE : S_OK;
}

}  // namespace tx880::asio::com
