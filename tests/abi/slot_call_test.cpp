// The hand-laid calls of slot_call.h must see what they claim to: a callee that pops its own
// arguments, and a 64-bit result in the register pair. Checked against system functions whose
// conventions are fixed.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>

#include "slot_call.h"

namespace abi_test {
namespace {

#if defined(__i386__)
TEST(SlotCall, SeesACalleeThatPopsItsArguments) {
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  ASSERT_NE(kernel, nullptr);
  // Sleep(DWORD) is WINAPI (stdcall): it removes its one slot itself.
  const SlotResult r =
      CallWithSlots(reinterpret_cast<const void*>(GetProcAddress(kernel, "Sleep")), {0});
  EXPECT_EQ(r.popped, 4);
}

TEST(SlotCall, ReadsA64BitResultFromTheRegisterPairOfACallerCleansFunction) {
  HMODULE crt = LoadLibraryW(L"msvcrt.dll");
  ASSERT_NE(crt, nullptr);
  static const char kText[] = "81985529216486895";  // 0x0123456789abcdef
  const SlotResult r =
      CallWithSlots(reinterpret_cast<const void*>(GetProcAddress(crt, "_atoi64")), {Ptr(kText)});
  EXPECT_EQ(r.popped, 0);
  EXPECT_EQ(r.u64(), 0x0123456789abcdefull);
  FreeLibrary(crt);
}
#endif

}  // namespace
}  // namespace abi_test
