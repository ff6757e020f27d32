// Host guide, KuvoAssist: the host starts the program (elevated on Windows) with a command word
// or none, and waits for its exit status.
#include <string>
#include <vector>

namespace guide {

// The command lines a host uses: no word (check and repair the phone adapter, then end), or one
// of the COM registration words.
std::vector<std::wstring> AssistCommandLines(const std::wstring& program) {
  const std::wstring quoted = L"\"" + program + L"\"";
  return {quoted, quoted + L" /RegServer", quoted + L" /UnregServer"};
}

}  // namespace guide
