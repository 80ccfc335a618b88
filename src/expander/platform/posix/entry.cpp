// The program's entry. In the shipped build on x86_64, linked without the compiler's start
// files, the start-up code is the program's own: it hands main to the C library's start
// routine under that routine's first symbol version, so that the Expander starts on every
// glibc from 2.17 on, not only on those that have the newer version the compiler's start
// files ask for.
#include "expander/console/console.hpp"
#include "expander/console/messages.hpp"
#include "expander/expander_namespace.hpp"
#include "expander/platform/platform.hpp"

// A Linux user's first try is often "./setup.sfx --help": that must not unpack anything or
// start the run command, so any argument ends the program with a line saying what it is.
int main(int argc, char**) {
    using namespace quorvel::expander;
    if (argc > 1) {
        WriteText(message::kNoArguments);
        EndLine();
        EndProgram(kExitFailed);
    }
    ProgramMain();
}

#if defined(QUORVEL_OWN_START_CODE) && defined(__x86_64__)
__asm__(R"(
    .symver __libc_start_main, __libc_start_main@GLIBC_2.2.5
    .text
    .globl _start
    .type _start, @function
_start:
    xor %ebp, %ebp
    mov %rdx, %r9
    pop %rsi
    mov %rsp, %rdx
    and $-16, %rsp
    push %rax
    push %rsp
    xor %r8d, %r8d
    xor %ecx, %ecx
    mov $main, %edi
    call *__libc_start_main@GOTPCREL(%rip)
    hlt
)");
#endif
