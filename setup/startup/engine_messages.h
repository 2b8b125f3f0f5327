#pragma once
#include <array>
#include <cstddef>
#include <string>
#include <vector>

namespace zev {

// The engine's own user-visible texts, numbered from 1 as in the language files.
enum class Msg : std::size_t {
  CommonControlsMissing = 1,
  ResourceNotFound = 2,
  ResourceDecompressionFailure = 3,
  DatabaseNotFound = 4,
  RuntimeErrorInInstall = 5,
  Bytes = 6,
  Kilobytes = 7,
  Megabytes = 8,
  GetUndefinedVariable = 9,
  SetUndefinedVariable = 10,
  Copying = 11,
  CopyFailed = 12,
  DownloadingWebMedia = 13,
  DownloadFailed = 14,
  ExtractingWebMedia = 15,
  ExtractFailed = 16,
  LocateSources = 17,
  SourcesNotFound = 18,
  GeneralSetupFailure = 19,
  RuntimeErrorInScript = 20,
  PercentComplete = 21,
  BytesReceived = 22,
  WizardCaption = 23,
  PreparingWizard = 24,
};

class EngineMessages {
 public:
  static constexpr std::size_t kCount = 115;
  // Block lines that a language file carries but the engine does not take.
  static constexpr std::size_t kFirstIgnoredLine = 91;
  static constexpr std::size_t kLastIgnoredLine = 111;

  EngineMessages();

  // Entry n (1-based); empty for a number outside the table.
  const std::string& Get(std::size_t number) const;
  const std::string& Get(Msg message) const;
  // Replaces the table from one language block of exactly kCount lines.
  void ApplyBlock(const std::vector<std::string>& block);

 private:
  std::array<std::string, kCount> texts_;
};

}  // namespace zev
