// The demo host is made of sections, one per component, each in its own demo_<name>.cpp file.
// A section registers itself with a static DemoSection object; main() runs them in name order.
#pragma once

#include <string>
#include <vector>

namespace demo {

struct DemoArgs {
  std::vector<std::string> args;  // command-line arguments after the program name
};

using DemoFunction = int (*)(const DemoArgs&);  // 0 = the section succeeded

struct DemoSection {
  DemoSection(const char* order_and_name, DemoFunction function);
};

// Prints one line of demo output: "[section] text".
void Say(const char* section, const std::string& text);

}  // namespace demo
