#include "debug_output_reader.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <system_error>

namespace kuvo_test {

namespace {
std::string& Path() {
  static std::string path;
  return path;
}

class OwnFolder {
 public:
  OwnFolder() {
    std::random_device random;
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    do {
      path_ = base / ("kuvochat-test-" + std::to_string(random()) + std::to_string(random()));
    } while (!std::filesystem::create_directory(path_));
  }
  ~OwnFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  std::string text() const { return path_.string(); }

 private:
  std::filesystem::path path_;
};
}  // namespace

const std::string& RunFolder() {
  static const OwnFolder folder;
  static const std::string text = folder.text();
  return text;
}

void DebugOutputReader::Install(const std::string& name) {
#if defined(_WIN32)
  Path() = RunFolder() + "\\" + name + ".debug_output.txt";
  _putenv_s("KUVO_DEBUG_OUTPUT_FILE", Path().c_str());
#else
  Path() = RunFolder() + "/" + name + ".debug_output.txt";
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
