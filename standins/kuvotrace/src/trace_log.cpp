#include "trace_log.h"

#include <chrono>
#include <ctime>
#include <string>

#include "log_line.h"
#include "utf8.h"
#include "wide_format.h"

namespace kuvotrace {

namespace {

std::FILE* OpenForAppend(const wchar_t* path) {
#if defined(_WIN32)
  return _wfopen(path, L"ab");
#else
  std::wstring wide(path);
  return std::fopen(WideToUtf8(wide).c_str(), "ab");
#endif
}

std::tm LocalTime(std::time_t t) {
  std::tm tm{};
#if defined(_WIN32)
  localtime_s(&tm, &t);
#else
  localtime_r(&t, &tm);
#endif
  return tm;
}

std::string WideOrNull(const wchar_t* text) {
  return text ? WideToUtf8(std::wstring(text)) : std::string("(null)");
}

}  // namespace

TraceLog::~TraceLog() {
  UnInit();
}

bool TraceLog::Init(const wchar_t* path) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (file_) {
    std::fclose(file_);
    file_ = nullptr;
  }
  if (!path || !*path) return false;
  file_ = OpenForAppend(path);
  return file_ != nullptr;
}

void TraceLog::UnInit() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (file_) std::fclose(file_);
  file_ = nullptr;
}

void TraceLog::Write(int level, const wchar_t* function, const wchar_t* format, va_list args) {
  write_calls_.fetch_add(1);
  if (level < level_.load(std::memory_order_relaxed)) return;
  const std::string message = WideToUtf8(FormatWide(format, args));
  const auto now = std::chrono::system_clock::now();
  const auto millis =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  const std::string line =
      FormatLogLine(LocalTime(std::chrono::system_clock::to_time_t(now)), static_cast<int>(millis),
                    level, id_.load(), WideOrNull(function), message);
  std::lock_guard<std::mutex> lock(mutex_);
  if (!file_) return;
  if (std::fwrite(line.data(), 1, line.size(), file_) == line.size()) lines_written_.fetch_add(1);
  std::fflush(file_);
}

bool TraceLog::IsOpen() {
  std::lock_guard<std::mutex> lock(mutex_);
  return file_ != nullptr;
}

void TraceLog::Reset() {
  UnInit();
  level_.store(0);
  id_.store(0);
  write_calls_.store(0);
  lines_written_.store(0);
}

}  // namespace kuvotrace
