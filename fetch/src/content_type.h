// The Content-Type line sent for each content-type code a request names.
#pragma once

#include <cstdint>

namespace Http {

// The header line for `code` (1..5), or null for any other code.
const char* ContentTypeLine(int32_t code);

}  // namespace Http
