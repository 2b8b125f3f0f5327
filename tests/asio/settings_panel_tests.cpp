// The driver's per-host settings store and its control panel dialog, shown for real (under Xvfb)
// and driven through window messages like a user would.
#include <gtest/gtest.h>

#include <windows.h>

#include <commctrl.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

#include "fail_on_crash.h"
#include "KsAsioDriver/driver/asio_abi.h"
#include "KsAsioDriver/driver/control_panel.h"
#include "KsAsioDriver/driver/driver_ids.h"
#include "KsAsioDriver/driver/ks_asio_driver.h"
#include "KsAsioDriver/driver/ks_asio_settings.h"
#include "driver_fixture.h"
#include "driver_test_host.h"

namespace tx880::asio::test {
namespace {

constexpr char kChildSave[] = "--child-save-latency";
constexpr char kChildReport[] = "--child-report";

std::string ExePath() {
  char path[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  return path;
}

std::string ExeFileName() {
  const std::string path = ExePath();
  return path.substr(path.find_last_of('\\') + 1);
}

std::string KeyFor(const std::string& imageName) {
  char key[kSettingsKeySize] = {};
  BuildSettingsKey(imageName.c_str(), key);
  return key;
}

class Key {
 public:
  explicit Key(const std::string& path) {
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_QUERY_VALUE, &key_) !=
        ERROR_SUCCESS) {
      key_ = nullptr;
    }
  }
  ~Key() {
    if (key_ != nullptr) RegCloseKey(key_);
  }
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  bool Exists() const { return key_ != nullptr; }
  // -1 when the value is missing.
  long Dword(const char* name) const {
    DWORD value = 0, size = sizeof value, type = 0;
    if (key_ == nullptr || RegQueryValueExA(key_, name, nullptr, &type,
                                            reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
        type != REG_DWORD) {
      return -1;
    }
    return static_cast<long>(value);
  }

 private:
  HKEY key_ = nullptr;
};

struct KeyCloser {
  void operator()(HKEY key) const { RegCloseKey(key); }
};
using KeyPtr = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;

void StoreDword(const std::string& path, const char* name, DWORD value) {
  HKEY raw = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                            KEY_WRITE, nullptr, &raw, nullptr),
            ERROR_SUCCESS);
  const KeyPtr key(raw);
  ASSERT_EQ(RegSetValueExA(key.get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                           sizeof value),
            ERROR_SUCCESS);
}

void DeleteKey(const std::string& path) { RegDeleteTreeA(HKEY_CURRENT_USER, path.c_str()); }

// A driver made the way the class factory makes it: settings loaded from the registry.
class LoadedDriver {
 public:
  LoadedDriver() : object_(new KsAsioDriver(nullptr)) {
    object_->NonDelegatingQueryInterface(kDriverClassId, reinterpret_cast<void**>(&asio_));
  }
  ~LoadedDriver() {
    if (asio_ != nullptr) asio_->Release();
  }
  LoadedDriver(const LoadedDriver&) = delete;
  LoadedDriver& operator=(const LoadedDriver&) = delete;
  IASIO* operator->() const { return asio_; }
  IASIO* Get() const { return asio_; }

 private:
  KsAsioDriver* object_;
  IASIO* asio_ = nullptr;
};

long PreferredSize(IASIO* driver) {
  long min = 0, max = 0, preferred = 0, granularity = 0;
  driver->getBufferSize(&min, &max, &preferred, &granularity);
  return preferred;
}

double Rate(IASIO* driver) {
  ASIOSampleRate rate = 0.0;
  driver->getSampleRate(&rate);
  return rate;
}

ASIOSampleType SampleType(IASIO* driver) {
  ASIOChannelInfo info{};
  info.channel = 0;
  info.isInput = ASIOTrue;
  driver->getChannelInfo(&info);
  return info.type;
}

// ---------------------------------------------------------------------------------------------
// The settings key

TEST(SettingsKey, HostFileNameFollowsTheBase) {
  EXPECT_EQ(KeyFor("\\Device\\HarddiskVolume1\\Program Files\\Host\\Host.exe"),
            "Software\\Corvane\\TX880 ASIO driver\\Host.exe");
  EXPECT_EQ(KeyFor("Plain.exe"), "Software\\Corvane\\TX880 ASIO driver\\Plain.exe");
  EXPECT_NE(KeyFor("C:\\a\\One.exe"), KeyFor("C:\\a\\Two.exe"));
}

TEST(SettingsKey, WithoutAnImageNameTheBaseAlone) {
  char key[kSettingsKeySize] = {};
  BuildSettingsKey(nullptr, key);
  EXPECT_STREQ(key, "Software\\Corvane\\TX880 ASIO driver\\");
}

TEST(SettingsKey, LongNamesAreCutAt259Characters) {
  const std::string name = "\\dir\\" + std::string(400, 'x') + ".exe";
  const std::string key = KeyFor(name);
  EXPECT_EQ(key.size(), 259u);
  EXPECT_EQ(key.substr(0, 35), "Software\\Corvane\\TX880 ASIO driver\\");
  EXPECT_EQ(key.back(), 'x');
}

TEST(SettingsKey, CurrentImageNameIsThisProgram) {
  char name[MAX_PATH] = {};
  ASSERT_TRUE(CurrentImageName(name, MAX_PATH));
  EXPECT_EQ(KeyFor(name), KeyFor(ExeFileName()));
}

// ---------------------------------------------------------------------------------------------
// Loading and saving, through this program's own key

class SettingsStoreTest : public ::testing::Test {
 protected:
  void SetUp() override { DeleteKey(key); }
  void TearDown() override { DeleteKey(key); }
  const std::string key = KeyFor(ExeFileName());
};

TEST_F(SettingsStoreTest, NothingStoredStartsAt44100Hz24Bits512Frames) {
  LoadedDriver driver;
  ASSERT_NE(driver.Get(), nullptr);
  EXPECT_EQ(Rate(driver.Get()), 44100.0);
  EXPECT_EQ(SampleType(driver.Get()), ASIOSTInt24LSB);
  EXPECT_EQ(PreferredSize(driver.Get()), 512);
  EXPECT_FALSE(Key(key).Exists());  // loading writes nothing
}

TEST_F(SettingsStoreTest, StoredValuesAreUsed) {
  StoreDword(key, "Latency", 1);
  StoreDword(key, "SampleWordSize", 2);
  LoadedDriver driver;
  EXPECT_EQ(PreferredSize(driver.Get()), 128);
  EXPECT_EQ(SampleType(driver.Get()), ASIOSTInt16LSB);
  long in = 0, out = 0;
  driver->getLatencies(&in, &out);
  EXPECT_EQ(in, 192 * 2 + 44100 / 800);
}

// A stored rate the host never chose through canSampleRate is still run: the driver keeps it
// (canSampleRate keeps offering 44100 only) until the host sets 44100, which is then stored.
TEST_F(SettingsStoreTest, StoredRate48000IsUsedUntilTheHostSets44100) {
  StoreDword(key, "SampleRate", 48000);
  {
    LoadedDriver driver;
    EXPECT_EQ(Rate(driver.Get()), 48000.0);
    EXPECT_EQ(driver->canSampleRate(48000.0), ASE_NoClock);
    EXPECT_EQ(driver->setSampleRate(44100.0), ASE_OK);
    EXPECT_EQ(Rate(driver.Get()), 44100.0);
    EXPECT_EQ(Key(key).Dword("SampleRate"), 44100);
    EXPECT_EQ(Key(key).Dword("SampleWordSize"), 3);
    EXPECT_EQ(Key(key).Dword("Latency"), 3);
  }
  LoadedDriver again;
  EXPECT_EQ(Rate(again.Get()), 44100.0);
}

TEST_F(SettingsStoreTest, SavingWritesBackTheWordSizeAsRead) {
  StoreDword(key, "SampleWordSize", 2);
  StoreDword(key, "Latency", 5);
  LoadedDriver driver;
  EXPECT_EQ(driver->setSampleRate(44100.0), ASE_OK);
  EXPECT_EQ(Key(key).Dword("SampleWordSize"), 2);
  EXPECT_EQ(Key(key).Dword("Latency"), 5);
  EXPECT_EQ(Key(key).Dword("SampleRate"), 44100);
}

struct OutOfRangeCase {
  const char* name;
  const char* value;
  DWORD stored;
};

class OutOfRangeTest : public SettingsStoreTest,
                       public ::testing::WithParamInterface<OutOfRangeCase> {};

// Each bad value keeps its default while a good value beside it is still used.
TEST_P(OutOfRangeTest, IsIgnored) {
  const OutOfRangeCase& c = GetParam();
  StoreDword(key, c.value, c.stored);
  const bool latencyBad = std::strcmp(c.value, "Latency") == 0;
  StoreDword(key, latencyBad ? "SampleWordSize" : "Latency", latencyBad ? 2 : 4);
  LoadedDriver driver;
  EXPECT_EQ(Rate(driver.Get()), 44100.0);
  EXPECT_EQ(PreferredSize(driver.Get()), latencyBad ? 512 : 1024);
  EXPECT_EQ(SampleType(driver.Get()), latencyBad ? ASIOSTInt16LSB : ASIOSTInt24LSB);
}

INSTANTIATE_TEST_SUITE_P(
    Values, OutOfRangeTest,
    ::testing::Values(OutOfRangeCase{"latency6", "Latency", 6},
                      OutOfRangeCase{"latencyHuge", "Latency", 0xFFFFFFFFu},
                      OutOfRangeCase{"wordSize4", "SampleWordSize", 4},
                      OutOfRangeCase{"wordSize1", "SampleWordSize", 1},
                      OutOfRangeCase{"rateZero", "SampleRate", 0},
                      OutOfRangeCase{"rateNegative", "SampleRate", 0xFFFFFFFFu}),
    [](const auto& info) { return std::string(info.param.name); });

// Two programs: this one copied under two names, each run saving and reporting its own setting.
class ProgramCopy {
 public:
  explicit ProgramCopy(const std::string& fileName) {
    const std::string exe = ExePath();
    path_ = exe.substr(0, exe.find_last_of('\\') + 1) + fileName;
    copied_ = CopyFileA(exe.c_str(), path_.c_str(), FALSE) != FALSE;
  }
  ~ProgramCopy() { DeleteFileA(path_.c_str()); }
  ProgramCopy(const ProgramCopy&) = delete;
  ProgramCopy& operator=(const ProgramCopy&) = delete;
  bool Copied() const { return copied_; }

  // The exit code of the copy run with `arguments`; -1 when it cannot run.
  long Run(const std::string& arguments) const {
    std::string command = "\"" + path_ + "\" " + arguments;
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
      return -1;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 0;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return static_cast<long>(code);
  }

 private:
  std::string path_;
  bool copied_ = false;
};

TEST(TwoHosts, KeepSeparateSettingsAndFindThemAgain) {
  const ProgramCopy alpha("tx880_host_alpha.exe");
  const ProgramCopy beta("tx880_host_beta.exe");
  ASSERT_TRUE(alpha.Copied());
  ASSERT_TRUE(beta.Copied());
  DeleteKey(KeyFor("tx880_host_alpha.exe"));
  DeleteKey(KeyFor("tx880_host_beta.exe"));

  EXPECT_EQ(alpha.Run(std::string(kChildSave) + " 1"), 0);
  EXPECT_EQ(beta.Run(std::string(kChildSave) + " 4"), 0);
  EXPECT_EQ(Key(KeyFor("tx880_host_alpha.exe")).Dword("Latency"), 1);
  EXPECT_EQ(Key(KeyFor("tx880_host_beta.exe")).Dword("Latency"), 4);
  // Started again, each finds its own: the exit code is the preferred buffer size.
  EXPECT_EQ(alpha.Run(kChildReport), 128);
  EXPECT_EQ(beta.Run(kChildReport), 1024);
  DeleteKey(KeyFor("tx880_host_alpha.exe"));
  DeleteKey(KeyFor("tx880_host_beta.exe"));
}

// ---------------------------------------------------------------------------------------------
// The control panel, shown under the test display

TEST(LatencyTextTest, SixPositionsAt44100Hz) {
  const char* expected[] = {"5.6ms", "10.0ms", "18.7ms", "36.1ms", "70.9ms", "140.6ms"};
  for (long p = 0; p < 6; ++p) EXPECT_EQ(LatencyText(p, 44100), expected[p]) << p;
  EXPECT_EQ(LatencyText(1, 22050), "18.6ms");  // (384 + 27) frames
}

std::string WindowText(HWND window) {
  char text[64] = {};
  GetWindowTextA(window, text, sizeof text);
  return text;
}

struct FindDialog {
  HWND found = nullptr;
  static BOOL CALLBACK Visit(HWND window, LPARAM context) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    char className[32] = {};
    GetClassNameA(window, className, sizeof className);
    if (process == GetCurrentProcessId() && std::strcmp(className, "#32770") == 0 &&
        IsWindowVisible(window)) {
      reinterpret_cast<FindDialog*>(context)->found = window;
      return FALSE;
    }
    return TRUE;
  }
};

// The visible panel of this process; null when none appears within the safety bound.
HWND WaitForPanel() {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kSafetyMs);
  while (std::chrono::steady_clock::now() < deadline) {
    FindDialog find;
    EnumWindows(&FindDialog::Visit, reinterpret_cast<LPARAM>(&find));
    if (find.found != nullptr) return find.found;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return nullptr;
}

std::string ArtifactPath(const std::string& file) {
  char dir[MAX_PATH] = {};
  const DWORD length = GetEnvironmentVariableA("ZEV_ARTIFACTS_DIR", dir, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  std::string path = dir;
  if (!path.empty() && path[0] == '/') {
    for (char& c : path) c = c == '/' ? '\\' : c;
    path = "Z:" + path;
  }
  return path + "\\" + file;
}

struct ScreenDcRelease {
  void operator()(HDC dc) const { ReleaseDC(nullptr, dc); }
};
struct DcDelete {
  void operator()(HDC dc) const { DeleteDC(dc); }
};
struct ObjectDelete {
  void operator()(HBITMAP object) const { DeleteObject(object); }
};

// The dialog as it is on the screen, kept as a BMP among the test's artifacts.
void KeepScreenshot(HWND dialog, const std::string& file) {
  const std::string path = ArtifactPath(file);
  if (path.empty()) return;
  RedrawWindow(dialog, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN |
                                             RDW_UPDATENOW | RDW_FRAME);
  RECT rect{};
  GetWindowRect(dialog, &rect);
  const int width = rect.right - rect.left, height = rect.bottom - rect.top;
  if (width <= 0 || height <= 0) return;
  const std::unique_ptr<HDC__, ScreenDcRelease> screen(GetDC(nullptr));
  const std::unique_ptr<HDC__, DcDelete> memory(CreateCompatibleDC(screen.get()));
  const std::unique_ptr<HBITMAP__, ObjectDelete> bitmap(
      CreateCompatibleBitmap(screen.get(), width, height));
  if (!screen || !memory || !bitmap) return;
  const HGDIOBJ old = SelectObject(memory.get(), bitmap.get());
  BitBlt(memory.get(), 0, 0, width, height, screen.get(), rect.left, rect.top, SRCCOPY);
  SelectObject(memory.get(), old);
  BITMAPINFOHEADER header{};
  header.biSize = sizeof header;
  header.biWidth = width;
  header.biHeight = height;
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biCompression = BI_RGB;
  const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
  std::vector<char> pixels(static_cast<std::size_t>(stride) * height);
  GetDIBits(memory.get(), bitmap.get(), 0, height, pixels.data(),
            reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS);
  BITMAPFILEHEADER fileHeader{};
  fileHeader.bfType = 0x4D42;
  fileHeader.bfOffBits = sizeof fileHeader + sizeof header;
  fileHeader.bfSize = fileHeader.bfOffBits + static_cast<DWORD>(pixels.size());
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(&fileHeader), sizeof fileHeader);
  out.write(reinterpret_cast<const char*>(&header), sizeof header);
  out.write(pixels.data(), static_cast<std::streamsize>(pixels.size()));
}

long CountMessages(TestHost& host, long selector) {
  long count = 0;
  for (const MessageRecord& m : host.Messages()) count += m.selector == selector ? 1 : 0;
  return count;
}

class ControlPanelTest : public DriverTest {
 protected:
  void SetUp() override {
    DriverTest::SetUp();
    DeleteKey(key);
  }
  void TearDown() override {
    if (panelThread.joinable()) panelThread.join();
    DeleteKey(key);
  }

  // A driver streaming at the default setting, its panel open on another thread.
  HWND OpenPanelWhileStreaming(IASIO* driver) {
    EXPECT_EQ(driver->init(nullptr), ASIOTrue);
    EXPECT_EQ(host.CreateBuffers(driver, {Input(0), Output(0)}, 512, 3), ASE_OK);
    StartAndPrime(driver);
    panelThread = std::thread([this, driver] { panelResult = driver->controlPanel(); });
    return WaitForPanel();
  }

  bool PinsStopped() const {
    int stopped = 0;
    for (const auto& pin : device.PinInstances()) stopped += pin.open && pin.state == KSSTATE_STOP;
    return stopped == 2;
  }

  const std::string key = KeyFor(ExeFileName());
  std::thread panelThread;
  ASIOError panelResult = ASE_NotPresent;
};

TEST_F(ControlPanelTest, ShowsTheSettingsAndStopsStreamingWhileOpen) {
  DriverRef driver;
  const HWND panel = OpenPanelWhileStreaming(driver.Get());
  ASSERT_NE(panel, nullptr);
  EXPECT_TRUE(PinsStopped());
  EXPECT_EQ(WindowText(panel), " ");
  EXPECT_EQ(WindowText(GetDlgItem(panel, kPanelBuildInfoId)), "2.0.0");
  EXPECT_EQ(WindowText(GetDlgItem(panel, kPanelSampleRateId)), "44100");
  EXPECT_EQ(WindowText(GetDlgItem(panel, kPanelLatencyTextId)), "36.1ms");
  EXPECT_EQ(WindowText(GetDlgItem(panel, IDOK)), "&OK");
  EXPECT_EQ(WindowText(GetDlgItem(panel, IDCANCEL)), "&Cancel");
  const HWND slider = GetDlgItem(panel, kPanelSliderId);
  char className[32] = {};
  GetClassNameA(slider, className, sizeof className);
  EXPECT_STREQ(className, TRACKBAR_CLASSA);
  EXPECT_EQ(SendMessageW(slider, TBM_GETRANGEMIN, 0, 0), 0);
  EXPECT_EQ(SendMessageW(slider, TBM_GETRANGEMAX, 0, 0), 5);
  EXPECT_EQ(SendMessageW(slider, TBM_GETPOS, 0, 0), 3);
  EXPECT_NE(GetWindowLongW(panel, GWL_EXSTYLE) & WS_EX_TOPMOST, 0);
  // The banner holds our 400 x 83 picture.
  const auto banner = reinterpret_cast<HBITMAP>(
      SendMessageW(GetDlgItem(panel, kPanelBannerId), STM_GETIMAGE, IMAGE_BITMAP, 0));
  ASSERT_NE(banner, nullptr);
  BITMAP info{};
  ASSERT_NE(GetObjectW(banner, sizeof info, &info), 0);
  EXPECT_EQ(info.bmWidth, 400);
  EXPECT_EQ(info.bmHeight, 83);
  KeepScreenshot(panel, "control_panel.bmp");

  SendMessageW(GetDlgItem(panel, IDCANCEL), BM_CLICK, 0, 0);
  panelThread.join();
  EXPECT_EQ(panelResult, ASE_SUCCESS);
}

TEST_F(ControlPanelTest, MovingTheSliderFrom3To1AndOkStoresItAndTellsTheHost) {
  DriverRef driver;
  const HWND panel = OpenPanelWhileStreaming(driver.Get());
  ASSERT_NE(panel, nullptr);
  const HWND slider = GetDlgItem(panel, kPanelSliderId);
  // Two steps to the left with the keyboard: the trackbar reports each move to the dialog.
  SendMessageW(slider, WM_KEYDOWN, VK_LEFT, 0);
  SendMessageW(slider, WM_KEYUP, VK_LEFT, 0);
  SendMessageW(slider, WM_KEYDOWN, VK_LEFT, 0);
  SendMessageW(slider, WM_KEYUP, VK_LEFT, 0);
  EXPECT_EQ(SendMessageW(slider, TBM_GETPOS, 0, 0), 1);
  EXPECT_EQ(WindowText(GetDlgItem(panel, kPanelLatencyTextId)), "10.0ms");
  KeepScreenshot(panel, "control_panel_moved.bmp");

  SendMessageW(GetDlgItem(panel, IDOK), BM_CLICK, 0, 0);
  panelThread.join();
  EXPECT_EQ(panelResult, ASE_SUCCESS);
  EXPECT_EQ(Key(key).Dword("Latency"), 1);
  EXPECT_EQ(Key(key).Dword("SampleRate"), 44100);
  EXPECT_EQ(Key(key).Dword("SampleWordSize"), 3);
  std::vector<long> sent;
  for (const MessageRecord& m : host.Messages()) {
    if (m.selector == kAsioLatenciesChanged || m.selector == kAsioResetRequest) {
      sent.push_back(m.selector);
    }
  }
  EXPECT_EQ(sent, (std::vector<long>{kAsioLatenciesChanged, kAsioResetRequest}));
  EXPECT_EQ(PreferredSize(driver.Get()), 128);
  long in = 0, out = 0;
  driver->getLatencies(&in, &out);
  EXPECT_EQ(in, 384 + 55);
  // Left stopped for the host to rebuild its buffers.
  EXPECT_TRUE(driver.Object().WaitForStreamThreadEnd(0));
  EXPECT_TRUE(PinsStopped());
}

TEST_F(ControlPanelTest, OkWithoutAMoveSavesSendsNothingAndStreamsAgain) {
  DriverRef driver;
  const HWND panel = OpenPanelWhileStreaming(driver.Get());
  ASSERT_NE(panel, nullptr);
  const int switches = host.SwitchCount();
  SendMessageW(GetDlgItem(panel, IDOK), BM_CLICK, 0, 0);
  panelThread.join();
  EXPECT_EQ(panelResult, ASE_SUCCESS);
  EXPECT_EQ(Key(key).Dword("Latency"), 3);  // saved even though nothing changed
  EXPECT_EQ(CountMessages(host, kAsioLatenciesChanged), 0);
  EXPECT_EQ(CountMessages(host, kAsioResetRequest), 0);
  EXPECT_EQ(PreferredSize(driver.Get()), 512);
  // Running again: three new priming switches, the device running, and packets switching.
  ASSERT_TRUE(host.WaitForSwitches(switches + 3));
  ASSERT_TRUE(WaitForPinsRunning(device));
  AdvanceOnePacket(512);
  EXPECT_EQ(driver->stop(), ASE_OK);
}

TEST_F(ControlPanelTest, CancelAfterAMoveKeepsEverything) {
  DriverRef driver;
  const HWND panel = OpenPanelWhileStreaming(driver.Get());
  ASSERT_NE(panel, nullptr);
  const HWND slider = GetDlgItem(panel, kPanelSliderId);
  SendMessageW(slider, WM_KEYDOWN, VK_HOME, 0);
  EXPECT_EQ(WindowText(GetDlgItem(panel, kPanelLatencyTextId)), "5.6ms");
  SendMessageW(GetDlgItem(panel, IDCANCEL), BM_CLICK, 0, 0);
  panelThread.join();
  EXPECT_FALSE(Key(key).Exists());
  EXPECT_EQ(PreferredSize(driver.Get()), 512);
  EXPECT_EQ(CountMessages(host, kAsioResetRequest), 0);
  ASSERT_TRUE(WaitForPinsRunning(device));
  EXPECT_EQ(driver->stop(), ASE_OK);
}

// A host window of the panel's thread that calls controlPanel again while the panel is open.
IASIO* g_reentrantDriver = nullptr;
ASIOError g_reentrantResult = ASE_NotPresent;

LRESULT CALLBACK ReentrantHostProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_APP) {
    g_reentrantResult = g_reentrantDriver->controlPanel();
    return 1;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

int CountPanels() {
  struct Counter {
    int count = 0;
    static BOOL CALLBACK Visit(HWND window, LPARAM context) {
      DWORD process = 0;
      GetWindowThreadProcessId(window, &process);
      char className[32] = {};
      GetClassNameA(window, className, sizeof className);
      if (process == GetCurrentProcessId() && std::strcmp(className, "#32770") == 0) {
        ++reinterpret_cast<Counter*>(context)->count;
      }
      return TRUE;
    }
  } counter;
  EnumWindows(&Counter::Visit, reinterpret_cast<LPARAM>(&counter));
  return counter.count;
}

struct WindowDestroy {
  void operator()(HWND window) const { DestroyWindow(window); }
};

TEST_F(ControlPanelTest, ASecondCallWhileOpenReturnsAtOnce) {
  DriverRef driver;
  g_reentrantDriver = driver.Get();
  g_reentrantResult = ASE_NotPresent;
  std::atomic<HWND> hostWindow{nullptr};
  panelThread = std::thread([this, &driver, &hostWindow] {
    const std::unique_ptr<HWND__, WindowDestroy> window(CreateWindowExW(
        0, L"STATIC", L"host", WS_OVERLAPPED, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr));
    SetWindowLongPtrW(window.get(), GWLP_WNDPROC,
                      reinterpret_cast<LONG_PTR>(&ReentrantHostProc));
    driver->init(window.get());
    hostWindow = window.get();
    panelResult = driver->controlPanel();
  });
  const HWND panel = WaitForPanel();
  ASSERT_NE(panel, nullptr);
  EXPECT_EQ(GetWindow(panel, GW_OWNER), hostWindow.load());
  DWORD_PTR answer = 0;
  EXPECT_NE(SendMessageTimeoutW(hostWindow.load(), WM_APP, 0, 0, SMTO_NORMAL, kSafetyMs, &answer),
            0);
  EXPECT_EQ(g_reentrantResult, ASE_SUCCESS);
  EXPECT_EQ(CountPanels(), 1);
  SendMessageW(GetDlgItem(panel, IDCANCEL), BM_CLICK, 0, 0);
  panelThread.join();
  EXPECT_EQ(panelResult, ASE_SUCCESS);
}

TEST_F(ControlPanelTest, PanelShowsAStoredRate) {
  StoreDword(key, "SampleRate", 48000);
  StoreDword(key, "Latency", 0);
  LoadedDriver driver;
  panelThread = std::thread([this, &driver] { panelResult = driver->controlPanel(); });
  const HWND panel = WaitForPanel();
  ASSERT_NE(panel, nullptr);
  EXPECT_EQ(WindowText(GetDlgItem(panel, kPanelSampleRateId)), "48000");
  EXPECT_EQ(SendMessageW(GetDlgItem(panel, kPanelSliderId), TBM_GETPOS, 0, 0), 0);
  // (192 + 60) frames at 48000 Hz, not the 5.6 ms of 44100 Hz.
  EXPECT_EQ(WindowText(GetDlgItem(panel, kPanelLatencyTextId)), LatencyText(0, 48000));
  EXPECT_NE(LatencyText(0, 48000), LatencyText(0, 44100));
  SendMessageW(GetDlgItem(panel, IDCANCEL), BM_CLICK, 0, 0);
  panelThread.join();
}

}  // namespace

// Child modes for the two-host test: save a latency setting, or report the preferred size.
int RunChild(int argc, char** argv) {
  if (argc >= 3 && std::strcmp(argv[1], kChildSave) == 0) {
    DriverSettings settings;
    settings.latencySetting = std::atol(argv[2]);
    DriverRef driver(settings);
    return driver->setSampleRate(44100.0) == ASE_OK ? 0 : 1;
  }
  if (argc >= 2 && std::strcmp(argv[1], kChildReport) == 0) {
    LoadedDriver driver;
    return static_cast<int>(PreferredSize(driver.Get()));
  }
  return -1;
}

}  // namespace tx880::asio::test

int main(int argc, char** argv) {
  tx880::asio::test::FailOnUnhandledExceptions();
  const int child = tx880::asio::test::RunChild(argc, argv);
  if (child != -1) return child;
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
