// kuvo_kit_host WORK_FOLDER PHONE_SCENARIO: loads KuvoChat, KuvoFetch and KuvoDesk on their
// stand-ins and runs KuvoAssist, checking each outcome. The exit status counts the failures.
#include <cstdio>
#include <string>

#include "host_checks.h"

namespace kit_host {

int Check(bool passed, const std::string& what) {
  std::printf("%s %s\n", passed ? "ok" : "FAILED", what.c_str());
  std::fflush(stdout);
  return passed ? 0 : 1;
}

}  // namespace kit_host

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: kuvo_kit_host WORK_FOLDER PHONE_SCENARIO\n");
    return 100;
  }
  int failures = kit_host::CheckChat(argv[1]);
  failures += kit_host::CheckFetch();
  failures += kit_host::CheckDesk();
  failures += kit_host::CheckAssist(argv[1], argv[2]);
  std::printf("%d failed check(s)\n", failures);
  return failures;
}
