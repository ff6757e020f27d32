// Debugger output (OutputDebugStringA): one line per call, passed as it is.
//
// When the environment variable KUVO_DEBUG_OUTPUT_FILE names a file, every line is also
// appended to it followed by '\n' (one write per line, so lines from several threads and
// modules never interleave). Tests and the demo read the lines from there on every platform;
// it is looked up on each call, so a test may point it at a fresh file at any time.
#pragma once

namespace platform {

void OutputDebugText(const char* line);

}  // namespace platform
