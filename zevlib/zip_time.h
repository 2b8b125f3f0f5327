#pragma once
#include <cstdint>

namespace zevlib {

// FILETIME of a DOS date and time, which archivers store in local time; 0 when the fields do
// not make a date.
std::uint64_t FileTimeFromDos(std::uint16_t date, std::uint16_t time);

}  // namespace zevlib
