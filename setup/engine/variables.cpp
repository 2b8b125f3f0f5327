#include "setup/engine/variables.h"

#include <limits>

#include "setup/platform/text_util.h"

namespace zev {

void CreateProgressVariables(TVariableManager& store) {
  store.Set(kProgressVariable, "0");
  store.Set(kProgressMaxVariable, "100");
  store.Set(kProgressMinVariable, "0");
  store.Set(kProgressTextVariable, "");
  store.Set(kFinishedVariable, "FALSE");
  store.Set(kCancelledVariable, "FALSE");
}

Variables::Variables(TVariableManager& store, std::vector<std::string> overrides, bool silent)
    : store_(store), overrides_(std::move(overrides)), silent_(silent) {}

std::string Variables::GetVariable(std::string_view name) const { return store_.Get(name); }

void Variables::SetVariable(std::string_view name, std::string_view value,
                            std::string_view origin) {
  if (name.empty()) return;
  if (store_.Exists(name))
    AssignVariable(name, value, origin);
  else
    store_.Set(name, value);
}

void Variables::AssignVariable(std::string_view name, std::string_view value,
                               std::string_view origin) {
  if (Silent() && origin != kOriginCommandLineOverride && IsCommandLineName(name)) return;
  store_.Set(name, value);
}

bool Variables::IsCommandLineName(std::string_view name) const {
  // Only the NAME positions count; a VALUE that happens to equal the name does not.
  for (std::size_t i = 0; i < overrides_.size(); i += 2)
    if (EqualsIgnoreCase(overrides_[i], name)) return true;
  return false;
}

std::string Variables::ExpandPath(std::string_view text) const {
  std::string expanded = Expand(text);
  bool unc = expanded.starts_with("\\\\");
  std::string result;
  result.reserve(expanded.size() + 1);
  if (unc) result += '\\';
  for (std::size_t i = 0; i < expanded.size(); ++i) {
    result += expanded[i];
    if (expanded[i] == '\\' && i + 1 < expanded.size() && expanded[i + 1] == '\\') ++i;
  }
  return result;
}

std::optional<std::string> Variables::ExpandedValue(std::string_view text) const {
  auto value = store_.Find(VariableNameOf(text));
  if (!value) return std::nullopt;
  return Expand(*value);
}

std::string Variables::VariableValue(std::string_view text) const {
  return ExpandedValue(text).value_or(std::string());
}

std::string Variables::VariableValueOrMarker(std::string_view text) const {
  return ExpandedValue(text).value_or(std::string(kAbsentVariableMarker));
}

std::string StripReference(std::string_view text) {
  if (text.size() < 2 || text.front() != '$' || text.find('$', 1) != text.size() - 1) return {};
  return std::string(text.substr(1, text.size() - 2));
}

std::string VariableNameOf(std::string_view text) {
  std::string name = StripReference(text);
  return name.empty() ? std::string(text) : name;
}

bool IsTrue(std::string_view text) { return EqualsIgnoreCase(text, "TRUE") || text == "-1"; }

std::string BoolText(bool value) { return value ? "TRUE" : "FALSE"; }

std::string NewlinesToText(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      result += kNewlineMarker;
      ++i;
    } else {
      result += text[i];
    }
  }
  return result;
}

std::string TextToNewlines(std::string_view text) {
  std::string result;
  result.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    if (text[i] == '$' && EqualsIgnoreCase(text.substr(i, kNewlineMarker.size()), kNewlineMarker)) {
      result += "\r\n";
      i += kNewlineMarker.size();
    } else {
      result += text[i++];
    }
  }
  return result;
}

std::optional<std::int32_t> TextToInt32(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) return std::nullopt;
  // Accumulate the magnitude in 64 bits and stop as soon as it leaves the 32-bit range.
  constexpr std::int64_t limit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
  std::int64_t magnitude = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    magnitude = magnitude * 10 + (c - '0');
    if (magnitude > limit) return std::nullopt;
  }
  if (!negative && magnitude == limit) return std::nullopt;
  return static_cast<std::int32_t>(negative ? -magnitude : magnitude);
}

}  // namespace zev
