#include "common/trace.h"

#include <atomic>
#include <cstdarg>

#include "common/kuvo_bindings.h"

namespace kuvo {

namespace {

std::atomic<int> g_pins{0};
std::atomic<KuvotraceWriteEntry> g_pinned_entry{nullptr};

void Write(int level, const wchar_t* function, const wchar_t* format, va_list args) {
  if (g_pins.load(std::memory_order_acquire) > 0) {
    if (KuvotraceWriteEntry entry = g_pinned_entry.load(std::memory_order_acquire)) {
      entry(level, function, format, args);
    }
    return;
  }
  Kuvotrace_Write(level, function, format, args);
}

}  // namespace

ScopedTraceEntryPin::ScopedTraceEntryPin() {
  g_pinned_entry.store(Kuvotrace_WriteEntry(), std::memory_order_release);
  g_pins.fetch_add(1, std::memory_order_acq_rel);
}

ScopedTraceEntryPin::~ScopedTraceEntryPin() {
  g_pins.fetch_sub(1, std::memory_order_acq_rel);
}

void TraceInfo(const wchar_t* function, const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  Write(kTraceLevelInfo, function, format, args);
  va_end(args);
}

void TraceError(const wchar_t* function, const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  Write(kTraceLevelError, function, format, args);
  va_end(args);
}

}  // namespace kuvo
