// How one transfer attempt ends a request or leads to the next attempt.
#pragma once

#include <cstdint>

namespace Http {

struct AttemptOutcome {
  bool finished = false;   // complete the request now with `code`
  uint32_t code = 0;       // 0, 404, an HTTP status, a libcurl code or kSetupFailed
  bool keep_body = false;  // only a success carries the response
};

// `transfer_result`: what the transfer returned (libcurl code or kSetupFailed); `read_result`:
// the result of reading the status; `status`: the HTTP status as it stands after this attempt
// (an unreadable status keeps the previous attempt's value); `last`: no attempt follows.
AttemptOutcome ClassifyAttempt(uint32_t transfer_result, uint32_t read_result, long status,
                               bool last);

}  // namespace Http
