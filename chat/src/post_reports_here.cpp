#include "post_reports_here.h"

namespace kuvochat {

namespace {
thread_local bool t_post_reports = false;
}  // namespace

PostReportsHere::PostReportsHere() : outer_(t_post_reports) {
  t_post_reports = true;
}

PostReportsHere::~PostReportsHere() {
  t_post_reports = outer_;
}

bool PostReportsHere::Active() {
  return t_post_reports;
}

}  // namespace kuvochat
