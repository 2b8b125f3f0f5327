#pragma once
// Lists of this layer keep insertion order; a failed append reports instead of throwing.
#include <new>
#include <utility>
#include <vector>

namespace tx880::ks {

// Appends item; false (and the item untouched) when memory ran out.
template <typename T, typename U>
bool Append(std::vector<T>& list, U&& item) noexcept {
  try {
    if (list.size() == list.capacity()) list.reserve(list.empty() ? 4 : list.size() * 2);
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
  list.push_back(std::forward<U>(item));
  return true;
}

}  // namespace tx880::ks
