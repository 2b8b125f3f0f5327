#pragma once
// The driver's control panel: one modal dialog in which the user picks the buffering step and
// sees the latency it gives.
#include <windows.h>

#include <string>

#include "KsAsioDriver/driver/asio_abi.h"

namespace tx880::asio {

inline constexpr int kPanelTemplateId = 101;
inline constexpr int kPanelSliderId = 1001;
inline constexpr int kPanelBannerId = 1002;
inline constexpr int kPanelLatencyTextId = 1003;
inline constexpr int kPanelSampleRateId = 1005;
inline constexpr int kPanelBuildInfoId = 1023;
inline constexpr int kPanelBannerBitmapId = 1019;
inline constexpr char kPanelBuildInfo[] = "2.0.0";

// "5.6ms" ... "140.6ms" at 44100 Hz: the latency getLatencies reports for a slider position.
std::string LatencyText(long position, long sampleRate);

class ControlPanel {
 public:
  static constexpr int kPositions = 6;

  // `latencySetting` is the position the slider starts at; the sample rate comes from the driver.
  ControlPanel(IASIO& driver, long latencySetting);
  virtual ~ControlPanel() = default;
  ControlPanel(const ControlPanel&) = delete;
  ControlPanel& operator=(const ControlPanel&) = delete;

  virtual INT_PTR DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  // Runs the dialog modally from the module holding template 101; IDOK, IDCANCEL, or -1 when the
  // dialog cannot be shown.
  INT_PTR Show(HWND owner);
  // The slider position when OK was pressed.
  long ChosenPosition() const { return chosen_; }

 private:
  static INT_PTR CALLBACK StaticDialogProc(HWND window, UINT message, WPARAM wParam,
                                           LPARAM lParam);
  void UpdateLatencyText();
  long SampleRate() const;

  IASIO& driver_;
  HWND sampleRateText_ = nullptr;
  HWND slider_ = nullptr;
  HWND latencyText_ = nullptr;
  HWND banner_ = nullptr;
  long chosen_;
};

}  // namespace tx880::asio
