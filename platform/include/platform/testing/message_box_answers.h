// Answers message boxes for a test: every MessageBoxW shown on the thread that created the object
// is answered, in turn, with the next of the answers given, and recorded.
//
// On Windows the box really opens and a hook on that thread presses the button; elsewhere the
// emulation answers at once. A box shown when no answer is left is answered with 0 (the call
// failed) and recorded as unanswered. Of several objects on one thread the newest answers; they
// may be destroyed in any order. Create and destroy the object on the thread whose boxes it
// answers; shown() may be read from any thread.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace platform {

struct ShownMessageBox {
  std::wstring text;
  std::wstring caption;
  bool yes_no = false;     // Yes and No buttons
  bool has_owner = false;  // shown with an owner window
  int answer = 0;          // 0: no answer was left
};

class ScopedMessageBoxAnswers {
 public:
  explicit ScopedMessageBoxAnswers(std::vector<int> answers);
  ~ScopedMessageBoxAnswers();
  ScopedMessageBoxAnswers(const ScopedMessageBoxAnswers&) = delete;
  ScopedMessageBoxAnswers& operator=(const ScopedMessageBoxAnswers&) = delete;

  std::vector<ShownMessageBox> shown() const;

  // Used by the implementations: the next answer (0 when none is left), recording the box.
  int Answer(ShownMessageBox box);
  // The object answering the calling thread's boxes, or null.
  static ScopedMessageBoxAnswers* ForThisThread();

 private:
  mutable std::mutex mutex_;
  std::vector<int> answers_;
  size_t next_ = 0;
  std::vector<ShownMessageBox> shown_;
  void* hook_ = nullptr;  // Windows: the thread's CBT hook
};

}  // namespace platform
