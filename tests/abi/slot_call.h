// SlotCall: calls a function the way a 32-bit Windows caller of a caller-cleans (cdecl) export
// does, with the argument slots laid out by hand rather than by the compiler, and reports what
// the callee did to the stack. A callee that pops its own arguments (stdcall) or expects them
// elsewhere is caught here even where compiler-generated calls would hide it.
#pragma once

#include <cstdint>
#include <vector>

namespace abi_test {

struct SlotResult {
  uint32_t eax = 0;
  uint32_t edx = 0;
  int32_t popped = 0;  // bytes the callee removed from the stack; 0 for caller-cleans

  uint64_t u64() const { return (static_cast<uint64_t>(edx) << 32) | eax; }
  uint8_t low_byte() const { return static_cast<uint8_t>(eax & 0xff); }
};

#if defined(__i386__)
// Pushes `slots` right to left (the first slot ends up lowest, next to the return address), so a
// 64-bit argument is given as two slots, low half first. The stack is 16-byte aligned at the
// call.
SlotResult CallWithSlots(const void* function, const std::vector<uint32_t>& slots);

inline uint32_t Lo(uint64_t v) {
  return static_cast<uint32_t>(v);
}
inline uint32_t Hi(uint64_t v) {
  return static_cast<uint32_t>(v >> 32);
}
inline uint32_t Ptr(const void* p) {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p));
}
template <typename R, typename... A>
uint32_t FnSlot(R (*f)(A...)) {
  return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(f));
}
#endif

// An export typed as the caller declares it (through the untyped function type, which any
// function pointer converts to without a warning).
template <typename Fn, typename Proc>
Fn As(Proc proc) {
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(proc));
}

}  // namespace abi_test
