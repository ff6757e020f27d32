// Test-only export of KuvoFetchForTesting, the test build of KuvoFetch (the shipped library
// exports the four request functions only).
#pragma once

#include <cstdint>

#include "KuvoFetch.h"

extern "C" {
// Sets the id counter, so that the next accepted request gets `last_id` + 1 (or 1 after the
// largest value), skipping ids that are still pending.
KUVO_FETCH_API void HttpSetLastRequestIdForTesting(uint32_t last_id);
}
