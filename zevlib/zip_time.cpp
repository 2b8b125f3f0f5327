#include "zevlib/zip_time.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <ctime>

#include "zevlib/host_files.h"
#endif

namespace zevlib {

std::uint64_t FileTimeFromDos(std::uint16_t date, std::uint16_t time) {
  int day = date & 0x1F;
  int month = (date >> 5) & 0x0F;
  if (day == 0 || month == 0 || month > 12) return 0;
#ifdef _WIN32
  FILETIME local{};
  FILETIME utc{};
  if (!DosDateTimeToFileTime(date, time, &local) || !LocalFileTimeToFileTime(&local, &utc)) {
    return 0;
  }
  return (static_cast<std::uint64_t>(utc.dwHighDateTime) << 32) | utc.dwLowDateTime;
#else
  std::tm parts{};
  parts.tm_year = 80 + (date >> 9);
  parts.tm_mon = month - 1;
  parts.tm_mday = day;
  parts.tm_hour = time >> 11;
  parts.tm_min = (time >> 5) & 0x3F;
  parts.tm_sec = (time & 0x1F) * 2;
  parts.tm_isdst = -1;
  std::time_t seconds = std::mktime(&parts);
  if (seconds == static_cast<std::time_t>(-1)) return 0;
  return FileTimeFromUnix(seconds);
#endif
}

}  // namespace zevlib
