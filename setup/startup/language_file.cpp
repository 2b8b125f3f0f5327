#include "setup/startup/language_file.h"

#include <utility>

#include "setup/platform/error.h"
#include "setup/platform/file_text.h"
#include "setup/platform/text_util.h"

namespace zev {

namespace {

constexpr std::pair<int, const char*> kLanguages[] = {
    {1025, "Arabic"},          {1027, "Catalan"},   {1028, "Chinese (Taiwan)"},
    {2052, "Chinese (PRC)"},   {1029, "Czech"},     {1030, "Danish"},
    {1031, "German"},          {1032, "Greek"},     {1033, "English"},
    {3082, "Spanish"},         {1035, "Finnish"},   {1036, "French"},
    {1037, "Hebrew"},          {1038, "Hungarian"}, {1040, "Italian"},
    {1041, "Japanese"},        {1042, "Korean"},    {1063, "Lithuanian"},
    {1062, "Latvian"},         {1043, "Dutch"},     {1044, "Norwegian"},
    {1045, "Polish"},          {1046, "Portugese (Brazil)"}, {2070, "Portugese (Portugal)"},
    {1048, "Romanian"},        {1049, "Russian"},   {1050, "Croatian"},
    {1051, "Slovak"},          {1053, "Swedish"},   {1054, "Thai"},
    {1055, "Turkish"},         {1060, "Slovenian"}, {1066, "Vietnamese"},
    {1069, "Basque"},          {1061, "Estonian"},
};

const char* TableName(int languageId) {
  for (const auto& [id, name] : kLanguages)
    if (id == languageId) return name;
  return nullptr;
}


}  // namespace

std::string LanguageName(int languageId, platform::SystemInfo& system) {
  if (const char* name = TableName(languageId)) return name;
  int mapped = LanguageIdFromName(system.EnglishLanguageName(languageId));
  if (mapped == 1033) return {};
  const char* name = TableName(mapped);
  return name ? name : std::string();
}

int LanguageIdFromName(std::string_view name) {
  for (const auto& [id, tableName] : kLanguages)
    if (EqualsIgnoreCase(name, tableName)) return id;
  return 1033;
}

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    auto end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::size_t stop = end;
    if (stop > start && text[stop - 1] == '\r') --stop;
    lines.emplace_back(text.substr(start, stop - start));
    start = end + 1;
  }
  return lines;
}

void LoadLanguageFile(platform::FileSystem& files, platform::SystemInfo& system,
                      const std::string& path, EngineMessages& messages) {
  std::vector<std::string> lines;
  try {
    lines = SplitLines(platform::ReadWholeFile(files, path));
  } catch (const Error&) {
    return;
  }
  constexpr std::size_t kBlock = EngineMessages::kCount;
  auto takeBlock = [&](std::size_t first) {
    if (lines.size() - first < kBlock) return false;
    messages.ApplyBlock({lines.begin() + first, lines.begin() + first + kBlock});
    return true;
  };
  if (lines.size() < kBlock || !takeBlock(0)) return;

  const std::string wanted = ToUpperAscii(LanguageName(system.UserLanguageId(false), system));
  for (std::size_t next = kBlock; next < lines.size();) {
    const std::string& name = lines[next];
    if (!takeBlock(next + 1)) return;
    if (ToUpperAscii(name) == wanted) return;
    next += 1 + kBlock;
  }
}

}  // namespace zev
