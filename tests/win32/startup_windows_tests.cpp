// The start-up windows as real Win32 windows; needs a display (the Wine runner gives Xvfb).
#include <windows.h>

#include <commctrl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "setup/platform/win32/win32_startup_windows.h"
#include "setup/platform/win32/win32_user_interface.h"
#include "test_support.h"

namespace zev::win32 {
namespace {

using platform::Point;
using platform::Size;

const platform::StartupTexts kTexts{"Preparing the setup",
                                    "Please wait while the setup prepares the installation.",
                                    true};

RECT ClientBounds(HWND child) {
  RECT bounds{};
  GetWindowRect(child, &bounds);
  MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&bounds), 2);
  return bounds;
}

std::string WindowText(HWND window) {
  char text[512] = {};
  GetWindowTextA(window, text, sizeof(text));
  return text;
}

std::string ClassName(HWND window) {
  char name[128] = {};
  GetClassNameA(window, name, sizeof(name));
  return name;
}

// Same rectangle, given as left, top, width, height.
::testing::AssertionResult HasBounds(RECT bounds, int left, int top, int width, int height) {
  if (bounds.left == left && bounds.top == top && bounds.right - bounds.left == width &&
      bounds.bottom - bounds.top == height)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "bounds are (" << bounds.left << "," << bounds.top << ") "
         << bounds.right - bounds.left << "x" << bounds.bottom - bounds.top;
}

class StartupWindowsTest : public ::testing::Test {
 protected:
  std::unique_ptr<platform::StartupWindows> Create(const platform::StartupTexts& texts = kTexts) {
    auto windows = userInterface.CreateStartupWindows(texts);
    preparation = reinterpret_cast<HWND>(windows->PreparationWindow());
    splash = FindWindowA(kSplashWindowClass, nullptr);
    return windows;
  }
  HWND Child(int id) const { return GetDlgItem(preparation, id); }

  Win32UserInterface userInterface;
  test::ScratchFolder scratch;
  HWND preparation = nullptr;
  HWND splash = nullptr;
};

TEST_F(StartupWindowsTest, PreparationWindowHasAFixedFrameWithoutButtonsAndStartsHidden) {
  auto windows = Create();
  ASSERT_TRUE(IsWindow(preparation));
  EXPECT_EQ(ClassName(preparation), "TSetupInit");
  EXPECT_EQ(WindowText(preparation), kTexts.caption);
  LONG style = GetWindowLongA(preparation, GWL_STYLE);
  EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
  EXPECT_EQ(style & (WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0);
  EXPECT_FALSE(IsWindowVisible(preparation));
  EXPECT_FALSE(windows->SplashVisible());

  RECT client{};
  GetClientRect(preparation, &client);
  EXPECT_EQ(client.right, 369);
  EXPECT_EQ(client.bottom, 89);
  RECT outer{};
  GetWindowRect(preparation, &outer);
  EXPECT_EQ(windows->PreparationSize(), (Size{outer.right - outer.left, outer.bottom - outer.top}));
  EXPECT_GT(outer.bottom - outer.top, 89) << "the caption is outside the client area";
}

TEST_F(StartupWindowsTest, PreparationWindowLayout) {
  auto windows = Create();
  HWND label = Child(kLabel1Id);
  ASSERT_TRUE(label);
  EXPECT_TRUE(HasBounds(ClientBounds(label), 56, 16, 297, 33));
  EXPECT_EQ(WindowText(label), kTexts.message);
  EXPECT_TRUE(HasBounds(ClientBounds(Child(kImage1Id)), 16, 16, 32, 32));
  EXPECT_TRUE(HasBounds(ClientBounds(Child(kImage2Id)), 16, 16, 32, 32));
  HWND progress = Child(kProgressBarId);
  EXPECT_EQ(ClassName(progress), PROGRESS_CLASSA);
  EXPECT_TRUE(HasBounds(ClientBounds(progress), 16, 56, 337, 17));

  auto font = reinterpret_cast<HFONT>(SendMessageA(label, WM_GETFONT, 0, 0));
  ASSERT_TRUE(font);
  LOGFONTA description{};
  ASSERT_TRUE(GetObjectA(font, sizeof(description), &description));
  EXPECT_STREQ(description.lfFaceName, "Tahoma");
  EXPECT_EQ(description.lfHeight, -MulDiv(8, test::ScreenMetrics().VerticalDpi(), 72)) << "8 points";
}

TEST_F(StartupWindowsTest, OnlyThePictureForTheSystemStyleIsShown) {
  for (bool newStyle : {true, false}) {
    auto windows = Create({kTexts.caption, kTexts.message, newStyle});
    HWND shown = Child(newStyle ? kImage1Id : kImage2Id);
    HWND hidden = Child(newStyle ? kImage2Id : kImage1Id);
    EXPECT_TRUE(GetWindowLongA(shown, GWL_STYLE) & WS_VISIBLE) << "new style " << newStyle;
    EXPECT_FALSE(GetWindowLongA(hidden, GWL_STYLE) & WS_VISIBLE) << "new style " << newStyle;
    for (HWND picture : {shown, hidden}) {
      auto bitmap = reinterpret_cast<HBITMAP>(SendMessageA(picture, STM_GETIMAGE, IMAGE_BITMAP, 0));
      BITMAP size{};
      ASSERT_TRUE(bitmap && GetObjectA(bitmap, sizeof(size), &size));
      EXPECT_EQ(size.bmWidth, 32);
      EXPECT_EQ(size.bmHeight, 32);
    }
    windows->Close();
  }
}

TEST_F(StartupWindowsTest, ProgressRangePositionAndStep) {
  auto windows = Create();
  HWND progress = Child(kProgressBarId);
  windows->SetProgress(5, 40, 10);
  EXPECT_EQ(SendMessageA(progress, PBM_GETRANGE, TRUE, 0), 5);
  EXPECT_EQ(SendMessageA(progress, PBM_GETRANGE, FALSE, 0), 40);
  EXPECT_EQ(SendMessageA(progress, PBM_GETPOS, 0, 0), 10);
  windows->StepProgress();
  windows->StepProgress();
  EXPECT_EQ(SendMessageA(progress, PBM_GETPOS, 0, 0), 12);
}

TEST_F(StartupWindowsTest, SplashSizesItselfToTheBitmap) {
  auto windows = Create();
  ASSERT_TRUE(IsWindow(splash));
  EXPECT_EQ(ClassName(splash), "TSetupSplash");
  LONG style = GetWindowLongA(splash, GWL_STYLE);
  EXPECT_TRUE(style & WS_POPUP);
  EXPECT_EQ(style & (WS_CAPTION | WS_BORDER | WS_THICKFRAME | WS_DLGFRAME), 0);

  const std::string bottomUp = scratch / "splash.bmp";
  test::WriteBytes(bottomUp, test::BitmapFileBytes(123, 45, RGB(200, 30, 40)));
  EXPECT_EQ(windows->LoadSplashBitmap(bottomUp), (Size{123, 45}));
  RECT bounds{};
  GetWindowRect(splash, &bounds);
  EXPECT_TRUE(HasBounds(bounds, bounds.left, bounds.top, 123, 45));
  HWND picture = GetDlgItem(splash, kSplashPictureId);
  EXPECT_TRUE(HasBounds(ClientBounds(picture), 0, 0, 123, 45));

  const std::string topDown = scratch / "top-down.bmp";
  test::WriteBytes(topDown, test::BitmapFileBytes(64, 20, RGB(0, 0, 255), true));
  EXPECT_EQ(windows->LoadSplashBitmap(topDown), (Size{64, 20}));
  GetWindowRect(splash, &bounds);
  EXPECT_TRUE(HasBounds(bounds, bounds.left, bounds.top, 64, 20));

  windows->ShowSplash({30, 40});
  EXPECT_TRUE(windows->SplashVisible());
  GetWindowRect(splash, &bounds);
  EXPECT_TRUE(HasBounds(bounds, 30, 40, 64, 20));
  windows->Repaint();
}

TEST_F(StartupWindowsTest, AFileThatIsNoBitmapLeavesTheSplashAsItWas) {
  auto windows = Create();
  const std::string good = scratch / "good.bmp";
  test::WriteBytes(good, test::BitmapFileBytes(50, 30, RGB(0, 128, 0)));
  ASSERT_TRUE(windows->LoadSplashBitmap(good));

  const std::string garbage = scratch / "garbage.bmp";
  test::WriteBytes(garbage, std::string(300, '\x5A'));
  std::string truncated = test::BitmapFileBytes(400, 300, RGB(1, 2, 3));
  truncated.resize(80);
  const std::string cut = scratch / "cut.bmp";
  test::WriteBytes(cut, truncated);
  const std::string empty = scratch / "empty.bmp";
  test::WriteBytes(empty, "");

  for (const std::string& path : {garbage, cut, empty, scratch / "missing.bmp"}) {
    EXPECT_EQ(windows->LoadSplashBitmap(path), std::nullopt) << path;
    RECT bounds{};
    GetWindowRect(splash, &bounds);
    EXPECT_TRUE(HasBounds(bounds, bounds.left, bounds.top, 50, 30)) << path;
  }
}

TEST_F(StartupWindowsTest, ShowPaintAndClose) {
  auto windows = Create();
  windows->ShowPreparation({100, 120});
  EXPECT_TRUE(IsWindowVisible(preparation));
  RECT bounds{};
  GetWindowRect(preparation, &bounds);
  EXPECT_EQ(bounds.left, 100);
  EXPECT_EQ(bounds.top, 120);
  windows->SetProgress(0, 10, 3);
  windows->Repaint();

  // Alt+F4 ends in WM_CLOSE; the setup decides when its windows go.
  SendMessageA(preparation, WM_CLOSE, 0, 0);
  EXPECT_TRUE(IsWindow(preparation));

  windows->Close();
  EXPECT_FALSE(IsWindow(preparation));
  EXPECT_FALSE(IsWindow(splash));
  EXPECT_FALSE(windows->SplashVisible());
  EXPECT_EQ(windows->PreparationWindow(), 0u);
  // Nothing left to act on, and nothing breaks.
  windows->SetProgress(0, 1, 1);
  windows->StepProgress();
  windows->Repaint();
  windows->Close();
}

TEST_F(StartupWindowsTest, ScreenSizeIsThePrimaryDisplay) {
  test::ScreenMetrics screen;
  EXPECT_EQ(userInterface.ScreenSize(), (Size{screen.Width(), screen.Height()}));
}

struct MessageBoxSeen {
  std::string caption;
  std::string text;
  HWND owner = nullptr;
};

// Finds the message box of the given thread, notes what it shows and presses OK.
class MessageBoxCloser {
 public:
  MessageBoxCloser(DWORD threadId, MessageBoxSeen& seen)
      : seen_(seen), worker_([this, threadId] {
          for (int tries = 0; tries < 200 && !closed_; ++tries) {
            EnumThreadWindows(threadId, &MessageBoxCloser::Visit, reinterpret_cast<LPARAM>(this));
            Sleep(50);
          }
        }) {}
  MessageBoxCloser(const MessageBoxCloser&) = delete;
  MessageBoxCloser& operator=(const MessageBoxCloser&) = delete;
  ~MessageBoxCloser() { worker_.join(); }

 private:
  static BOOL CALLBACK Visit(HWND window, LPARAM self) {
    auto* closer = reinterpret_cast<MessageBoxCloser*>(self);
    if (ClassName(window) != "#32770" || !IsWindowVisible(window)) return TRUE;
    closer->seen_.caption = WindowText(window);
    closer->seen_.text = WindowText(GetDlgItem(window, 0xFFFF));  // the message text
    closer->seen_.owner = GetWindow(window, GW_OWNER);
    closer->closed_ = true;
    PostMessageA(window, WM_COMMAND, IDOK, 0);
    return FALSE;
  }

  MessageBoxSeen& seen_;
  std::atomic<bool> closed_{false};
  std::thread worker_;
};

TEST_F(StartupWindowsTest, ShowErrorShowsCaptionAndTextOverTheOwner) {
  auto windows = Create();
  windows->ShowPreparation({0, 0});
  MessageBoxSeen seen;
  {
    MessageBoxCloser closer(GetCurrentThreadId(), seen);
    userInterface.ShowError("Setup error", "The file could not be read.",
                            windows->PreparationWindow());
  }
  EXPECT_EQ(seen.caption, "Setup error");
  EXPECT_EQ(seen.text, "The file could not be read.");
  EXPECT_EQ(seen.owner, preparation);
}

}  // namespace
}  // namespace zev::win32
