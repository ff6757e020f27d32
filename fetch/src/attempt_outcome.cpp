#include "attempt_outcome.h"

namespace Http {

AttemptOutcome ClassifyAttempt(uint32_t transfer_result, uint32_t read_result, long status,
                               bool last) {
  AttemptOutcome outcome;
  if (status == 404) {
    outcome.finished = true;
    outcome.code = 404;
    return outcome;
  }
  if (transfer_result == 0 && read_result == 0 && status == 200) {
    outcome.finished = true;
    outcome.keep_body = true;
    return outcome;
  }
  if (!last) return outcome;
  outcome.finished = true;
  if (status > 0 && status != 200) {
    outcome.code = static_cast<uint32_t>(status);
  } else if (transfer_result != 0) {
    outcome.code = transfer_result;
  } else {
    // A transfer without error whose status could not be read must not pass for success.
    outcome.code = read_result;
  }
  return outcome;
}

}  // namespace Http
