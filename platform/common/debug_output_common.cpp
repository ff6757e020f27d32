#include <string>

#include "debug_output_internal.h"
#include "platform/debug_output.h"
#include "platform/environment.h"

namespace platform {

void OutputDebugText(const char* line) {
  if (!line) line = "";
  internal::WriteToDebugger(line);
  const std::string path = GetEnvOrEmpty("KUVO_DEBUG_OUTPUT_FILE");
  if (path.empty()) return;
  // Line and terminator go out in one write so that concurrent writers never interleave.
  std::string data(line);
  data += '\n';
  internal::AppendToFile(path, data.data(), data.size());
}

}  // namespace platform
