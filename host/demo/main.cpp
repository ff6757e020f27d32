// The reference host: loads the components the way an application does, lends them its
// services and drives each on its embedded stand-ins, printing what happens.
#include <cstdio>
#include <map>
#include <string>

#include "demo_section.h"
#include "platform/environment.h"
#include "temp_folder.h"

namespace demo {

namespace {

struct Section {
  std::string name;
  std::string summary;
  DemoFunction function;
};

std::map<int, Section>& Sections() {
  static std::map<int, Section> sections;
  return sections;
}

void PrintUsage(std::FILE* out) {
  std::fprintf(out,
               "usage: kuvo_demo [--documents DIR] [URL...]\n"
               "\n"
               "Drives the Kuvo components the way a host application does, each on its\n"
               "stand-ins (the IM and remote-control SDKs and the in-house libraries Kuvotrace\n"
               "and Kuvocore are stand-in libraries built with the components; KuvoAssist runs\n"
               "on an emulated Windows machine), and prints what each step shows. Sections:\n");
  for (const auto& entry : Sections()) {
    std::fprintf(out, "  %-14s %s\n", entry.second.name.c_str(), entry.second.summary.c_str());
  }
  std::fprintf(out,
               "\n"
               "  URL              an http:// or https:// address: the fetch section also GETs\n"
               "                   it and prints the result code\n"
               "  --documents DIR  the documents folder below which the components write their\n"
               "                   logs (\"DIR/Kuvo 10.0/Log\"); kept after the run. Without it a\n"
               "                   temporary folder, removed at the end (never the user's own)\n"
               "  --help           this text\n"
               "\n"
               "Exit status: 0 when every section showed what it says, 1 when one did not, 2 for\n"
               "a bad argument.\n");
}

// Reads the arguments into `args`; false (after saying why) for one it does not know.
bool ParseArgs(int argc, char** argv, DemoArgs* args, bool* help) {
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      *help = true;
    } else if (arg == "--documents" && i + 1 < argc && argv[i + 1][0] != '\0') {
      args->documents = argv[++i];
    } else if (arg.rfind("http://", 0) == 0 || arg.rfind("https://", 0) == 0) {
      args->urls.push_back(arg);
    } else {
      std::fprintf(stderr, "kuvo_demo: %s '%s' (see kuvo_demo --help)\n",
                   arg == "--documents" ? "--documents needs a folder:" : "unknown argument",
                   arg.c_str());
      return false;
    }
  }
  return true;
}

}  // namespace

DemoSection::DemoSection(int order, const char* name, const char* summary, DemoFunction function) {
  Sections()[order] = Section{name, summary, function};
}

void Say(const char* section, const std::string& text) {
  std::printf("[%s] %s\n", section, text.c_str());
  std::fflush(stdout);
}

}  // namespace demo

int main(int argc, char** argv) {
  demo::DemoArgs args;
  bool help = false;
  if (!demo::ParseArgs(argc, argv, &args, &help)) return 2;
  if (help) {
    demo::PrintUsage(stdout);
    return 0;
  }
  const bool temporary = args.documents.empty();
  if (temporary) args.documents = (kuvo_test::ProcessTempFolder().path() / "Documents").string();
#if defined(_WIN32)
  // Windows has no way to move the shell's documents folder for one process.
  std::printf("== documents folder: the shell's own (Windows)\n");
#else
  // Set before any component asks for the folder, and before any thread starts.
  if (!platform::SetEnv("XDG_DOCUMENTS_DIR", args.documents)) {
    std::fprintf(stderr, "kuvo_demo: cannot set XDG_DOCUMENTS_DIR\n");
    return 2;
  }
  std::printf("== documents folder: %s%s\n", args.documents.c_str(),
              temporary ? " (temporary, removed at the end; --documents DIR keeps one)" : "");
#endif
  int failures = 0;
  for (const auto& entry : demo::Sections()) {
    const demo::Section& section = entry.second;
    std::printf("\n== %s: %s\n", section.name.c_str(), section.summary.c_str());
    std::fflush(stdout);
    const int rc = section.function(args);
    if (rc != 0) {
      std::printf("== %s FAILED (%d)\n", section.name.c_str(), rc);
      ++failures;
    }
  }
  std::printf("\n== demo finished: %d section(s), %d failed\n",
              static_cast<int>(demo::Sections().size()), failures);
  return failures == 0 ? 0 : 1;
}
