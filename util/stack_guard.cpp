// The guard word that -fstack-protector checks in every function with a
// local array, and what happens when an overrun has changed it. The
// toolchain's own (libssp) draws the word with CryptGenRandom when the
// program starts: that loads the system's crypto provider, and with it
// libraries found by the default search, beside the program first, before
// the launcher has restricted the search (a planted version.dll was loaded
// that way under Wine). This one is set, as the Windows compilers set
// theirs, from what the process has at hand without loading a library:
// times, counters, its ids and where the system placed its stack and image.
// It is built without stack protection: it changes the word that protected
// functions check.
#include <windows.h>

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
    u ^= u >> 29; // spread the fast-changing low bits into the high half
    u *= 0xBF58476D1CE4E5B9ull;
    u ^= u >> 32;
    __stack_chk_guard = (uintptr_t)(sizeof(uintptr_t) == 8 ? u : (uint32_t)u ^ (uint32_t)(u >> 32));
    if (__stack_chk_guard == 0)
        __stack_chk_guard = (uintptr_t)0x2F9A5C3E71D4B86Bull;
}
