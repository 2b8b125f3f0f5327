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
      found = piece < rest.size();
      spill.append(rest.substr(0, piece));
      Advance(piece);
    }
    taken = spill;
    return found;
  }

  void SkipOne() { Advance(1); }

  // Puts a copy of the value, optionally in double quotes, in front of the rest.
  void Insert(std::string_view value, bool quoted) {
    DropFinished();
    std::string text;
    if (!spare_.empty()) {
      text = std::move(spare_.back());
      spare_.pop_back();
    }
    text.clear();
    if (quoted) text += '"';
    text += value;
    if (quoted) text += '"';
    inserted_.push_back({std::move(text), 0});
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

  // Finished pieces keep their buffers for the next insertions: deep nesting allocates once.
  void DropFinished() {
    while (!inserted_.empty() && inserted_.back().position >= inserted_.back().text.size()) {
      if (spare_.size() < 16) spare_.push_back(std::move(inserted_.back().text));
      inserted_.pop_back();
    }
  }

  std::string_view input_;
  std::vector<Piece> inserted_;
  std::vector<std::string> spare_;
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
  longestName_ = std::max(longestName_, name.size());
  index_.emplace(std::string(name), entries_.size() - 1);
}

void TVariableManager::Clear() {
  std::lock_guard guard(lock_);
  index_.clear();
  entries_.clear();
  longestName_ = 0;
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
  while (pending.CopyToDollar(out)) {
    pending.SkipOne();  // the opening '$'
    std::string_view name;
    if (!pending.TakeToDollar(name, spill)) {
      // No closing '$': nothing further can be a reference.
      out += '$';
      out.append(name);
      break;
    }
    enum class Outcome { Unknown, Replaced, OverBound } outcome = Outcome::Unknown;
    if (!name.empty()) {
      std::lock_guard guard(lock_);
      auto entry = name.size() <= longestName_ ? index_.find(name) : index_.end();
      if (entry != index_.end()) {
        const std::string& value = entries_[entry->second].value;
        std::size_t insertSize = value.size() + (quoted ? 2 : 0);
        if (replacementsLeft == 0 || insertSize > insertBytesLeft) {
          outcome = Outcome::OverBound;
        } else {
          outcome = Outcome::Replaced;
          --replacementsLeft;
          insertBytesLeft -= insertSize;
          pending.SkipOne();  // the closing '$'
          if (value.find('$') != std::string::npos) {
            pending.Insert(value, quoted);
          } else {  // nothing in it to rescan
            if (quoted) out += '"';
            out += value;
            if (quoted) out += '"';
          }
        }
      }
    }
    if (outcome == Outcome::Replaced) continue;
    // Unknown: the closing '$' stays, as it may open the next reference.
    out += '$';
    out.append(name);
    if (outcome == Outcome::OverBound) {
      // A value that refers to itself, or one that keeps doubling: the rest stays as written.
      pending.CopyRest(out);
      break;
    }
  }
  return out;
}

}  // namespace zev
