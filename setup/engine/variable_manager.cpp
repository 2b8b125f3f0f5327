#include "setup/engine/variable_manager.h"

#include <algorithm>

namespace zev {

namespace {

// The text an expansion has still to scan: the unscanned rest of the input, below the unscanned
// rests of inserted values (the most recent on top). A value is scanned before the text that
// followed its reference, and a reference may begin in a value and end after it, exactly as if
// the value had been written into the text in place of its reference.
class PendingText {
 public:
  explicit PendingText(std::string_view input) : input_(input) {}

  bool AtEnd() {
    DropFinished();
    return inserted_.empty() && input_.empty();
  }

  // Moves the text up to the next '$' (or the end) to out; true when a '$' is next.
  bool CopyToDollar(std::string& out) {
    while (!AtEnd()) {
      std::string_view rest = Current();
      auto dollar = rest.find('$');
      out.append(rest.substr(0, std::min(dollar, rest.size())));
      if (dollar != std::string_view::npos) {
        Advance(dollar);
        return true;
      }
      Advance(rest.size());
    }
    return false;
  }

  // Takes the text up to the next '$' without taking the '$'; false when no '$' follows.
  // The result points into the pending text when it lies in one piece, otherwise into spill.
  bool TakeToDollar(std::string_view& taken, std::string& spill) {
    if (AtEnd()) {
      taken = {};
      return false;
    }
    std::string_view rest = Current();
    auto dollar = rest.find('$');
    if (dollar != std::string_view::npos) {
      taken = rest.substr(0, dollar);
      Advance(dollar);
      return true;
    }
    spill.assign(rest);
    Advance(rest.size());
    bool found = false;
    while (!found && !AtEnd()) {
      rest = Current();
      auto piece = std::min(rest.find('$'), rest.size());
      found = false;
      spill.append(rest.substr(0, piece));
      Advance(piece);
    }
    taken = spill;
    return found;
  }

  void SkipOne() { Advance(1); }

  // Puts a value in front of the rest, to be scanned next.
  void Insert(std::string value) {
    DropFinished();
    inserted_.push_back({std::move(value), 0});
  }

  void CopyRest(std::string& out) {
    while (!AtEnd()) {
      std::string_view rest = Current();
      out.append(rest);
      Advance(rest.size());
    }
  }

 private:
  struct Piece {
    std::string text;
    std::size_t position;
  };

  std::string_view Current() const {
    if (inserted_.empty()) return input_;
    const Piece& top = inserted_.back();
    return std::string_view(top.text).substr(top.position);
  }

  void Advance(std::size_t count) {
    if (inserted_.empty())
      input_.remove_prefix(count);
    else
      inserted_.back().position += count;
  }

  void DropFinished() {
    while (!inserted_.empty() && inserted_.back().position >= inserted_.back().text.size())
      inserted_.pop_back();
  }

  std::string_view input_;
  std::vector<Piece> inserted_;
};

}  // namespace

bool TVariableManager::Exists(std::string_view name) const {
  std::lock_guard guard(lock_);
  return index_.find(name) != index_.end();
}

std::string TVariableManager::Get(std::string_view name) const {
  return Find(name).value_or(std::string());
}

std::optional<std::string> TVariableManager::Find(std::string_view name) const {
  std::lock_guard guard(lock_);
  auto found = index_.find(name);
  if (found == index_.end()) return std::nullopt;
  return entries_[found->second].value;
}

void TVariableManager::Set(std::string_view name, std::string_view value) {
  if (name.empty()) return;
  std::lock_guard guard(lock_);
  auto found = index_.find(name);
  if (found != index_.end()) {
    entries_[found->second].value.assign(value);
    return;
  }
  entries_.push_back({std::string(name), std::string(value)});
  index_.emplace(std::string(name), entries_.size() - 1);
}

void TVariableManager::Clear() {
  std::lock_guard guard(lock_);
  index_.clear();
  entries_.clear();
}

std::size_t TVariableManager::ExportPairs(std::vector<std::string>& list) const {
  std::lock_guard guard(lock_);
  list.reserve(list.size() + 2 * entries_.size());
  for (const auto& entry : entries_) {
    list.push_back(entry.name);
    list.push_back(entry.value);
  }
  return list.size();
}

std::string TVariableManager::Expand(std::string_view text) const { return ExpandWith(text, false); }

std::string TVariableManager::ExpandQuoted(std::string_view text) const {
  return ExpandWith(text, true);
}

std::string TVariableManager::ExpandWith(std::string_view text, bool quoted) const {
  if (text.find('$') == std::string_view::npos) return std::string(text);

  std::size_t replacementsLeft =
      limits_.baseReplacements + limits_.replacementsPerInputByte * text.size();
  std::size_t insertBytesLeft = limits_.maxInsertedBytes;

  std::string out;
  out.reserve(text.size());
  PendingText pending(text);
  std::string spill;
  std::string value;
  while (pending.CopyToDollar(out)) {
    pending.SkipOne();  // the opening '$'
    std::string_view name;
    if (!pending.TakeToDollar(name, spill)) {
      // No closing '$': nothing further can be a reference.
      out += '$';
      out.append(name);
      break;
    }
    bool found = false;
    if (!name.empty()) {
      std::lock_guard guard(lock_);
      auto entry = index_.find(name);
      if (entry != index_.end()) {
        found = true;
        value.assign(entries_[entry->second].value);
      }
    }
    if (!found) {
      // The closing '$' stays: it may open the next reference.
      out += '$';
      out.append(name);
      continue;
    }
    std::size_t insertSize = value.size() + (quoted ? 2 : 0);
    if (replacementsLeft == 0 || insertSize > insertBytesLeft) {
      // Bound reached (a value that refers to itself, or one that keeps doubling): the rest
      // stays as written.
      out += '$';
      out.append(name);
      pending.CopyRest(out);
      break;
    }
    --replacementsLeft;
    insertBytesLeft -= insertSize;
    pending.SkipOne();  // the closing '$'
    if (value.find('$') == std::string::npos) {
      // Nothing in it to rescan.
      if (quoted) out += '"';
      out += value;
      if (quoted) out += '"';
    } else if (quoted) {
      pending.Insert('"' + value + '"');
    } else {
      pending.Insert(std::move(value));
      value = std::string();
    }
  }
  return out;
}

}  // namespace zev
