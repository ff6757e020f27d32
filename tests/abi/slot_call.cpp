#include "slot_call.h"

#if defined(__i386__)
extern "C" void kuvo_abi_call_slots(const void* function, const uint32_t* slots, uint32_t count,
                                    uint32_t* out);

// out[0] = eax, out[1] = edx, out[2] = esp after the call minus esp before it.
asm(R"(
    .text
    .globl _kuvo_abi_call_slots
    .def _kuvo_abi_call_slots; .scl 2; .type 32; .endef
_kuvo_abi_call_slots:
    pushl %ebp
    movl %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    movl 12(%ebp), %esi
    movl 16(%ebp), %ecx
    andl $-16, %esp
    movl %ecx, %eax
    shll $2, %eax
    negl %eax
    andl $15, %eax
    subl %eax, %esp
1:  testl %ecx, %ecx
    jz 2f
    decl %ecx
    pushl (%esi,%ecx,4)
    jmp 1b
2:  movl %esp, %edi
    call *8(%ebp)
    movl %esp, %ebx
    subl %edi, %ebx
    movl 20(%ebp), %ecx
    movl %eax, (%ecx)
    movl %edx, 4(%ecx)
    movl %ebx, 8(%ecx)
    leal -12(%ebp), %esp
    popl %edi
    popl %esi
    popl %ebx
    popl %ebp
    ret
)");

namespace abi_test {

SlotResult CallWithSlots(const void* function, const std::vector<uint32_t>& slots) {
  uint32_t out[3] = {0, 0, 0};
  kuvo_abi_call_slots(function, slots.data(), static_cast<uint32_t>(slots.size()), out);
  SlotResult result;
  result.eax = out[0];
  result.edx = out[1];
  result.popped = static_cast<int32_t>(out[2]);
  return result;
}

}  // namespace abi_test
#endif
