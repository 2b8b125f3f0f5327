#pragma once
// A minimal COM base: a non-delegating IUnknown with an interlocked count, and the outer unknown
// that an aggregated object's IUnknown slots forward to.
#include <windows.h>
#include <unknwn.h>

namespace tx880::asio {

// Laid out like IUnknown (three __stdcall slots), so it can be handed out as one.
struct INonDelegatingUnknown {
  virtual HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID riid, void** ppv) = 0;
  virtual ULONG STDMETHODCALLTYPE NonDelegatingAddRef() = 0;
  virtual ULONG STDMETHODCALLTYPE NonDelegatingRelease() = 0;
};

class CUnknown : public INonDelegatingUnknown {
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
