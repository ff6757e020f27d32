#include "temp_folder.h"

#include <random>
#include <system_error>

namespace kuvo_test {

TempFolder::TempFolder() {
  std::random_device random;
  const std::filesystem::path base = std::filesystem::temp_directory_path();
  do {
    path_ = base / ("kuvo-test-" + std::to_string(random()) + std::to_string(random()));
  } while (!std::filesystem::create_directory(path_));
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

const TempFolder& ProcessTempFolder() {
  static const TempFolder folder;
  return folder;
}

}  // namespace kuvo_test
