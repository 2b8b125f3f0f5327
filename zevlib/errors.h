#pragma once
// Failures inside the library carry the error number the caller will see.
#include <cstdint>
#include <stdexcept>
#include <string>

#include "zevlib/zev_api.h"

namespace zevlib {

class ZipError : public std::runtime_error {
 public:
  ZipError(std::int32_t code, const std::string& message)
      : std::runtime_error(message), code_(code) {}
  std::int32_t code() const { return code_; }

 private:
  std::int32_t code_;
};

// The password at hand does not open the entry; the caller may try another one.
class WrongPassword : public ZipError {
 public:
  explicit WrongPassword(const std::string& message) : ZipError(ZEV_ERROR_CANNOT_OPEN, message) {}
};

}  // namespace zevlib
