#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "setup/engine/engine_state_file.h"

namespace zev {

inline constexpr std::string_view kPredefinedComponent = "VORN-PREDEF-COMPONENT";

// The components (features) of the product as the engine keeps them for one process: names in
// order of definition with parallel selection states and descriptions, the deleted, hidden and
// choice-locked lists, and the name/size pairs. Names compare ignoring letter case.
class ComponentTable {
 public:
  // Empties names, states, descriptions and the three flag lists, and puts the sizes back to
  // the script's own pairs; the installed size becomes 0.
  void Reset(const std::vector<std::string>& scriptSizes);

  // Defines a component or, for a known name, revives it and updates its description; a known
  // component keeps its selection.
  void Define(const std::string& name, bool selected, const std::string& description);

  // Position of the first equal name, or -1.
  int IndexOf(std::string_view name) const;
  bool IsDefined(std::string_view name) const { return IndexOf(name) != -1; }
  bool IsDeleted(std::string_view name) const;
  bool IsHidden(std::string_view name) const;
  bool IsChoiceLocked(std::string_view name) const;
  // The name or any ancestor (cut at its last backslash, repeatedly) is hidden / locked.
  bool IsHiddenWithAncestors(std::string_view name) const;
  bool IsChoiceLockedWithAncestors(std::string_view name) const;
  // Defined, not deleted and selected.
  bool IsSelected(std::string_view name) const;
  // For a defined name (deleted ones included); nothing otherwise.
  void SetSelection(std::string_view name, bool selected);
  const std::string& Description(std::string_view name) const;

  // The size of the first pair with an equal name, 0 when none; an Error when that size is not
  // a 64-bit integer.
  std::int64_t SizeOf(std::string_view name) const;
  // Replaces the size of the first pair with an equal name, or appends a pair.
  void SetSize(const std::string& name, std::int64_t size);
  // Sum of the sizes of the selected, not deleted components, minus the installed size.
  std::int64_t TotalSize() const;

  // true removes the name from the list; false appends a defined name not yet in it.
  void SetChoiceAllowed(std::string_view name, bool allowed);
  void SetVisible(std::string_view name, bool visible);
  void Delete(std::string_view name);

  // The size already on disk in a maintenance run, subtracted from TotalSize.
  std::int64_t InstalledSize() const { return installedSize_; }
  // Sets the installed size to the sizes of the selected, not deleted components.
  void RecordInstalledSize();

  // Replaces the lists by those of a state file; the sizes too unless keepSizes.
  void Replace(const EngineState& saved, bool keepSizes);
  // Takes the saved state of every component defined now under an equal name, and the
  // deleted, hidden and choice-locked lists as a whole; sizes are not read.
  void Merge(const EngineState& saved);
  // Writes the six lists into a state.
  void Store(EngineState& state) const;

  const std::vector<std::string>& Names() const { return names_; }
  const std::vector<std::string>& States() const { return states_; }
  const std::vector<std::string>& Sizes() const { return sizes_; }
  const std::vector<std::string>& DeletedList() const { return deleted_; }
  const std::vector<std::string>& HiddenList() const { return hidden_; }
  const std::vector<std::string>& ChoiceLockedList() const { return choiceLocked_; }

 private:
  std::vector<std::string> names_;
  std::vector<std::string> states_;
  std::vector<std::string> descriptions_;
  std::vector<std::string> deleted_;
  std::vector<std::string> hidden_;
  std::vector<std::string> choiceLocked_;
  std::vector<std::string> sizes_;
  std::int64_t installedSize_ = 0;
};

}  // namespace zev
