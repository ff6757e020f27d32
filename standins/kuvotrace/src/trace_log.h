// TraceLog: the state behind the Kuvotrace exports. Safe for any number of threads: entries are
// formatted on the caller's thread and appended whole under one lock, so lines never interleave.
#pragma once

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <mutex>

namespace kuvotrace {

class TraceLog {
 public:
  TraceLog() = default;
  ~TraceLog();
  TraceLog(const TraceLog&) = delete;
  TraceLog& operator=(const TraceLog&) = delete;

  bool Init(const wchar_t* path);
  void SetId(int id) { id_.store(id, std::memory_order_relaxed); }
  void SetLevel(int level) { level_.store(level, std::memory_order_relaxed); }
  void UnInit();
  void Write(int level, const wchar_t* function, const wchar_t* format, va_list args);

  int write_calls() const { return write_calls_.load(); }
  int lines_written() const { return lines_written_.load(); }
  int level() const { return level_.load(); }
  int id() const { return id_.load(); }
  bool IsOpen();
  void Reset();

 private:
  std::mutex mutex_;
  std::FILE* file_ = nullptr;  // guarded by mutex_
  std::atomic<int> level_{0};
  std::atomic<int> id_{0};
  std::atomic<int> write_calls_{0};
  std::atomic<int> lines_written_{0};
};

}  // namespace kuvotrace
