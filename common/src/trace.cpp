#include "common/trace.h"

#include <atomic>
#include <cstdarg>
#include <cstdint>

#include "common/kuvo_bindings.h"

namespace kuvo {

namespace {

std::atomic<int> g_pins{0};
// The entry as a number: an atomic of the pointer type trips over va_list's attributes on mingw.
std::atomic<uintptr_t> g_pinned_entry{0};

void Write(int level, const wchar_t* function, const wchar_t* format, va_list args) {
  if (g_pins.load(std::memory_order_acquire) > 0) {
    if (const uintptr_t entry = g_pinned_entry.load(std::memory_order_acquire)) {
      reinterpret_cast<KuvotraceWriteEntry>(entry)(level, function, format, args);
    }
    return;
  }
  Kuvotrace_Write(level, function, format, args);
}

}  // namespace

ScopedTraceEntryPin::ScopedTraceEntryPin() {
  g_pinned_entry.store(reinterpret_cast<uintptr_t>(Kuvotrace_WriteEntry()),
                       std::memory_order_release);
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
