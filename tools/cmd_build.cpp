// setuptool build <launcher.exe> <package> <out.exe>
// The launcher image, zero bytes up to 307200, then the package: the layout
// the launcher unpacks itself from. Written under a temporary name beside
// <out.exe> and put in its place only when complete, so no half-written
// setup is ever left, and a failed build leaves an existing one as it was.
#include "setuptool.h"
#include "package.h"
#include "file_util.h"

#include <stdio.h>
#include <string.h>

namespace
{

HANDLE OpenIn(const char* pszPath, LARGE_INTEGER* pSize)
{
    HANDLE hFile = CreateFileA(pszPath, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, NULL);
    if (hFile != INVALID_HANDLE_VALUE && !GetFileSizeEx(hFile, pSize)) {
        CloseHandle(hFile);
        hFile = INVALID_HANDLE_VALUE;
    }
    if (hFile == INVALID_HANDLE_VALUE)
        fprintf(stderr, "setuptool build: cannot read \"%s\": %s\n", pszPath,
                tool_SystemErrorText(GetLastError()));
    return hFile;
}

int IsPackage(HANDLE hPackage)
{
    int bIs = pkg_ReadHeader(hPackage) == 0;
    SetFilePointer(hPackage, 0, NULL, FILE_BEGIN);
    return bIs;
}

// Copies the rest of hIn; with hIn NULL writes cbZeros zero bytes instead.
int Copy(HANDLE hIn, HANDLE hOut, DWORD cbZeros)
{
    static BYTE buf[65536];
    DWORD dwWritten = 0;
    if (hIn == NULL) {
        memset(buf, 0, sizeof buf);
        for (DWORD cbLeft = cbZeros; cbLeft > 0;) {
            DWORD cb = cbLeft < sizeof buf ? cbLeft : (DWORD)sizeof buf;
            if (!WriteFile(hOut, buf, cb, &dwWritten, NULL))
                return 0;
            cbLeft -= cb;
        }
        return 1;
    }
    for (;;) {
        DWORD dwRead = 0;
        if (!ReadFile(hIn, buf, sizeof buf, &dwRead, NULL))
            return 0;
        if (dwRead == 0)
            return 1;
        if (!WriteFile(hOut, buf, dwRead, &dwWritten, NULL))
            return 0;
    }
}

} // namespace

int cmd_Build(int argc, char** argv)
{
    if (argc != 3)
        return tool_Usage();
    int nResult = TOOL_FAILED;
    int bWritten = 0;
    char szTemp[MAX_PATH + 32];
    LARGE_INTEGER launcherSize, packageSize;
    HANDLE hOut = INVALID_HANDLE_VALUE;
    HANDLE hPackage = INVALID_HANDLE_VALUE;
    HANDLE hLauncher = OpenIn(argv[0], &launcherSize);
    if (hLauncher == INVALID_HANDLE_VALUE)
        goto out;
    if (launcherSize.QuadPart > PKG_OFFSET) {
        fprintf(stderr, "setuptool build: the launcher image is %lld bytes; it must fit in %d\n",
                launcherSize.QuadPart, PKG_OFFSET);
        goto out;
    }
    hPackage = OpenIn(argv[1], &packageSize);
    if (hPackage == INVALID_HANDLE_VALUE)
        goto out;
    if (!IsPackage(hPackage)) {
        fprintf(stderr, "setuptool build: \"%s\" is not a package\n", argv[1]);
        goto out;
    }
    if (PKG_OFFSET + packageSize.QuadPart >= 0x100000000LL) {
        fprintf(stderr, "setuptool build: a setup must stay below 4 GiB\n");
        goto out;
    }
    if (utl_DirExists(argv[2]) || !tool_TempBeside(argv[2], szTemp, sizeof szTemp)) {
        fprintf(stderr, "setuptool build: \"%s\" cannot be written: name the setup file\n",
                argv[2]);
        goto out;
    }
    hOut = CreateFileA(szTemp, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, NULL);
    if (hOut == INVALID_HANDLE_VALUE) {
        fprintf(stderr, "setuptool build: cannot write beside \"%s\": %s\n", argv[2],
                tool_SystemErrorText(GetLastError()));
        goto out;
    }
    bWritten = Copy(hLauncher, hOut, 0) && Copy(NULL, hOut, PKG_OFFSET - launcherSize.LowPart) &&
               Copy(hPackage, hOut, 0);
    if (!bWritten)
        fprintf(stderr, "setuptool build: writing \"%s\" failed: %s\n", argv[2],
                tool_SystemErrorText(GetLastError()));
    CloseHandle(hOut);
    hOut = INVALID_HANDLE_VALUE;
    if (!bWritten)
        DeleteFileA(szTemp);
    else if (tool_Replace("build", szTemp, argv[2]))
        nResult = TOOL_OK;

out:
    if (hOut != INVALID_HANDLE_VALUE)
        CloseHandle(hOut);
    if (hPackage != INVALID_HANDLE_VALUE)
        CloseHandle(hPackage);
    if (hLauncher != INVALID_HANDLE_VALUE)
        CloseHandle(hLauncher);
    return nResult;
}
