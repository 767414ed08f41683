// What the seal's check and the progress window cost a whole launcher run:
// setup.exe on a 1 GiB package, sealed and on this program's desktop (the
// digest of every byte, the window after a second), sealed on a desktop
// nobody sees (the digest alone), against the same file with its seal
// cleared on that desktop (neither). Nine rounds, the three runs of a round
// one after the other, each from the start to the exit with the work
// directory removed before it; the medians. The goal: at most 3 % more.
// Prints seconds and the ratios; and the digest's own speed over 64 MiB in
// memory, in the launchers' 4096-byte chunks, on its SSE2 and its plain
// path. A benchmark, not a test.
//   seal_bench
#include "hidden_desktop.h"
#include "seal.h"
#include "setup_builder.h"
#include "test_env.h"
#include "xxh3.h"

#include <gtest/gtest.h>
#include <stdio.h>
#include <algorithm>
#include <vector>

namespace
{

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

double RunSeconds(const std::string& setup, const char* pszDesktop)
{
    RemoveWorkDirs();
    LARGE_INTEGER freq, from, to;
    QueryPerformanceFrequency(&freq);
    QueryPerformanceCounter(&from);
    DWORD dwExit = RunSetup(setup, pszDesktop);
    QueryPerformanceCounter(&to);
    if (dwExit != 0)
        printf("the run ended with %u\n", (unsigned)dwExit);
    return (double)(to.QuadPart - from.QuadPart) / (double)freq.QuadPart;
}

// The seal block read, or written in place (the sealed bytes, or zero
// bytes); the file is too big for a 32-bit process to hold.
bool SealBlock(const std::string& setup, std::string* pBlock, bool bWrite)
{
    HANDLE h =
        CreateFileA(setup.c_str(), GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
    LARGE_INTEGER at;
    at.QuadPart = PKG_SEAL_AT;
    DWORD cb = 0;
    pBlock->resize(PKG_SEAL_SIZE);
    bool bDone = h != INVALID_HANDLE_VALUE && SetFilePointerEx(h, at, NULL, FILE_BEGIN) &&
                 (bWrite ? WriteFile(h, pBlock->data(), PKG_SEAL_SIZE, &cb, NULL)
                         : ReadFile(h, &(*pBlock)[0], PKG_SEAL_SIZE, &cb, NULL)) &&
                 cb == PKG_SEAL_SIZE;
    CloseHandle(h);
    return bDone;
}

TEST(SealBench, WholeRunOnAGibibytePackage)
{
    std::string src = FreshTestDir("SealBench");
    HANDLE h =
        CreateFileA((src + "\\big.bin").c_str(), GENERIC_WRITE, 0, NULL, CREATE_NEW, 0, NULL);
    LARGE_INTEGER size;
    size.QuadPart = 1ll << 30;
    ASSERT_TRUE(SetFilePointerEx(h, size, NULL, FILE_BEGIN) && SetEndOfFile(h));
    CloseHandle(h);
    ASSERT_TRUE(AddDemoPrograms(src, 100, 100));
    std::string setup = BuildSetup(src, "setup.exe", "C:\\tmp\\kelvo-seal-bench.exe");
    DeleteFileA((src + "\\big.bin").c_str());
    ASSERT_FALSE(setup.empty());
    std::string sealed, zero(PKG_SEAL_SIZE, '\0');
    ASSERT_TRUE(SealBlock(setup, &sealed, false));
    std::vector<double> window, digest, plain;
    for (int i = 0; i < 9; ++i) {
        ASSERT_TRUE(SealBlock(setup, &sealed, true));
        window.push_back(RunSeconds(setup, NULL));
        digest.push_back(RunSeconds(setup, HiddenDesktop()));
        ASSERT_TRUE(SealBlock(setup, &zero, true));
        plain.push_back(RunSeconds(setup, HiddenDesktop()));
    }
    double dWindow = Median(window), dDigest = Median(digest), dPlain = Median(plain);
    printf("medians of 9: sealed with window %.2f s, sealed without window %.2f s, no seal "
           "and no window %.2f s\n",
           dWindow, dDigest, dPlain);
    printf("the seal's check adds %.1f %%, with the window %.1f %%\n", (dDigest / dPlain - 1) * 100,
           (dWindow / dPlain - 1) * 100);
    DeleteFileA(setup.c_str());
    RemoveWorkDirs();
}

TEST(SealBench, DigestInMemory)
{
    std::vector<uint8_t> data(64u << 20);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = (uint8_t)(i * 2654435761u >> 13);
    for (int bVector : {1, 0}) {
        std::vector<double> seconds;
        for (int i = 0; i < 5; ++i) {
            LARGE_INTEGER freq, from, to;
            QueryPerformanceFrequency(&freq);
            QueryPerformanceCounter(&from);
            Xxh3 state;
            xxh3_Start(&state);
            state.bVector &= bVector;
            for (size_t at = 0; at < data.size(); at += PKG_CHUNK)
                xxh3_Add(&state, &data[at], PKG_CHUNK);
            volatile uint64_t ullDigest = xxh3_Digest(&state);
            (void)ullDigest;
            QueryPerformanceCounter(&to);
            seconds.push_back((double)(to.QuadPart - from.QuadPart) / (double)freq.QuadPart);
        }
        printf("XXH3 on its %s path: %.1f GB/s (median of 5)\n", bVector ? "SSE2" : "plain",
               data.size() / Median(seconds) / 1e9);
    }
}

} // namespace
