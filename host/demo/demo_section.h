// The demo host is made of sections, one per component, each in its own demo_<name>.cpp file.
// A section registers itself with a static DemoSection object; main() runs them in order, each
// opening with its one-sentence summary, and every line a section prints carries its name.
#pragma once

#include <string>
#include <vector>

namespace demo {

struct DemoArgs {
  std::vector<std::string> urls;  // http(s) addresses from the command line, for the fetch section
  std::string documents;          // the documents folder the components write below
};

using DemoFunction = int (*)(const DemoArgs&);  // 0 = the section showed what it says

struct DemoSection {
  // `order` sorts the sections; `name` tags their lines; `summary` is one sentence on what the
  // section shows.
  DemoSection(int order, const char* name, const char* summary, DemoFunction function);
};

// Prints one line of demo output: "[section] text".
void Say(const char* section, const std::string& text);

}  // namespace demo
