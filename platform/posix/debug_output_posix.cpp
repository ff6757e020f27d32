#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "debug_output_internal.h"
#include "platform/environment.h"

namespace platform::internal {

void WriteToDebugger(const char* line) {
  if (GetEnvOrEmpty("KUVO_DEBUG_OUTPUT_STDERR") != "1") return;
  // One stdio call per line: stderr's own lock keeps the line whole.
  std::fprintf(stderr, "%s\n", line);
}

void AppendToFile(const std::string& path, const char* data, std::size_t size) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return;
  // O_APPEND places each write at the end atomically; only a partial write needs another call.
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      break;
    }
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  ::close(fd);
}

}  // namespace platform::internal
