#pragma once
// Owning wrappers for the Win32 handles this layer creates. Each closes its handle exactly once.
#include <windows.h>

namespace zev::win32 {

template <typename Handle, typename Traits>
class UniqueResource {
 public:
  UniqueResource() noexcept = default;
  explicit UniqueResource(Handle handle) noexcept : handle_(handle) {}
  UniqueResource(UniqueResource&& other) noexcept : handle_(other.Release()) {}
  UniqueResource& operator=(UniqueResource&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  UniqueResource(const UniqueResource&) = delete;
  UniqueResource& operator=(const UniqueResource&) = delete;
  ~UniqueResource() { Reset(); }

  Handle Get() const noexcept { return handle_; }
  explicit operator bool() const noexcept { return Traits::IsValid(handle_); }

  Handle Release() noexcept {
    Handle handle = handle_;
    handle_ = Handle{};
    return handle;
  }
  void Reset(Handle handle = Handle{}) noexcept {
    if (Traits::IsValid(handle_)) Traits::Close(handle_);
    handle_ = handle;
  }

 private:
  Handle handle_{};
};

// Kernel handles: CreateFile answers INVALID_HANDLE_VALUE, most others answer null.
struct KernelHandleTraits {
  static bool IsValid(HANDLE handle) { return handle && handle != INVALID_HANDLE_VALUE; }
  static void Close(HANDLE handle) { CloseHandle(handle); }
};

struct FindHandleTraits {
  static bool IsValid(HANDLE handle) { return handle && handle != INVALID_HANDLE_VALUE; }
  static void Close(HANDLE handle) { FindClose(handle); }
};

struct ModuleTraits {
  static bool IsValid(HMODULE module) { return module != nullptr; }
  static void Close(HMODULE module) { FreeLibrary(module); }
};

struct WindowTraits {
  static bool IsValid(HWND window) { return window != nullptr; }
  static void Close(HWND window) { DestroyWindow(window); }
};

template <typename GdiHandle>
struct GdiObjectTraits {
  static bool IsValid(GdiHandle object) { return object != nullptr; }
  static void Close(GdiHandle object) { DeleteObject(object); }
};

struct RegistryKeyTraits {
  static bool IsValid(HKEY key) { return key != nullptr; }
  static void Close(HKEY key) { RegCloseKey(key); }
};

struct MemoryDcTraits {
  static bool IsValid(HDC dc) { return dc != nullptr; }
  static void Close(HDC dc) { DeleteDC(dc); }
};

using UniqueHandle = UniqueResource<HANDLE, KernelHandleTraits>;
using UniqueFindHandle = UniqueResource<HANDLE, FindHandleTraits>;
using UniqueModule = UniqueResource<HMODULE, ModuleTraits>;
using UniqueWindow = UniqueResource<HWND, WindowTraits>;
using UniqueRegistryKey = UniqueResource<HKEY, RegistryKeyTraits>;
using UniqueBitmap = UniqueResource<HBITMAP, GdiObjectTraits<HBITMAP>>;
using UniqueFont = UniqueResource<HFONT, GdiObjectTraits<HFONT>>;
using UniqueBrush = UniqueResource<HBRUSH, GdiObjectTraits<HBRUSH>>;
using UniquePen = UniqueResource<HPEN, GdiObjectTraits<HPEN>>;
// A DC from CreateCompatibleDC.
using UniqueMemoryDc = UniqueResource<HDC, MemoryDcTraits>;

// A DC borrowed with GetDC, given back with ReleaseDC.
class WindowDc {
 public:
  explicit WindowDc(HWND window) noexcept : window_(window), dc_(GetDC(window)) {}
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  ~WindowDc() {
    if (dc_) ReleaseDC(window_, dc_);
  }
  HDC Get() const noexcept { return dc_; }

 private:
  HWND window_;
  HDC dc_;
};

// Selects a GDI object into a DC and puts the previous one back on scope exit.
class ObjectSelection {
 public:
  ObjectSelection(HDC dc, HGDIOBJ object) noexcept : dc_(dc), previous_(SelectObject(dc, object)) {}
  ObjectSelection(const ObjectSelection&) = delete;
  ObjectSelection& operator=(const ObjectSelection&) = delete;
  ~ObjectSelection() {
    if (previous_ && previous_ != HGDI_ERROR) SelectObject(dc_, previous_);
  }

 private:
  HDC dc_;
  HGDIOBJ previous_;
};

}  // namespace zev::win32
