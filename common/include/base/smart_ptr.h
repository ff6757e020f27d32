// CSmartPtr: a counted reference to an ISmartRef object, passed by value.
#pragma once

#include <utility>

namespace Base {

template <typename T>
class CSmartPtr {
 public:
  CSmartPtr() = default;
  CSmartPtr(T* p) : p_(p) {  // NOLINT(google-explicit-constructor): takes a new reference.
    if (p_) p_->AddRef();
  }
  CSmartPtr(const CSmartPtr& o) : CSmartPtr(o.p_) {}
  CSmartPtr(CSmartPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  template <typename U>
  CSmartPtr(const CSmartPtr<U>& o) : CSmartPtr(o.get()) {}  // NOLINT: upcast
  ~CSmartPtr() { reset(); }

  CSmartPtr& operator=(CSmartPtr o) noexcept {
    std::swap(p_, o.p_);
    return *this;
  }

  void reset() {
    if (T* p = std::exchange(p_, nullptr)) p->Release();
  }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  T& operator*() const { return *p_; }
  explicit operator bool() const { return p_ != nullptr; }

  // Adopts a reference the caller already owns (no AddRef).
  static CSmartPtr Adopt(T* p) {
    CSmartPtr s;
    s.p_ = p;
    return s;
  }
  // Gives the reference up without releasing it.
  T* Detach() { return std::exchange(p_, nullptr); }

 private:
  T* p_ = nullptr;
};

}  // namespace Base
