// A fresh, empty folder under the system's temporary folder, its name drawn at random so that
// runs on one machine never share one; removed with everything in it when the object goes.
#pragma once

#include <filesystem>
#include <string>

namespace kuvo_test {

class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  std::wstring wide() const { return path_.wstring(); }
  std::string narrow() const { return path_.string(); }

 private:
  std::filesystem::path path_;
};

// A folder of this process's own, made at the first call and removed when the process ends
// normally: for state that lives as long as a test program (the debugger-output file, data
// folders of libraries that are initialised once).
const TempFolder& ProcessTempFolder();

}  // namespace kuvo_test
