#pragma once
// The class factory of the in-process server, its factory templates and the server lock count.
#include <windows.h>
#include <unknwn.h>

#include <cstddef>
#include <span>

#include "KsAsioDriver/driver/unknown_base.h"

namespace tx880::asio::com {

// Creates an object aggregated by outer (null: not aggregated). The result starts as S_OK; the
// routine may set a failure, and returns null when the object cannot be had.
using CreateRoutine = CUnknown* (*)(IUnknown* outer, HRESULT* result);
// Called with TRUE when the module is loaded and FALSE when it is unloaded.
using InitRoutine = void (*)(BOOL loading, const CLSID* classId);

struct FactoryTemplate {
  const wchar_t* name;
  const CLSID* classId;
  CreateRoutine create;
  InitRoutine init;
};

class CClassFactory final : public IClassFactory {
 public:
  explicit CClassFactory(const FactoryTemplate& factoryTemplate)
      : template_(factoryTemplate) {}
  CClassFactory(const CClassFactory&) = delete;
  CClassFactory& operator=(const CClassFactory&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override;
  HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override;

 private:
  ~CClassFactory() = default;  // only Release deletes

  // A factory lives in the apartment that asked for it: its count needs no interlocking.
  ULONG references_ = 0;
  const FactoryTemplate& template_;
};

LONG ServerLocks();

// DllGetClassObject over a template table.
HRESULT GetClassObject(std::span<const FactoryTemplate> templates, REFCLSID classId, REFIID riid,
                       void** ppv);
// DllCanUnloadNow: S_FALSE while a lock or an object exists.
HRESULT CanUnloadNow();

}  // namespace tx880::asio::com
