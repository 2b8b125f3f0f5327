// The COM rules of the driver's in-process server, through its exports as COM itself uses them:
// LoadLibrary, DllGetClassObject, the class factory, DllCanUnloadNow. Runs against
// TX880AsioSim.dll, whose simulated TX880 lets the created driver really open its device.
#include <gtest/gtest.h>

#include <windows.h>
#include <unknwn.h>

#include <string>

#include "KsAsioDriver/driver/asio_abi.h"
#include "KsAsioDriver/driver/driver_ids.h"

namespace {

using GetClassObjectFn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
using CanUnloadNowFn = HRESULT(STDAPICALLTYPE*)();

// {8B1E3F52-0C7A-4D6B-9E21-5A4F3C2D1E0F}: served by nobody.
constexpr GUID kForeignClassId = {
    0x8b1e3f52, 0x0c7a, 0x4d6b, {0x9e, 0x21, 0x5a, 0x4f, 0x3c, 0x2d, 0x1e, 0x0f}};

std::string DllPath() {
  std::string path = "Z:" TX880_ASIO_SIM_DLL;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

class Module {
 public:
  Module() : module_(LoadLibraryA(DllPath().c_str())) {}
  ~Module() {
    if (module_ != nullptr) FreeLibrary(module_);
  }
  Module(const Module&) = delete;
  Module& operator=(const Module&) = delete;
  HMODULE Get() const { return module_; }

 private:
  HMODULE module_;
};

// Releases a COM interface pointer at scope end.
template <typename T>
class Ref {
 public:
  Ref() = default;
  ~Ref() { Reset(); }
  Ref(const Ref&) = delete;
  Ref& operator=(const Ref&) = delete;
  void** Out() {
    Reset();
    return reinterpret_cast<void**>(&pointer_);
  }
  T* operator->() const { return pointer_; }
  T* Get() const { return pointer_; }
  void Reset() {
    if (pointer_ != nullptr) pointer_->Release();
    pointer_ = nullptr;
  }

 private:
  T* pointer_ = nullptr;
};

class ComServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(module.Get(), nullptr) << DllPath() << " error " << GetLastError();
    getClassObject = reinterpret_cast<GetClassObjectFn>(
        reinterpret_cast<void*>(GetProcAddress(module.Get(), "DllGetClassObject")));
    canUnloadNow = reinterpret_cast<CanUnloadNowFn>(
        reinterpret_cast<void*>(GetProcAddress(module.Get(), "DllCanUnloadNow")));
    ASSERT_NE(getClassObject, nullptr);
    ASSERT_NE(canUnloadNow, nullptr);
    ASSERT_HRESULT_SUCCEEDED(getClassObject(tx880::asio::kDriverClassId, IID_IClassFactory,
                                            factory.Out()));
  }
  void TearDown() override {
    factory.Reset();
    // Nothing a test created may outlive it.
    EXPECT_EQ(canUnloadNow(), S_OK);
  }

  Module module;
  GetClassObjectFn getClassObject = nullptr;
  CanUnloadNowFn canUnloadNow = nullptr;
  Ref<IClassFactory> factory;
};

TEST_F(ComServerTest, ClassObjectAnswersOnlyItsClassAndFactoryInterfaces) {
  struct Case {
    const char* what;
    const GUID* classId;
    const IID* riid;
    HRESULT expected;
  };
  const Case cases[] = {
      {"driver class, IClassFactory", &tx880::asio::kDriverClassId, &IID_IClassFactory, S_OK},
      {"driver class, IUnknown", &tx880::asio::kDriverClassId, &IID_IUnknown, S_OK},
      {"driver class, IDispatch", &tx880::asio::kDriverClassId, &IID_IDispatch, E_NOINTERFACE},
      {"driver class as interface", &tx880::asio::kDriverClassId, &tx880::asio::kDriverClassId,
       E_NOINTERFACE},
      {"foreign class", &kForeignClassId, &IID_IClassFactory, CLASS_E_CLASSNOTAVAILABLE},
  };
  for (const Case& c : cases) {
    Ref<IUnknown> object;
    EXPECT_EQ(getClassObject(*c.classId, *c.riid, object.Out()), c.expected) << c.what;
    EXPECT_EQ(object.Get() != nullptr, c.expected == S_OK) << c.what;
  }
}

TEST_F(ComServerTest, ClassIdAsInterfaceGivesAWorkingDriver) {
  Ref<IASIO> driver;
  ASSERT_EQ(factory->CreateInstance(nullptr, tx880::asio::kDriverClassId, driver.Out()), S_OK);
  ASSERT_NE(driver.Get(), nullptr);
  EXPECT_EQ(canUnloadNow(), S_FALSE);  // a live driver holds the module
  char name[32] = {};
  driver->getDriverName(name);
  EXPECT_STREQ(name, "TX880 ASIO");
  EXPECT_EQ(driver->init(nullptr), ASIOTrue);  // the simulated TX880 is behind the kernel table
  long inputs = 0;
  long outputs = 0;
  EXPECT_EQ(driver->getChannels(&inputs, &outputs), ASE_OK);
  EXPECT_EQ(inputs, 2);
  EXPECT_EQ(outputs, 2);
  driver.Reset();
  EXPECT_EQ(canUnloadNow(), S_OK);
}

TEST_F(ComServerTest, IUnknownIsTheNonDelegatingUnknown) {
  Ref<IUnknown> unknown;
  ASSERT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, unknown.Out()), S_OK);
  // The non-delegating unknown answers the class id with the IASIO interface, a distinct pointer.
  Ref<IASIO> driver;
  ASSERT_EQ(unknown->QueryInterface(tx880::asio::kDriverClassId, driver.Out()), S_OK);
  EXPECT_NE(static_cast<void*>(driver.Get()), static_cast<void*>(unknown.Get()));
  // And IASIO's IUnknown slots come back to it (not aggregated: the owner is itself).
  Ref<IUnknown> again;
  ASSERT_EQ(driver->QueryInterface(IID_IUnknown, again.Out()), S_OK);
  EXPECT_EQ(again.Get(), unknown.Get());
}

TEST_F(ComServerTest, OtherInterfacesLeaveNoObjectAlive) {
  const IID* refused[] = {&IID_IDispatch, &IID_IClassFactory, &kForeignClassId};
  for (const IID* riid : refused) {
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(nullptr, *riid, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(canUnloadNow(), S_OK);
  }
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, nullptr), E_POINTER);
}

TEST_F(ComServerTest, LockServerHoldsTheModule) {
  EXPECT_EQ(canUnloadNow(), S_OK);
  ASSERT_EQ(factory->LockServer(TRUE), S_OK);
  ASSERT_EQ(factory->LockServer(TRUE), S_OK);
  EXPECT_EQ(canUnloadNow(), S_FALSE);
  ASSERT_EQ(factory->LockServer(FALSE), S_OK);
  EXPECT_EQ(canUnloadNow(), S_FALSE);
  ASSERT_EQ(factory->LockServer(FALSE), S_OK);
  EXPECT_EQ(canUnloadNow(), S_OK);
}

TEST_F(ComServerTest, FactoryAnswersItsOwnInterfacesOnly) {
  Ref<IUnknown> unknown;
  EXPECT_EQ(factory->QueryInterface(IID_IUnknown, unknown.Out()), S_OK);
  EXPECT_EQ(static_cast<void*>(unknown.Get()), static_cast<void*>(factory.Get()));
  void* other = reinterpret_cast<void*>(1);
  EXPECT_EQ(factory->QueryInterface(IID_IDispatch, &other), E_NOINTERFACE);
  EXPECT_EQ(other, nullptr);
  EXPECT_EQ(factory->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
}

// An outer object that records what the inner object's IASIO forwards to it.
class Outer final : public IUnknown {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void** ppv) override {
    ++queries;
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++references); }
  ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--references); }
  int queries = 0;
  int references = 1;
};

TEST_F(ComServerTest, AggregatedDriverForwardsToItsOuterUnknown) {
  Outer outer;
  void* refused = reinterpret_cast<void*>(1);
  EXPECT_EQ(factory->CreateInstance(&outer, tx880::asio::kDriverClassId, &refused),
            E_NOINTERFACE);
  EXPECT_EQ(canUnloadNow(), S_OK);

  Ref<IUnknown> inner;
  ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, inner.Out()), S_OK);
  IASIO* driver = nullptr;
  ASSERT_EQ(inner->QueryInterface(tx880::asio::kDriverClassId, reinterpret_cast<void**>(&driver)),
            S_OK);
  EXPECT_EQ(outer.references, 2);  // the reference the query took went to the outer object
  void* other = nullptr;
  EXPECT_EQ(driver->QueryInterface(IID_IDispatch, &other), E_NOINTERFACE);
  EXPECT_EQ(outer.queries, 1);
  driver->Release();
  EXPECT_EQ(outer.references, 1);
  inner.Reset();
  EXPECT_EQ(canUnloadNow(), S_OK);
}

}  // namespace
