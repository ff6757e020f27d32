#include <algorithm>
#include <utility>
#include <vector>

#include "platform/testing/message_box_answers.h"

namespace platform {

namespace {
// The thread's answer objects in order of creation; the newest answers. They may go in any order.
thread_local std::vector<ScopedMessageBoxAnswers*> t_answers;
}  // namespace

namespace internal {
// The system's side of installing and removing the answers (a hook on Windows).
void* InstallMessageBoxAnswerHook();
void RemoveMessageBoxAnswerHook(void* hook);
}  // namespace internal

ScopedMessageBoxAnswers::ScopedMessageBoxAnswers(std::vector<int> answers)
    : answers_(std::move(answers)) {
  t_answers.push_back(this);
  hook_ = internal::InstallMessageBoxAnswerHook();
}

ScopedMessageBoxAnswers::~ScopedMessageBoxAnswers() {
  internal::RemoveMessageBoxAnswerHook(hook_);
  t_answers.erase(std::remove(t_answers.begin(), t_answers.end(), this), t_answers.end());
}

std::vector<ShownMessageBox> ScopedMessageBoxAnswers::shown() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return shown_;
}

int ScopedMessageBoxAnswers::Answer(ShownMessageBox box) {
  std::lock_guard<std::mutex> lock(mutex_);
  box.answer = next_ < answers_.size() ? answers_[next_++] : 0;
  shown_.push_back(box);
  return box.answer;
}

ScopedMessageBoxAnswers* ScopedMessageBoxAnswers::ForThisThread() {
  return t_answers.empty() ? nullptr : t_answers.back();
}

}  // namespace platform
