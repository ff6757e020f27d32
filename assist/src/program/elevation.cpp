#include "elevation.h"

#include <cstring>
#include <vector>

namespace assist {

namespace {

constexpr uint32_t kVista = 0x0600;
constexpr uint32_t kRelaunchPauseMs = 100;

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

bool RunAsAdmin(platform::ProcessServices& process, const std::wstring& arguments, int show) {
  // The handle stays open until the process ends: it is the marker.
  process.CreateNamedEvent(false, false, kRelaunchEventName);
  if (process.LastErrorCode() != platform::kErrorSuccess) return false;

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
