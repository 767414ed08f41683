// Throughput of the packer and the setup unpacker against CopyFileA on the
// same bytes in the same place: 256 MiB in eight files. Prints MiB/s and the
// ratios pack/copy and unpack/copy (the target is 0.8 or better for both).
//   package_bench [work-dir]     (default C:\tmp\kelvo-bench; removed afterwards)
#include "package.h"
#include "file_util.h"

#include <algorithm>
#include <stdio.h>
#include <string>
#include <vector>

namespace
{

const int kFiles = 8;
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

    // Best of three rounds: the page cache and other load make single runs noisy.
    double dCopySec = 1e9, dPackSec = 1e9, dUnpackSec = 1e9;
    for (int nRound = 0; nRound < 3; ++nRound) {
        LARGE_INTEGER t0, t1, t2, t3;
        QueryPerformanceCounter(&t0);
        for (int i = 0; i < kFiles; ++i) {
            if (!CopyFileA((src + "\\" + Name(i)).c_str(), (copies + "\\" + Name(i)).c_str(),
                           FALSE)) {
                fprintf(stderr, "CopyFileA failed: %lu\n", GetLastError());
                return 1;
            }
        }
        QueryPerformanceCounter(&t1);
        DWORD dwErr = 0;
        for (int i = 0; i < kFiles; ++i) {
            if (!utl_FilePack(src.c_str(), Name(i).c_str(), work.c_str(), "bench.pkg", &dwErr,
                              i > 0)) {
                fprintf(stderr, "pack failed: %lu\n", dwErr);
                return 1;
            }
        }
        QueryPerformanceCounter(&t2);
        utl_DeleteFilesInDir(out.c_str(), "*.*");
        LARGE_INTEGER tUnpack;
        QueryPerformanceCounter(&tUnpack);
        if (!utl_FileUnpack(work.c_str(), "bench.pkg", out.c_str(), &dwErr, 0)) {
            fprintf(stderr, "unpack failed: %lu\n", dwErr);
            return 1;
        }
        QueryPerformanceCounter(&t3);
        dCopySec = std::min(dCopySec, Seconds(t0, t1));
        dPackSec = std::min(dPackSec, Seconds(t1, t2));
        dUnpackSec = std::min(dUnpackSec, Seconds(tUnpack, t3));
    }

    double dCopy = kTotalMiB / dCopySec;
    double dPack = kTotalMiB / dPackSec;
    double dUnpack = kTotalMiB / dUnpackSec;
    printf("CopyFileA  %8.1f MiB/s\n", dCopy);
    printf("pack       %8.1f MiB/s   pack/copy   %.2f\n", dPack, dPack / dCopy);
    printf("unpack     %8.1f MiB/s   unpack/copy %.2f\n", dUnpack, dUnpack / dCopy);
    utl_RemoveDirTree(work.c_str());
    return 0;
}
