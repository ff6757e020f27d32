// The reference host: loads the components the way an application does, lends them its
// services and drives each on its embedded stand-ins, printing what happens.
#include <algorithm>
#include <cstdio>
#include <map>
#include <string>

#include "demo_section.h"

namespace demo {

namespace {
std::map<std::string, DemoFunction>& Sections() {
  static std::map<std::string, DemoFunction> sections;
  return sections;
}
}  // namespace

DemoSection::DemoSection(const char* order_and_name, DemoFunction function) {
  Sections()[order_and_name] = function;
}

void Say(const char* section, const std::string& text) {
  std::printf("[%s] %s\n", section, text.c_str());
  std::fflush(stdout);
}

}  // namespace demo

int main(int argc, char** argv) {
  demo::DemoArgs args;
  for (int i = 1; i < argc; ++i) args.args.emplace_back(argv[i]);
  int failures = 0;
  for (const auto& [name, function] : demo::Sections()) {
    std::printf("== %s\n", name.c_str());
    const int rc = function(args);
    if (rc != 0) {
      std::printf("== %s FAILED (%d)\n", name.c_str(), rc);
      ++failures;
    }
  }
  std::printf("== demo finished: %d section(s), %d failed\n",
              static_cast<int>(demo::Sections().size()), failures);
  return failures == 0 ? 0 : 1;
}
