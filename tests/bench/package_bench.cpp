// Throughput of the packer and the setup unpacker against two copies of the
// same bytes in the same place, 128 MiB in four files: a plain copy through
// one 4096-byte ReadFile/WriteFile buffer (the floor the package code's own
// 4096-byte streaming sets; the target is 0.95 of it or better for both) and
// CopyFileA. Prints MiB/s and the ratios.
//   package_bench [work-dir]     (default C:\tmp\kelvo-bench; removed afterwards)
#include "package.h"
#include "file_util.h"

#include <algorithm>
#include <stdio.h>
#include <string>
#include <vector>

namespace
{

const int kFiles = 4;
const DWORD kFileBytes = 32u << 20;
const double kTotalMiB = kFiles * (kFileBytes / 1048576.0);

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to)
{
    LARGE_INTEGER freq;
    QueryPerformanceFrequency(&freq);
    return (double)(to.QuadPart - from.QuadPart) / (double)freq.QuadPart;
}

bool MakeSource(const std::string& path, DWORD dwSeed)
{
    HANDLE hFile = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, NULL);
    if (hFile == INVALID_HANDLE_VALUE)
        return false;
    std::vector<DWORD> block(1 << 16);
    bool bOk = true;
    for (DWORD dwDone = 0; bOk && dwDone < kFileBytes; dwDone += block.size() * 4) {
        for (DWORD& dw : block)
            dw = dwSeed = dwSeed * 1664525u + 1013904223u;
        DWORD dwWritten;
        bOk = WriteFile(hFile, block.data(), (DWORD)block.size() * 4, &dwWritten, NULL) != 0;
    }
    CloseHandle(hFile);
    return bOk;
}

// The plain copy: what packing and unpacking do, without the format.
bool Copy4k(const std::string& from, const std::string& to)
{
    HANDLE hIn = CreateFileA(from.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, NULL);
    HANDLE hOut =
        CreateFileA(to.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    bool bOk = hIn != INVALID_HANDLE_VALUE && hOut != INVALID_HANDLE_VALUE;
    static BYTE s_buf[PKG_CHUNK];
    for (DWORD dwRead = 1; bOk && dwRead != 0;) {
        DWORD dwWritten = 0;
        bOk = ReadFile(hIn, s_buf, sizeof s_buf, &dwRead, NULL) &&
              WriteFile(hOut, s_buf, dwRead, &dwWritten, NULL);
    }
    if (hIn != INVALID_HANDLE_VALUE)
        CloseHandle(hIn);
    if (hOut != INVALID_HANDLE_VALUE)
        CloseHandle(hOut);
    return bOk;
}

std::string Name(int i)
{
    return "payload" + std::to_string(i) + ".bin";
}

} // namespace

int main(int argc, char** argv)
{
    std::string work = argc > 1 ? argv[1] : "C:\\tmp\\kelvo-bench";
    std::string src = work + "\\src", copies = work + "\\copy", out = work + "\\out";
    CreateDirectoryA("C:\\tmp", NULL);
    utl_RemoveDirTree(work.c_str());
    for (const std::string& d : {work, src, copies, out})
        CreateDirectoryA(d.c_str(), NULL);
    printf("making %d files of %u MiB in %s\n", kFiles, (unsigned)(kFileBytes >> 20), work.c_str());
    for (int i = 0; i < kFiles; ++i) {
        if (!MakeSource(src + "\\" + Name(i), 17u + i)) {
            fprintf(stderr, "cannot write the payload\n");
            return 1;
        }
    }

    // Best of nine rounds: the page cache and other load make single runs noisy.
    double dCopySec = 1e9, dCopy4kSec = 1e9, dPackSec = 1e9, dUnpackSec = 1e9;
    for (int nRound = 0; nRound < 9; ++nRound) {
        LARGE_INTEGER t0, t1, t2, t3, t4, t5;
        QueryPerformanceCounter(&t0);
        for (int i = 0; i < kFiles; ++i) {
            if (!CopyFileA((src + "\\" + Name(i)).c_str(), (copies + "\\" + Name(i)).c_str(),
                           FALSE)) {
                fprintf(stderr, "CopyFileA failed: %lu\n", GetLastError());
                return 1;
            }
        }
        QueryPerformanceCounter(&t1);
        utl_DeleteFilesInDir(copies.c_str(), "*.*");
        QueryPerformanceCounter(&t2);
        for (int i = 0; i < kFiles; ++i) {
            if (!Copy4k(src + "\\" + Name(i), copies + "\\" + Name(i))) {
                fprintf(stderr, "the 4 KiB copy failed: %lu\n", GetLastError());
                return 1;
            }
        }
        QueryPerformanceCounter(&t3);
        utl_DeleteFile((work + "\\bench.pkg").c_str()); // as the copies' targets are gone
        LARGE_INTEGER tPack;
        QueryPerformanceCounter(&tPack);
        DWORD dwErr = 0;
        for (int i = 0; i < kFiles; ++i) {
            if (!utl_FilePack(src.c_str(), Name(i).c_str(), work.c_str(), "bench.pkg", &dwErr,
                              i > 0)) {
                fprintf(stderr, "pack failed: %lu\n", dwErr);
                return 1;
            }
        }
        QueryPerformanceCounter(&t4);
        utl_DeleteFilesInDir(out.c_str(), "*.*");
        LARGE_INTEGER tUnpack;
        QueryPerformanceCounter(&tUnpack);
        if (!utl_FileUnpack(work.c_str(), "bench.pkg", out.c_str(), &dwErr, 0)) {
            fprintf(stderr, "unpack failed: %lu\n", dwErr);
            return 1;
        }
        QueryPerformanceCounter(&t5);
        utl_DeleteFilesInDir(copies.c_str(), "*.*");
        dCopySec = std::min(dCopySec, Seconds(t0, t1));
        dCopy4kSec = std::min(dCopy4kSec, Seconds(t2, t3));
        dPackSec = std::min(dPackSec, Seconds(tPack, t4));
        dUnpackSec = std::min(dUnpackSec, Seconds(tUnpack, t5));
    }

    double dCopy = kTotalMiB / dCopySec, dCopy4k = kTotalMiB / dCopy4kSec;
    double dPack = kTotalMiB / dPackSec, dUnpack = kTotalMiB / dUnpackSec;
    printf("CopyFileA  %8.1f MiB/s\n", dCopy);
    printf("4 KiB copy %8.1f MiB/s\n", dCopy4k);
    printf("pack       %8.1f MiB/s   of the 4 KiB copy %.2f   of CopyFileA %.2f\n", dPack,
           dPack / dCopy4k, dPack / dCopy);
    printf("unpack     %8.1f MiB/s   of the 4 KiB copy %.2f   of CopyFileA %.2f\n", dUnpack,
           dUnpack / dCopy4k, dUnpack / dCopy);
    utl_RemoveDirTree(work.c_str());
    return 0;
}
