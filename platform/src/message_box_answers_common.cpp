#include <utility>

#include "platform/testing/message_box_answers.h"

namespace platform {

namespace {
thread_local ScopedMessageBoxAnswers* t_answers = nullptr;
}  // namespace

namespace internal {
// The system's side of installing and removing the answers (a hook on Windows).
void* InstallMessageBoxAnswerHook();
void RemoveMessageBoxAnswerHook(void* hook);
}  // namespace internal

ScopedMessageBoxAnswers::ScopedMessageBoxAnswers(std::vector<int> answers)
    : answers_(std::move(answers)) {
  previous_ = t_answers;
  t_answers = this;
  hook_ = internal::InstallMessageBoxAnswerHook();
}

ScopedMessageBoxAnswers::~ScopedMessageBoxAnswers() {
  internal::RemoveMessageBoxAnswerHook(hook_);
  t_answers = previous_;
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
  return t_answers;
}

}  // namespace platform
