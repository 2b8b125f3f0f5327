#include "setup/platform/sim/sim_user_interface.h"

#include <cstdint>
#include <algorithm>
#include <cstdlib>

#include "setup/platform/error.h"

namespace zev::sim {

namespace {

std::int32_t ReadInt32(const std::string& bytes, std::size_t offset) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 4; ++i)
    value |= std::uint32_t{static_cast<unsigned char>(bytes[offset + i])} << (8 * i);
  return static_cast<std::int32_t>(value);
}

class SimStartupWindows : public platform::StartupWindows {
 public:
  SimStartupWindows(SimUserInterface& ui, SimFileSystem& files, std::size_t record)
      : ui_(ui), files_(files), record_(record) {}

  std::optional<platform::Size> LoadSplashBitmap(const std::string& path) override {
    std::optional<platform::Size> size;
    try {
      size = BitmapSize(files_.ReadText(path));
    } catch (const Error&) {
    }
    Record().splashSize = size;
    return size;
  }
  platform::Size PreparationSize() override { return ui_.preparationSize; }
  void ShowSplash(platform::Point at) override { Record().splashAt = at; }
  void ShowPreparation(platform::Point at) override { Record().preparationAt = at; }
  bool SplashVisible() override { return Record().splashAt.has_value() && !Record().closed; }
  void SetProgress(int minimum, int maximum, int position) override {
    Record().progressMin = minimum;
    Record().progressMax = maximum;
    Record().progressPosition = position;
  }
  // Like a real progress bar, the position stays within the range.
  void StepProgress() override {
    Record().progressPosition = std::min(Record().progressPosition + 1, Record().progressMax);
  }
  void Repaint() override { ++Record().repaints; }
  platform::WindowHandle PreparationWindow() override { return SimUserInterface::kPreparationHandle; }
  void Close() override { Record().closed = true; }

 private:
  StartupWindowRecord& Record() { return ui_.startupWindows[record_]; }

  SimUserInterface& ui_;
  SimFileSystem& files_;
  std::size_t record_;
};

}  // namespace

std::optional<platform::Size> BitmapSize(const std::string& bytes) {
  constexpr std::size_t kInfoHeader = 14;
  if (bytes.size() < kInfoHeader + 12 || bytes[0] != 'B' || bytes[1] != 'M') return std::nullopt;
  std::int32_t width = ReadInt32(bytes, kInfoHeader + 4);
  std::int32_t height = ReadInt32(bytes, kInfoHeader + 8);
  if (width <= 0 || height == 0 || height == INT32_MIN) return std::nullopt;
  return platform::Size{width, std::abs(height)};
}

std::unique_ptr<platform::StartupWindows> SimUserInterface::CreateStartupWindows(
    const platform::StartupTexts& texts) {
  startupWindows.push_back({texts});
  return std::make_unique<SimStartupWindows>(*this, files_, startupWindows.size() - 1);
}

void SimUserInterface::ShowError(const std::string& caption, const std::string& text,
                                 platform::WindowHandle owner) {
  messages.push_back({caption, text, owner});
}

}  // namespace zev::sim
