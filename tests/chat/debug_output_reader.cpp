#include "debug_output_reader.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace kuvo_test {

namespace {
std::string& Path() {
  static std::string path;
  return path;
}

std::string TempFolder() {
#if defined(_WIN32)
  const char* tmp = std::getenv("TEMP");
  return tmp ? tmp : ".";
#else
  const char* tmp = std::getenv("TMPDIR");
  return tmp ? tmp : "/tmp";
#endif
}
}  // namespace

void DebugOutputReader::Install(const std::string& name) {
#if defined(_WIN32)
  Path() = TempFolder() + "\\" + name + ".debug_output.txt";
  _putenv_s("KUVO_DEBUG_OUTPUT_FILE", Path().c_str());
#else
  Path() = TempFolder() + "/" + name + ".debug_output.txt";
  setenv("KUVO_DEBUG_OUTPUT_FILE", Path().c_str(), 1);
#endif
  Clear();
}

void DebugOutputReader::Clear() {
  std::ofstream(Path(), std::ios::trunc | std::ios::binary);
}

std::vector<std::string> DebugOutputReader::Lines() {
  std::vector<std::string> lines;
  std::ifstream in(Path(), std::ios::binary);
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

std::vector<std::string> DebugOutputReader::LinesStartingWith(const std::string& prefix) {
  std::vector<std::string> out;
  for (const auto& line : Lines()) {
    if (line.compare(0, prefix.size(), prefix) == 0) out.push_back(line);
  }
  return out;
}

bool DebugOutputReader::Contains(const std::string& line) {
  for (const auto& l : Lines()) {
    if (l == line) return true;
  }
  return false;
}

}  // namespace kuvo_test
