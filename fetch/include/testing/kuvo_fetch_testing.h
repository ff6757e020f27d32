// Test-only export of KuvoFetch.
#pragma once

#include <cstdint>

#include "KuvoFetch.h"

extern "C" {
// Sets the id counter, so that the next accepted request gets `last_id` + 1 (or 1 after the
// largest value).
KUVO_FETCH_API void HttpSetLastRequestIdForTesting(uint32_t last_id);
}
