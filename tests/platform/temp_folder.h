// A fresh, empty folder under the system's temporary folder, removed with everything in it when
// the object goes.
#pragma once

#include <filesystem>
#include <random>
#include <string>

namespace platform_test {

class TempFolder {
 public:
  TempFolder() {
    std::random_device random;
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    do {
      path_ = base / ("kuvo-test-" + std::to_string(random()) + std::to_string(random()));
    } while (!std::filesystem::create_directory(path_));
  }
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::wstring wide() const { return path_.wstring(); }
  std::string narrow() const { return path_.string(); }

 private:
  std::filesystem::path path_;
};

}  // namespace platform_test
