#pragma once
// Diagnostic messages of the kernel-streaming layer. They reach the debugger only at or below
// TraceThreshold, which is 0: the texts are kept so that raising it shows what the layer did.
#include <windows.h>

namespace tx880::ks {

enum TraceLevel : int {
  kTraceError = 1,
  kTracePinProperty = 3,
  kTraceWarning = 4,
  kTraceInfo = 5,
  kTraceFlow = 6,
};

inline constexpr int TraceThreshold = 0;

// printf-style wide format; wide strings are passed with %ls. Output is cut at 260 characters.
void TraceMessage(int level, const wchar_t* format, ...);

// Brackets a public operation with "<name>() Enter" and "<name> Leave[, returning <hr>]".
class TraceScope {
 public:
  explicit TraceScope(const wchar_t* name);
  ~TraceScope();
  TraceScope(const TraceScope&) = delete;
  TraceScope& operator=(const TraceScope&) = delete;

  // Records the result that the Leave line reports.
  HRESULT Return(HRESULT result) {
    result_ = result;
    hasResult_ = true;
    return result;
  }

 private:
  const wchar_t* name_;
  HRESULT result_ = S_OK;
  bool hasResult_ = false;
};

}  // namespace tx880::ks
