#include "common/trace.h"

#include <cstdarg>

#include "common/kuvo_bindings.h"

namespace kuvo {

void TraceInfo(const wchar_t* function, const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  Kuvotrace_Write(kTraceLevelInfo, function, format, args);
  va_end(args);
}

void TraceError(const wchar_t* function, const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  Kuvotrace_Write(kTraceLevelError, function, format, args);
  va_end(args);
}

}  // namespace kuvo
