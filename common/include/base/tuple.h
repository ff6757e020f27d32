// Plain value tuples that carry copies of a task's arguments, and the calls that spread them
// over a function's parameters.
#pragma once

namespace Base {

struct Tuple0 {};

template <typename A>
struct Tuple1 {
  A a;
};

template <typename A, typename B>
struct Tuple2 {
  A a;
  B b;
};

template <typename A, typename B, typename C>
struct Tuple3 {
  A a;
  B b;
  C c;
};

template <typename A, typename B, typename C, typename D>
struct Tuple4 {
  A a;
  B b;
  C c;
  D d;
};

template <typename F>
void DispatchToFunction(F f, const Tuple0&) {
  f();
}
template <typename F, typename A>
void DispatchToFunction(F f, const Tuple1<A>& t) {
  f(t.a);
}
template <typename F, typename A, typename B>
void DispatchToFunction(F f, const Tuple2<A, B>& t) {
  f(t.a, t.b);
}
template <typename F, typename A, typename B, typename C>
void DispatchToFunction(F f, const Tuple3<A, B, C>& t) {
  f(t.a, t.b, t.c);
}
template <typename F, typename A, typename B, typename C, typename D>
void DispatchToFunction(F f, const Tuple4<A, B, C, D>& t) {
  f(t.a, t.b, t.c, t.d);
}

}  // namespace Base
