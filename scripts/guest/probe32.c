/* Can this machine run 32-bit x86 code? Wine needs it for every 32-bit Windows program, in
 * its i386 loader and in its WoW64 mode alike. Some hypervisors give user programs no 32-bit
 * code segment: there a far call to the 32-bit user code selector faults.
 *
 * A 64-bit program, built without PIE so that the return address fits in 32 bits. It places
 * two instructions (mov eax, 42; retf) and a stack below 4 GiB, far-calls selector 0x23
 * (Linux's 32-bit user code segment) and comes back. Prints "yes" and exits 0 when the code
 * ran, "no" and exits 1 when it faulted; 2 when it could not even try. */
#include <setjmp.h>
#include <signal.h>
#include <stdio.h>
#include <string.h>
#include <sys/mman.h>

static sigjmp_buf fault;

static void onFault(int signal) {
    (void)signal;
    siglongjmp(fault, 1);
}

int main(void) {
    /* Code and stack in one low page pair, so that 32-bit EIP and ESP can address them. */
    unsigned char *low = mmap((void *)0x10000000, 8192, PROT_READ | PROT_WRITE | PROT_EXEC,
                              MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED_NOREPLACE, -1, 0);
    if (low == MAP_FAILED || low != (unsigned char *)0x10000000) {
        puts("unknown (no low page)");
        return 2;
    }
    static const unsigned char code[] = {0xb8, 42, 0, 0, 0, /* mov eax, 42 */
                                         0xcb};             /* retf (32-bit: EIP, CS) */
    memcpy(low, code, sizeof code);
    unsigned long stackTop = 0x10000000UL + 8192;

    struct sigaction action;
    memset(&action, 0, sizeof action);
    action.sa_handler = onFault;
    sigaction(SIGSEGV, &action, NULL);
    sigaction(SIGBUS, &action, NULL);
    sigaction(SIGILL, &action, NULL);
    if (sigsetjmp(fault, 1)) {
        puts("no");
        return 1;
    }
    static struct {
        unsigned int offset;
        unsigned short selector;
    } __attribute__((packed)) target = {0x10000000, 0x23};
    unsigned int result;
    __asm__ volatile("push %%rbx\n\t"
                     "mov %%rsp, %%rbx\n\t"
                     "mov %2, %%rsp\n\t"
                     "lcall *%1\n\t"
                     "mov %%rbx, %%rsp\n\t"
                     "pop %%rbx"
                     : "=a"(result)
                     : "m"(target), "r"(stackTop)
                     : "memory", "cc");
    if (result != 42) {
        puts("no (wrong result)");
        return 1;
    }
    puts("yes");
    return 0;
}
