#include <charconv>

#include "setup/engine/script_lists.h"
#include "setup/startup/language_file.h"

namespace zev {

namespace {

// Hands out the script's lines in order; past the end every read gives nothing.
class LineCursor {
 public:
  explicit LineCursor(std::vector<std::string> lines) : lines_(std::move(lines)) {}

  // The next line, or empty text when the file has ended.
  std::string Fixed() { return next_ < lines_.size() ? std::move(lines_[next_++]) : std::string(); }

  // Lines up to a line that is exactly "$" (consumed), or up to the end of the file.
  std::vector<std::string> List() {
    std::vector<std::string> list;
    while (next_ < lines_.size()) {
      std::string& line = lines_[next_++];
      if (line == "$") break;
      list.push_back(std::move(line));
    }
    return list;
  }

 private:
  std::vector<std::string> lines_;
  std::size_t next_ = 0;
};

// The media mode line: a decimal integer, 0 when it is anything else.
int MediaModeOf(const std::string& line) {
  const char* first = line.data();
  const char* last = line.data() + line.size();
  if (first != last && *first == '+' && last - first > 1 && first[1] != '-') ++first;
  int value = 0;
  auto [end, error] = std::from_chars(first, last, value);
  return (error == std::errc() && end == last) ? value : 0;
}

}  // namespace

ScriptLists ParseScript(std::string_view text) {
  LineCursor lines(SplitLines(text));
  ScriptLists script;
  script.CommandNames = lines.List();
  script.CommandIds = lines.List();

  std::vector<std::string> parameterLines = lines.List();
  // The file format has no escape for a lone "$": the authoring tool writes these instead.
  for (auto& line : parameterLines)
    if (line == "$WILD_DOLLAR$" || line == "$DOLLAR$") line = "$";
  script.ParameterLines.Add(std::move(parameterLines));

  script.CommandFlags = lines.List();
  script.productCode = lines.Fixed();
  script.productTitle = lines.Fixed();
  script.PluginCommands = NameList(lines.List());

  auto& info = script.productInformation;
  for (std::string* field : {&info.company, &info.supportContact, &info.helpLink,
                             &info.updateInfoLink, &info.comments, &info.version})
    *field = lines.Fixed();

  script.WebMediaKeys = lines.List();
  script.CommandMedia = lines.List();
  script.mediaMode = MediaModeOf(lines.Fixed());
  script.ComponentSizes = lines.List();
  script.revisionCode = lines.Fixed();
  script.MediaFiles = lines.List();
  script.languageDialogFlag = lines.Fixed();
  script.defaultLanguage = lines.Fixed();
  script.CommandHeaders = lines.List();
  script.CompilerVariables = lines.List();
  return script;
}

ScriptLists ReadScript(platform::FileSystem& files, const std::string& path) {
  auto input = files.OpenForReading(path);
  std::string text;
  text.resize(static_cast<std::size_t>(input->Size()));
  std::size_t got = 0;
  while (got < text.size()) {
    std::size_t read = input->Read(text.data() + got, text.size() - got);
    if (read == 0) break;
    got += read;
  }
  text.resize(got);
  return ParseScript(text);
}

}  // namespace zev
