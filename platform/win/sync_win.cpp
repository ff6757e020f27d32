#include "platform/sync.h"

#include <windows.h>

#include <new>

namespace platform {

namespace {

static_assert(sizeof(CRITICAL_SECTION) <= 64, "CriticalSection storage is too small");

CRITICAL_SECTION* Section(unsigned char* storage) {
  return reinterpret_cast<CRITICAL_SECTION*>(storage);
}

}  // namespace

CriticalSection::CriticalSection() {
  ::InitializeCriticalSection(new (storage_) CRITICAL_SECTION);
}

CriticalSection::~CriticalSection() {
  ::DeleteCriticalSection(Section(storage_));
}

void CriticalSection::Enter() {
  ::EnterCriticalSection(Section(storage_));
}

void CriticalSection::Leave() {
  ::LeaveCriticalSection(Section(storage_));
}

void SleepMilliseconds(uint32_t milliseconds) {
  ::Sleep(milliseconds);
}

}  // namespace platform
