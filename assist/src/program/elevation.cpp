#include "elevation.h"

#include <cstring>
#include <string>
#include <vector>

namespace assist {

namespace {

constexpr uint32_t kVista = 0x0600;
constexpr uint32_t kRelaunchPauseMs = 100;
constexpr uint32_t kRecordLimit = 16;  // bytes: a decimal process id

// The process id the record holds; 0 when it is missing or malformed.
uint32_t ReadRecord(platform::ProcessServices& process, const std::wstring& path) {
  std::string text;
  if (!process.ReadSmallFile(path, kRecordLimit, &text) || text.empty() || text.size() > 10 ||
      text.find_first_not_of("0123456789") != std::string::npos) {
    return 0;
  }
  const unsigned long long id = std::stoull(text);
  return id <= 0xFFFFFFFFull ? static_cast<uint32_t>(id) : 0;
}

}  // namespace

bool IsRunAsAdmin(platform::ProcessServices& process) {
  const uint32_t version = process.GetVersion() & 0xFFFF;
  const uint32_t major = version & 0xFF;
  const uint32_t minor = (version >> 8) & 0xFF;
  if (major * 256 + minor < kVista) return false;

  platform::ProcessToken token = nullptr;
  if (!process.OpenProcessTokenForQuery(&token)) return false;
  unsigned char elevation[platform::kTokenElevationSize] = {};
  uint32_t returned = 0;
  bool elevated = false;
  if (process.QueryTokenElevation(token, elevation, sizeof(elevation), &returned) &&
      returned == platform::kTokenElevationSize) {
    uint32_t value = 0;
    std::memcpy(&value, elevation, sizeof(value));
    elevated = value != 0;
  }
  process.CloseToken(token);
  return elevated;
}

bool RunAsAdmin(platform::ProcessServices& process, const std::wstring& arguments, int show,
                const std::wstring& record_path) {
  // The handle stays open until the process ends: it is the marker.
  process.CreateNamedEvent(false, false, kRelaunchEventName);
  if (process.LastErrorCode() != platform::kErrorSuccess) return false;

  const uint32_t parent = process.GetParentProcessId();
  if (parent != 0 && ReadRecord(process, record_path) == parent) return false;
  if (!process.WriteSmallFile(record_path, std::to_string(process.GetCurrentProcessId()))) {
    return false;
  }

  std::vector<wchar_t> path(platform::kMaxPath + 1, L'\0');
  process.GetModuleFileName(path.data(), platform::kMaxPath);

  platform::ShellExecuteRequest request;
  request.verb = L"runas";
  request.file = path.data();
  request.parameters = arguments;
  request.show = show;
  if (!process.ShellExecuteEx(request)) {
    const platform::ErrorCode error = process.LastErrorCode();
    if (error == platform::kErrorCancelled || error == platform::kErrorFileNotFound) return false;
  }
  process.Sleep(kRelaunchPauseMs);
  return true;
}

}  // namespace assist
