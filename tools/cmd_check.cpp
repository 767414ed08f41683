// setuptool check <setup.exe>
// The release check before a setup is published: the launcher image, the
// package walked record by record with the unpacker's own checks (nothing is
// written), the end record, and an Authenticode signature's certificate
// table. Exit 0 only when the setup unpacks as it is and will still unpack
// once signed (or is signed and unpacks); 1 otherwise.
#include "setuptool.h"
#include "package.h"
#include "file_util.h"
#include "resource.h"

#include <stdio.h>
#include <string.h>

namespace
{

struct ImageFacts {
    DWORD cbImage; // headers and sections: where the zero fill starts
    DWORD dwCertOffset;
    DWORD cbCert;
};

struct Walk {
    unsigned long long ullEnd; // file offset just past the last record read
    int nRecords;
    int bEndRecord;
};

// Reads the PE32 headers; prints what is wrong and returns 0 when the file is
// no 32-bit Windows GUI program.
int ReadImage(HANDLE hFile, ImageFacts* pFacts)
{
    static BYTE head[4096];
    DWORD dwRead = 0;
    if (!ReadFile(hFile, head, sizeof head, &dwRead, NULL) || dwRead < sizeof(IMAGE_DOS_HEADER)) {
        printf("launcher: too short for a program\n");
        return 0;
    }
    const IMAGE_DOS_HEADER* pDos = (const IMAGE_DOS_HEADER*)head;
    DWORD dwNt = pDos->e_lfanew;
    if (pDos->e_magic != IMAGE_DOS_SIGNATURE || dwNt > dwRead - sizeof(IMAGE_NT_HEADERS32)) {
        printf("launcher: not a Windows program\n");
        return 0;
    }
    const IMAGE_NT_HEADERS32* pNt = (const IMAGE_NT_HEADERS32*)(head + dwNt);
    const IMAGE_OPTIONAL_HEADER32* pOpt = &pNt->OptionalHeader;
    if (pNt->Signature != IMAGE_NT_SIGNATURE || pOpt->Magic != IMAGE_NT_OPTIONAL_HDR32_MAGIC ||
        pOpt->Subsystem != IMAGE_SUBSYSTEM_WINDOWS_GUI) {
        printf("launcher: not a PE32 Windows GUI program\n");
        return 0;
    }
    const IMAGE_SECTION_HEADER* pSec = IMAGE_FIRST_SECTION(pNt);
    WORD nSections = pNt->FileHeader.NumberOfSections;
    if ((const BYTE*)(pSec + nSections) > head + dwRead) {
        printf("launcher: its section table is damaged\n");
        return 0;
    }
    pFacts->cbImage = pOpt->SizeOfHeaders;
    for (WORD i = 0; i < nSections; ++i) {
        DWORD dwEnd = pSec[i].PointerToRawData + pSec[i].SizeOfRawData;
        if (dwEnd > pFacts->cbImage)
            pFacts->cbImage = dwEnd;
    }
    const IMAGE_DATA_DIRECTORY& cert = pOpt->DataDirectory[IMAGE_DIRECTORY_ENTRY_SECURITY];
    pFacts->dwCertOffset = cert.VirtualAddress; // a file offset, for this one entry
    pFacts->cbCert = cert.Size;
    return 1;
}

// "setup" carries the password dialog, "setup-lite" its own icon.
const char* LauncherKind(const char* pszPath)
{
    HMODULE hImage = LoadLibraryExA(pszPath, NULL, LOAD_LIBRARY_AS_DATAFILE);
    if (hImage == NULL)
        return "an unknown launcher";
    const char* pszKind = "an unknown launcher";
    if (FindResourceA(hImage, MAKEINTRESOURCEA(IDD_CHKPWD_DLG), MAKEINTRESOURCEA(5)))
        pszKind = "setup";
    else if (FindResourceA(hImage, MAKEINTRESOURCEA(IDI_LITE), MAKEINTRESOURCEA(14)))
        pszKind = "setup-lite";
    FreeLibrary(hImage);
    return pszKind;
}

void PrintVersion(const char* pszPath)
{
    DWORD dwHandle = 0;
    DWORD cb = GetFileVersionInfoSizeA(pszPath, &dwHandle);
    static BYTE block[8192];
    VS_FIXEDFILEINFO* pFixed = NULL;
    UINT cbFixed = 0;
    if (cb == 0 || cb > sizeof block || !GetFileVersionInfoA(pszPath, 0, cb, block) ||
        !VerQueryValueA(block, "\\", (void**)&pFixed, &cbFixed)) {
        printf("version block: none\n");
        return;
    }
    printf("version block: %u.%u.%u.%u\n", (unsigned)HIWORD(pFixed->dwFileVersionMS),
           (unsigned)LOWORD(pFixed->dwFileVersionMS), (unsigned)HIWORD(pFixed->dwFileVersionLS),
           (unsigned)LOWORD(pFixed->dwFileVersionLS));
}

void PrintRecord(void* pContext, const char* pszName, DWORD dwDataLen)
{
    Walk* pWalk = (Walk*)pContext;
    int bEnd = strcmp(pszName, g_szPkgEndName) == 0;
    printf("  %s\t%u%s\n", pszName, (unsigned)dwDataLen, bEnd ? "\t(end record)" : "");
    pWalk->ullEnd += 8ull + strlen(pszName) + dwDataLen;
    ++pWalk->nRecords;
    pWalk->bEndRecord |= bEnd;
}

// The package as the launcher's unpacker reads it: setup-lite's reads on past
// an end record to the end of the file.
int WalkPackage(const char* pszPath, int bLite, Walk* pWalk)
{
    char szDir[UTL_PATH_BUF], szName[UTL_PATH_BUF];
    if (!tool_SplitPath(pszPath, szDir, sizeof szDir, szName, sizeof szName))
        return 0;
    printf("package at %d:\n", PKG_OFFSET);
    pWalk->ullEnd = PKG_OFFSET + PKG_MARKER_LEN;
    UnpackVariant walk = {0, !bLite, 0, PrintRecord, pWalk};
    DWORD dwErr = 0;
    if (pkg_Unpack(INVALID_HANDLE_VALUE, szDir, szName, ".", &dwErr, PKG_OFFSET, &walk))
        return 1;
    printf("package: error %u: %s\n", (unsigned)dwErr, tool_ErrorText(dwErr));
    return 0;
}

// A signed setup unpacks when the walk stopped at the end record before the
// certificate table; an unsigned one will unpack once signed only with an end
// record, which setup-lite's unpacker does not stop at.
int JudgeSignature(const ImageFacts* pFacts, const Walk* pWalk, int bLite, LONGLONG llSize)
{
    printf("end record: %s\n", pWalk->bEndRecord ? "yes" : "no");
    if (pFacts->cbCert == 0) {
        printf("signature: none\n");
        if (bLite)
            printf("warning: setup-lite reads its package to the end of the file: this setup "
                   "will not unpack once signed\n");
        else if (!pWalk->bEndRecord)
            printf("warning: no end record: this setup will not unpack once signed\n");
        return !bLite && pWalk->bEndRecord;
    }
    int bInside = pWalk->ullEnd <= pFacts->dwCertOffset &&
                  (LONGLONG)pFacts->dwCertOffset + pFacts->cbCert == llSize;
    printf("signature: a certificate table of %u bytes at %u; the package ends at %llu, %s\n",
           (unsigned)pFacts->cbCert, (unsigned)pFacts->dwCertOffset, pWalk->ullEnd,
           bInside ? "inside the signed range" : "NOT wholly inside the signed range");
    return bInside;
}

int CheckSetup(const char* pszPath, HANDLE hFile, LONGLONG llSize)
{
    ImageFacts facts = {};
    if (!ReadImage(hFile, &facts))
        return 0;
    const char* pszKind = LauncherKind(pszPath);
    int bImageFits = facts.cbImage <= PKG_OFFSET;
    printf("launcher: %s, a PE32 Windows GUI program; image %u bytes, %s %d\n", pszKind,
           (unsigned)facts.cbImage, bImageFits ? "within" : "MORE than", PKG_OFFSET);
    PrintVersion(pszPath);
    if (!bImageFits || llSize <= PKG_OFFSET) {
        if (llSize <= PKG_OFFSET)
            printf("package: none behind the image\n");
        return 0;
    }
    int bLite = strcmp(pszKind, "setup-lite") == 0;
    Walk walk = {};
    if (!WalkPackage(pszPath, bLite, &walk))
        return 0;
    printf("records: %d\n", walk.nRecords);
    return JudgeSignature(&facts, &walk, bLite, llSize);
}

} // namespace

int cmd_Check(int argc, char** argv)
{
    if (argc != 1)
        return tool_Usage();
    HANDLE hFile = CreateFileA(argv[0], GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, NULL);
    LARGE_INTEGER size;
    if (hFile == INVALID_HANDLE_VALUE || !GetFileSizeEx(hFile, &size)) {
        fprintf(stderr, "setuptool check: cannot read \"%s\": %s\n", argv[0],
                tool_SystemErrorText(GetLastError()));
        if (hFile != INVALID_HANDLE_VALUE)
            CloseHandle(hFile);
        return TOOL_FAILED;
    }
    int bGood = CheckSetup(argv[0], hFile, size.QuadPart);
    CloseHandle(hFile);
    printf("%s\n", bGood ? "verdict: ready to publish" : "verdict: do not publish");
    return bGood ? TOOL_OK : TOOL_FAILED;
}
