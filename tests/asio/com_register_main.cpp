// com_register DLL register|unregister: loads the DLL, calls DllRegisterServer or
// DllUnregisterServer, and answers each message box the call shows by printing its caption and
// text and pressing OK. Prints "result 0x...."; exits 0 on S_OK, 1 on a failed call, 2 when the
// DLL or its export cannot be had.
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <thread>

namespace {

std::atomic<bool> g_done{false};

BOOL CALLBACK AnswerBox(HWND window, LPARAM) {
  char className[32] = {};
  GetClassNameA(window, className, sizeof className);
  if (std::strcmp(className, "#32770") != 0 || !IsWindowVisible(window)) return TRUE;
  char caption[128] = {};
  char text[256] = {};
  GetWindowTextA(window, caption, sizeof caption);
  GetDlgItemTextA(window, 0xFFFF, text, sizeof text);  // the message box's text control
  std::printf("box \"%s\": %s\n", caption, text);
  std::fflush(stdout);
  PostMessageA(window, WM_COMMAND, IDOK, 0);
  return TRUE;
}

// Watches this process's threads for message boxes while the call runs.
void WatchBoxes(DWORD threadId) {
  while (!g_done.load()) {
    EnumThreadWindows(threadId, &AnswerBox, 0);
    Sleep(100);
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 || (std::strcmp(argv[2], "register") != 0 &&
                    std::strcmp(argv[2], "unregister") != 0)) {
    std::fprintf(stderr, "usage: com_register DLL register|unregister\n");
    return 2;
  }
  const HMODULE module = LoadLibraryA(argv[1]);
  if (module == nullptr) {
    std::fprintf(stderr, "com_register: cannot load %s (%lu)\n", argv[1], GetLastError());
    return 2;
  }
  const char* exportName =
      std::strcmp(argv[2], "register") == 0 ? "DllRegisterServer" : "DllUnregisterServer";
  using ServerFn = HRESULT(STDAPICALLTYPE*)();
  const auto call = reinterpret_cast<ServerFn>(
      reinterpret_cast<void*>(GetProcAddress(module, exportName)));
  if (call == nullptr) {
    std::fprintf(stderr, "com_register: no %s\n", exportName);
    FreeLibrary(module);
    return 2;
  }
  std::thread watcher(WatchBoxes, GetCurrentThreadId());
  const HRESULT result = call();
  g_done.store(true);
  watcher.join();
  std::printf("result 0x%08lX\n", static_cast<unsigned long>(result));
  FreeLibrary(module);
  return result == S_OK ? 0 : 1;
}
