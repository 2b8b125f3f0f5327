#include "KsAsioDriver/ks/ks_trace.h"

#include <cstdarg>
#include <cwchar>

namespace tx880::ks {

void TraceMessage(int level, const wchar_t* format, ...) {
  if (level > TraceThreshold) return;
  wchar_t text[260];
  va_list args;
  va_start(args, format);
  // Longer output is cut, not dropped.
  _vsnwprintf(text, 259, format, args);
  va_end(args);
  text[259] = L'\0';
  OutputDebugStringW(text);
}

TraceScope::TraceScope(const wchar_t* name) : name_(name) {
  TraceMessage(kTraceFlow, L"%ls() Enter", name_);
}

TraceScope::~TraceScope() {
  if (hasResult_) {
    TraceMessage(kTraceFlow, L"%ls Leave, returning %#08x", name_, static_cast<unsigned>(result_));
  } else {
    TraceMessage(kTraceFlow, L"%ls Leave", name_);
  }
}

}  // namespace tx880::ks
