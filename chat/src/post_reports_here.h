// PostReportsHere: while one is alive on a thread, reports raised on that thread are posted to
// the task runner even on the runner's own thread, instead of being handled inside the call that
// raised them. The manager opens one around the SDK calls it makes on its own account (a history
// retry, a logout from a handler), which Im_UnInit waits for: no host call may nest in them.
#pragma once

namespace kuvochat {

class PostReportsHere {
 public:
  PostReportsHere();
  ~PostReportsHere();
  PostReportsHere(const PostReportsHere&) = delete;
  PostReportsHere& operator=(const PostReportsHere&) = delete;
  static bool Active();

 private:
  bool outer_;
};

}  // namespace kuvochat
