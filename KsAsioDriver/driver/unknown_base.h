#pragma once
// The COM object base: CBaseObject counts live objects for DllCanUnloadNow; CUnknown adds a
// non-delegating IUnknown with an interlocked count, and the outer unknown that an aggregated
// object's IUnknown slots forward to.
#include <windows.h>
#include <unknwn.h>

namespace tx880::asio {

// Counts every live object of the module (interlocked), so the server knows when it may unload.
class CBaseObject {
 public:
  CBaseObject();
  ~CBaseObject();
  CBaseObject(const CBaseObject&) = delete;
  CBaseObject& operator=(const CBaseObject&) = delete;

  static LONG ActiveObjects();
};

// Laid out like IUnknown (three __stdcall slots), so it can be handed out as one.
struct INonDelegatingUnknown {
  virtual HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) = 0;
  virtual ULONG STDMETHODCALLTYPE NonDelegatingAddRef() = 0;
  virtual ULONG STDMETHODCALLTYPE NonDelegatingRelease() = 0;
};

class CUnknown : public INonDelegatingUnknown, public CBaseObject {
 public:
  // A null outer makes the object its own owner.
  explicit CUnknown(IUnknown* outer);
  virtual ~CUnknown() = default;
  CUnknown(const CUnknown&) = delete;
  CUnknown& operator=(const CUnknown&) = delete;

  HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) override;
  ULONG STDMETHODCALLTYPE NonDelegatingAddRef() override;
  ULONG STDMETHODCALLTYPE NonDelegatingRelease() override;

  IUnknown* GetOwner() const { return outer_; }
  IUnknown* NonDelegatingUnknown() { return reinterpret_cast<IUnknown*>(
      static_cast<INonDelegatingUnknown*>(this)); }

 protected:
  // Hands out an interface of this object with a reference taken through it.
  static HRESULT GetInterface(IUnknown* unknown, void** ppv);

 private:
  IUnknown* const outer_;
  volatile LONG references_ = 0;
};

}  // namespace tx880::asio
