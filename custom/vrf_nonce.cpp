// The random bytes at the head of a verification file. They only make each
// written file differ; verification reads them back and does not care how
// they were drawn. The generator is seeded at each write from the current
// time at the clock's full resolution, mixed with the performance counter,
// the process id and a count of writes, so that two writes in the same
// second, or in different processes, still differ.
#include "vrf_internal.h"

static LONG s_nWrites = 0;

// SplitMix64: small, and every seed gives a well-spread sequence.
static uint64_t NextRandom(uint64_t* pState)
{
    uint64_t z = (*pState += 0x9e3779b97f4a7c15ull);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    return z ^ (z >> 31);
}

void vrf_MakeNonce(uint8_t abNonce[VRF_NONCE_SIZE])
{
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    LARGE_INTEGER liCounter = {};
    QueryPerformanceCounter(&liCounter);
    uint64_t qwState = ((uint64_t)ft.dwHighDateTime << 32 | ft.dwLowDateTime) ^
                       ((uint64_t)liCounter.QuadPart * 0x2545f4914f6cdd1dull) ^
                       ((uint64_t)GetCurrentProcessId() << 40) ^
                       (uint64_t)InterlockedIncrement(&s_nWrites);
    for (int i = 0; i < VRF_NONCE_SIZE; ++i)
        abNonce[i] = (uint8_t)(NextRandom(&qwState) % 255); // never 0xFF
}
