#include "setup/engine/variable_dump.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "setup/platform/text_util.h"

namespace zev {

namespace {

std::string Escaped(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '\r': out += "\\r"; break;
      case '\n': out += "\\n"; break;
      case '\t': out += "\\t"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
          char hex[8];
          std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned>(static_cast<unsigned char>(c)));
          out += hex;
        } else {
          out += c;
        }
    }
  }
  return out;
}

}  // namespace

std::string DumpVariables(const TVariableManager& store) {
  std::vector<std::string> pairs;
  store.ExportPairs(pairs);
  std::vector<std::pair<std::string, std::string>> variables;
  for (std::size_t i = 0; i + 1 < pairs.size(); i += 2) variables.emplace_back(pairs[i], pairs[i + 1]);
  std::sort(variables.begin(), variables.end(), [](const auto& a, const auto& b) {
    return ToUpperAscii(a.first) < ToUpperAscii(b.first);
  });
  std::string dump;
  for (const auto& [name, value] : variables) dump += Escaped(name) + "=" + Escaped(value) + "\n";
  return dump;
}

}  // namespace zev
