// The guard word that -fstack-protector checks in every function with a
// local array, and what happens when an overrun has changed it. The
// toolchain's own (libssp) draws the word with CryptGenRandom when the
// program starts: that loads the system's crypto provider, and with it
// libraries found by the default search, beside the program first, before
// the launcher has restricted the search (a planted version.dll was loaded
// that way under Wine). This one loads no library. Its word comes from what
// nobody outside the process can know: the secret the system keeps for each
// process (its cookie, from ntdll, which every process has loaded) and the
// processor's own random numbers where it has them, mixed with the clock,
// the ids and where the system placed the stack and image, which only add.
// It is built without stack protection: it changes the word that protected
// functions check.
#include "win_functions.h"

#include <cpuid.h>
#include <stdint.h>

extern "C" {

uintptr_t __stack_chk_guard = (uintptr_t)0x2F9A5C3E71D4B86Bull; // until the program starts

// An overrun ends the process at once, as Windows ends one that its own
// checks find: no handler, no unwinding through the overwritten frames.
__attribute__((noreturn)) void __stack_chk_fail(void)
{
    OutputDebugStringA("stack guard: a stack buffer overrun ended the process");
    TerminateProcess(GetCurrentProcess(), STATUS_STACK_BUFFER_OVERRUN);
    for (;;)
        __builtin_trap();
}

} // extern "C"

DECL_WINDOWS_FUNCTION(static, LONG, NtQueryInformationProcess,
                      (HANDLE, ULONG, PVOID, ULONG, PULONG));

// The system's secret for this process: 0 where it gives none (Wine).
static uint64_t ProcessCookie()
{
    const ULONG kProcessCookie = 36;
    ULONG ulCookie = 0;
    if (GET_WINDOWS_FUNCTION_NO_TYPECHECK(GetModuleHandleA("ntdll.dll"),
                                          NtQueryInformationProcess) == NULL ||
        p_NtQueryInformationProcess(GetCurrentProcess(), kProcessCookie, &ulCookie, sizeof ulCookie,
                                    NULL) < 0)
        return 0;
    return ulCookie;
}

// 64 bits from the processor's random number generator, 0 without one. A
// value with every bit set is a known fault of some processors and is not
// taken.
static uint64_t ProcessorRandom()
{
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (!__get_cpuid(1, &a, &b, &c, &d) || !(c & bit_RDRND))
        return 0;
    uint64_t u = 0;
    for (int nPart = 0; nPart < 2; ++nPart) {
        for (int nTry = 0; nTry < 10; ++nTry) {
            uint32_t r = 0;
            unsigned char bOk = 0;
            __asm__ volatile("rdrand %0; setc %1" : "=r"(r), "=qm"(bOk) : : "cc");
            if (bOk && r != 0xFFFFFFFFu) {
                u = u << 32 | r;
                break;
            }
        }
    }
    return u;
}

// Before any constructor of ours and before main: only the runtime's startup
// code, which checks no guard, is on the stack.
__attribute__((constructor(101))) static void SetStackGuard()
{
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    uint64_t u = ((uint64_t)ft.dwHighDateTime << 32 | ft.dwLowDateTime) ^
                 (uint64_t)counter.QuadPart ^ ((uint64_t)GetCurrentProcessId() << 32) ^
                 ((uint64_t)GetCurrentThreadId() << 16) ^ GetTickCount() ^
                 (uint64_t)(uintptr_t)&counter ^ ((uint64_t)(uintptr_t)&SetStackGuard << 12);
    u ^= ProcessCookie() * 0x9E3779B97F4A7C15ull ^ ProcessorRandom();
    u ^= u >> 29; // spread every bit over the whole word
    u *= 0xBF58476D1CE4E5B9ull;
    u ^= u >> 32; // so that a 32-bit word holds the high half's bits too
    __stack_chk_guard = (uintptr_t)u;
    if (__stack_chk_guard == 0)
        __stack_chk_guard = (uintptr_t)0x2F9A5C3E71D4B86Bull;
}
