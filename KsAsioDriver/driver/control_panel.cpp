#include "KsAsioDriver/driver/control_panel.h"

#include <commctrl.h>

#include <cstdio>

#include "KsAsioDriver/driver/ks_asio_driver.h"

namespace tx880::asio {

namespace {

// The module that holds the dialog template: the driver DLL, or a program linking the driver.
HINSTANCE ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                         GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&ThisModule), &module);
  return module;
}

}  // namespace

std::string LatencyText(long position, long sampleRate) {
  if (sampleRate <= 0) return {};
  const long frames = LatencyOfSetting(position, sampleRate);
  const float ms = static_cast<float>(static_cast<double>(frames) * 1000.0 / sampleRate);
  char text[20] = {};
  std::snprintf(text, sizeof text, "%.1fms", static_cast<double>(ms));
  return text;
}

ControlPanel::ControlPanel(IASIO& driver, long latencySetting)
    : driver_(driver), chosen_(latencySetting) {}

INT_PTR ControlPanel::Show(HWND owner) {
  // The trackbar class lives in comctl32 and must be registered before the dialog is built.
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES};
  InitCommonControlsEx(&controls);
  return DialogBoxParamW(ThisModule(), MAKEINTRESOURCEW(kPanelTemplateId), owner,
                         &ControlPanel::StaticDialogProc, reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK ControlPanel::StaticDialogProc(HWND window, UINT message, WPARAM wParam,
                                                LPARAM lParam) {
  if (message == WM_INITDIALOG) SetWindowLongPtrW(window, DWLP_USER, lParam);
  auto* panel = reinterpret_cast<ControlPanel*>(GetWindowLongPtrW(window, DWLP_USER));
  if (panel == nullptr) return FALSE;
  return panel->DialogProc(window, message, wParam, lParam);
}

long ControlPanel::SampleRate() const {
  ASIOSampleRate rate = 0.0;
  driver_.getSampleRate(&rate);
  return static_cast<long>(rate);
}

void ControlPanel::UpdateLatencyText() {
  if (slider_ == nullptr || latencyText_ == nullptr) return;
  const auto position = static_cast<long>(SendMessageW(slider_, TBM_GETPOS, 0, 0));
  SetWindowTextA(latencyText_, LatencyText(position, SampleRate()).c_str());
}

INT_PTR ControlPanel::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: {
      sampleRateText_ = GetDlgItem(window, kPanelSampleRateId);
      slider_ = GetDlgItem(window, kPanelSliderId);
      latencyText_ = GetDlgItem(window, kPanelLatencyTextId);
      banner_ = GetDlgItem(window, kPanelBannerId);
      SetDlgItemTextA(window, kPanelBuildInfoId, kPanelBuildInfo);
      char rate[16] = {};
      std::snprintf(rate, sizeof rate, "%d", static_cast<int>(SampleRate()));
      if (sampleRateText_ != nullptr) SetWindowTextA(sampleRateText_, rate);
      if (slider_ != nullptr) {
        SendMessageW(slider_, TBM_SETRANGEMAX, TRUE, kPositions - 1);
        SendMessageW(slider_, TBM_SETRANGEMIN, TRUE, 0);
        SendMessageW(slider_, TBM_SETTICFREQ, 1, 0);
        SendMessageW(slider_, TBM_SETPOS, TRUE, chosen_);
      }
      UpdateLatencyText();
      return TRUE;
    }
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK:
          if (slider_ != nullptr) {
            chosen_ = static_cast<long>(SendMessageW(slider_, TBM_GETPOS, 0, 0));
          }
          EndDialog(window, IDOK);
          return TRUE;
        case IDCANCEL:
          EndDialog(window, IDCANCEL);
          return TRUE;
        default:
          UpdateLatencyText();
          return FALSE;
      }
    case WM_HSCROLL:
      UpdateLatencyText();
      return FALSE;
    default:
      return FALSE;
  }
}

}  // namespace tx880::asio

namespace tx880::asio {

ASIOError KsAsioDriver::controlPanel() {
  const bool wasRunning = running_.load();
  if (wasRunning) stop();
  // A host may call again from a window message while the modal dialog runs.
  if (panelOpen_) return ASE_SUCCESS;
  panelOpen_ = true;
  const long before = latencySetting_;
  ControlPanel panel(*this, latencySetting_);
  if (panel.Show(ownerWindow_) == IDOK) {
    latencySetting_ = panel.ChosenPosition();
    SaveSettings();
    if (latencySetting_ != before) {
      // Existing buffers keep their size; the reset request makes the host rebuild them.
      preferredBufferSize_ = BufferSizeOfSetting(latencySetting_);
      ASIOCallbacks* callbacks = callbacks_.load();
      if (callbacks != nullptr && callbacks->asioMessage != nullptr) {
        callbacks->asioMessage(kAsioLatenciesChanged, 0, nullptr, nullptr);
        callbacks->asioMessage(kAsioResetRequest, 0, nullptr, nullptr);
      }
    }
  }
  panelOpen_ = false;
  if (latencySetting_ == before && wasRunning) start();
  return ASE_SUCCESS;
}

}  // namespace tx880::asio
