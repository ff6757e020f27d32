// CRunnableFunction: a task holding a plain function pointer and copies of its arguments.
//
//   auto task = Base::NewRunnableFunction(&Forward, code, std::string("text"));
//   runner->PostTask(task);
//
// Run() calls the function with the stored values (lists and maps are copied whole when the task
// is built) and does nothing when the function pointer is null.
#pragma once

#include <type_traits>
#include <utility>

#include "base/runnable_task.h"
#include "base/smart_ptr.h"
#include "base/smart_ref.h"
#include "base/tuple.h"

namespace Base {

template <typename Function, typename Params>
class CRunnableFunction : public CSmartRefImpl<CRunnableTask> {
 public:
  CRunnableFunction(Function function, Params params)
      : function_(function), params_(std::move(params)) {}

  void Run() override {
    if (function_) DispatchToFunction(function_, params_);
  }

 private:
  Function function_;
  Params params_;
};

namespace detail {
template <typename... Args>
struct TupleFor;
template <>
struct TupleFor<> {
  using type = Tuple0;
};
template <typename A>
struct TupleFor<A> {
  using type = Tuple1<A>;
};
template <typename A, typename B>
struct TupleFor<A, B> {
  using type = Tuple2<A, B>;
};
template <typename A, typename B, typename C>
struct TupleFor<A, B, C> {
  using type = Tuple3<A, B, C>;
};
template <typename A, typename B, typename C, typename D>
struct TupleFor<A, B, C, D> {
  using type = Tuple4<A, B, C, D>;
};
}  // namespace detail

// Builds a counted task for `function(args...)`; the tuple's member types are the function's
// parameter types without references, so every argument is stored by value.
template <typename... Params, typename... Args>
CSmartPtr<CRunnableTask> NewRunnableFunction(void (*function)(Params...), Args&&... args) {
  using TupleType = typename detail::TupleFor<std::decay_t<Params>...>::type;
  using Task = CRunnableFunction<void (*)(Params...), TupleType>;
  return CSmartPtr<CRunnableTask>(new Task(function, TupleType{std::forward<Args>(args)...}));
}

}  // namespace Base
