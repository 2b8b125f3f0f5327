#include "setup/platform/win32/win32_startup_windows.h"

#include <commctrl.h>

#include "setup/platform/error.h"
#include "setup/platform/win32/bitmap_file_check.h"
#include "setup/platform/win32/startup_icons.h"
#include "setup/platform/win32/system_error.h"

namespace zev::win32 {
namespace {

constexpr DWORD kPreparationStyle = WS_POPUP | WS_CAPTION | WS_CLIPCHILDREN;
constexpr DWORD kPreparationExStyle = WS_EX_DLGMODALFRAME;
// Pending messages handled per Repaint; a bound so a flood of input cannot keep it busy.
constexpr int kMaxPumpedMessages = 200;

LRESULT CALLBACK StartupWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  // The setup closes these windows itself; Alt+F4 must not destroy them under its feet.
  if (message == WM_CLOSE) return 0;
  return DefWindowProcA(window, message, wParam, lParam);
}

void RegisterWindowClass(const char* name) {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  WNDCLASSEXA existing{};
  existing.cbSize = sizeof(existing);
  if (GetClassInfoExA(instance, name, &existing)) return;
  WNDCLASSEXA windowClass{};
  windowClass.cbSize = sizeof(windowClass);
  windowClass.lpfnWndProc = StartupWindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = name;
  RegisterClassExA(&windowClass);
}

[[noreturn]] void ThrowWindowError(const char* what) {
  throw Error(std::string("Cannot create the ") + what + ". " + SystemErrorText(GetLastError()));
}

HWND CreateChild(HWND parent, const char* windowClass, const char* text, DWORD style, int id,
                 RECT bounds) {
  return CreateWindowExA(0, windowClass, text, WS_CHILD | style, bounds.left, bounds.top,
                         bounds.right - bounds.left, bounds.bottom - bounds.top, parent,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                         GetModuleHandleA(nullptr), nullptr);
}

HWND CreatePicture(HWND parent, int id, RECT bounds, HBITMAP bitmap, bool visible) {
  HWND picture = CreateChild(parent, "STATIC", nullptr, SS_BITMAP | (visible ? WS_VISIBLE : 0),
                             id, bounds);
  if (picture && bitmap)
    SendMessageA(picture, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap));
  return picture;
}

UniqueFont CreateDialogFont() {
  WindowDc screen(nullptr);
  int height = -MulDiv(8, GetDeviceCaps(screen.Get(), LOGPIXELSY), 72);
  return UniqueFont(CreateFontA(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                DEFAULT_PITCH | FF_DONTCARE, "Tahoma"));
}

platform::Size WindowSize(HWND window) {
  RECT bounds{};
  GetWindowRect(window, &bounds);
  return {bounds.right - bounds.left, bounds.bottom - bounds.top};
}

// Lets Wine turn exposure events into paint messages and handles them. Only messages of our
// own windows (and their children) are taken from the queue.
void PumpPendingMessages(HWND window) {
  MSG message{};
  for (int handled = 0;
       handled < kMaxPumpedMessages && PeekMessageA(&message, window, 0, 0, PM_REMOVE);
       ++handled) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
}

}  // namespace

Win32StartupWindows::Win32StartupWindows(const platform::StartupTexts& texts,
                                         std::shared_ptr<const UniqueModule> commonControls)
    : commonControls_(std::move(commonControls)) {
  RegisterWindowClass(kSplashWindowClass);
  RegisterWindowClass(kPreparationWindowClass);
  font_ = CreateDialogFont();
  modernImage_ = CreateSetupBoxIcon();
  classicImage_ = CreateClassicSetupIcon();
  CreateSplash();
  CreatePreparation(texts);
}

Win32StartupWindows::~Win32StartupWindows() = default;

void Win32StartupWindows::CreateSplash() {
  splash_.Reset(CreateWindowExA(WS_EX_TOOLWINDOW, kSplashWindowClass, "", WS_POPUP, 0, 0, 0, 0,
                                nullptr, nullptr, GetModuleHandleA(nullptr), nullptr));
  if (!splash_) ThrowWindowError("splash window");
  splashPicture_ =
      CreatePicture(splash_.Get(), kSplashPictureId, RECT{0, 0, 0, 0}, nullptr, true);
}

void Win32StartupWindows::CreatePreparation(const platform::StartupTexts& texts) {
  RECT frame{0, 0, kPreparationClientSize.cx, kPreparationClientSize.cy};
  AdjustWindowRectEx(&frame, kPreparationStyle, FALSE, kPreparationExStyle);
  preparation_.Reset(CreateWindowExA(kPreparationExStyle, kPreparationWindowClass,
                                     texts.caption.c_str(), kPreparationStyle, 0, 0,
                                     frame.right - frame.left, frame.bottom - frame.top, nullptr,
                                     nullptr, GetModuleHandleA(nullptr), nullptr));
  if (!preparation_) ThrowWindowError("preparation window");
  HWND window = preparation_.Get();
  HWND label = CreateChild(window, "STATIC", texts.message.c_str(),
                           WS_VISIBLE | SS_LEFT | SS_NOPREFIX, kLabel1Id, RECT{56, 16, 353, 49});
  SendMessageA(label, WM_SETFONT, reinterpret_cast<WPARAM>(font_.Get()), FALSE);
  CreatePicture(window, kImage1Id, RECT{16, 16, 48, 48}, modernImage_.Get(), texts.newStyleImage);
  CreatePicture(window, kImage2Id, RECT{16, 16, 48, 48}, classicImage_.Get(),
                !texts.newStyleImage);
  progressBar_ = CreateChild(window, PROGRESS_CLASSA, nullptr, WS_VISIBLE, kProgressBarId,
                             RECT{16, 56, 353, 73});
  SendMessageA(progressBar_, PBM_SETRANGE32, 0, 100);
  SendMessageA(progressBar_, PBM_SETSTEP, 1, 0);
}

std::optional<platform::Size> Win32StartupWindows::LoadSplashBitmap(const std::string& path) {
  if (!splash_) return std::nullopt;
  std::optional<std::string> content = ReadSmallFile(path, kMaxBitmapFileSize);
  if (!content || !IsCompleteBitmapFile(*content)) return std::nullopt;
  UniqueBitmap image(static_cast<HBITMAP>(LoadImageA(
      nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE | LR_CREATEDIBSECTION)));
  BITMAP info{};
  if (!image || !GetObjectA(image.Get(), sizeof(info), &info) || info.bmWidth <= 0 ||
      info.bmHeight == 0)
    return std::nullopt;
  platform::Size size{info.bmWidth, info.bmHeight < 0 ? -info.bmHeight : info.bmHeight};
  SendMessageA(splashPicture_, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(image.Get()));
  // The previous picture is no longer shown, so it can go now.
  splashImage_ = std::move(image);
  SetWindowPos(splashPicture_, nullptr, 0, 0, size.width, size.height,
               SWP_NOZORDER | SWP_NOACTIVATE);
  SetWindowPos(splash_.Get(), nullptr, 0, 0, size.width, size.height,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  return size;
}

platform::Size Win32StartupWindows::PreparationSize() {
  return preparation_ ? WindowSize(preparation_.Get()) : platform::Size{};
}

void Win32StartupWindows::ShowSplash(platform::Point at) {
  if (!splash_) return;
  SetWindowPos(splash_.Get(), nullptr, at.left, at.top, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

void Win32StartupWindows::ShowPreparation(platform::Point at) {
  if (!preparation_) return;
  SetWindowPos(preparation_.Get(), nullptr, at.left, at.top, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_SHOWWINDOW);
}

bool Win32StartupWindows::SplashVisible() {
  return splash_ && IsWindowVisible(splash_.Get());
}

void Win32StartupWindows::SetProgress(int minimum, int maximum, int position) {
  if (!progressBar_) return;
  SendMessageA(progressBar_, PBM_SETRANGE32, static_cast<WPARAM>(minimum), maximum);
  SendMessageA(progressBar_, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

void Win32StartupWindows::StepProgress() {
  if (progressBar_) SendMessageA(progressBar_, PBM_STEPIT, 0, 0);
}

void Win32StartupWindows::Repaint() {
  for (HWND window : {splash_.Get(), preparation_.Get()}) {
    if (!window || !IsWindowVisible(window)) continue;
    PumpPendingMessages(window);
    RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    UpdateWindow(window);
  }
  GdiFlush();
}

platform::WindowHandle Win32StartupWindows::PreparationWindow() {
  return reinterpret_cast<platform::WindowHandle>(preparation_.Get());
}

void Win32StartupWindows::Close() {
  for (HWND window : {splash_.Get(), preparation_.Get()})
    if (window) ShowWindow(window, SW_HIDE);
  splashPicture_ = nullptr;
  progressBar_ = nullptr;
  splash_.Reset();
  preparation_.Reset();
}

}  // namespace zev::win32
