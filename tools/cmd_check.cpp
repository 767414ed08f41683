// setuptool check <setup.exe> [--codepage N]
// The release check before a setup is published: the launcher image, the
// package walked record by record with the unpacker's own checks (nothing is
// written), the end record, and an Authenticode signature's certificate
// table. Exit 0 only when the setup unpacks as it is and will still unpack
// once signed (or is signed and unpacks); 1 otherwise.
#include "setuptool.h"
#include "pe_image.h"
#include "tool_os.h"

#include <stdio.h>
#include <string.h>

namespace
{

struct Walk {
    uint64_t ullEnd; // file offset just past the last record read
    int nRecords;
    int bEndRecord;
    uint32_t uCodePage;
};

// The image never reaches past the package's offset in a setup that works.
uint8_t s_abImage[PKG_OFFSET];

// Reads the image's headers; prints what is wrong and returns 0 when the
// file is no 32-bit Windows GUI program.
int ReadImage(ToolFile* pFile, PeFacts* pFacts)
{
    uint32_t cbRead = 0;
    if (tos_Read(pFile, s_abImage, sizeof s_abImage, &cbRead) != 0)
        cbRead = 0;
    switch (pe_ReadImage(s_abImage, cbRead, pFacts)) {
    case PE_OK:
        return 1;
    case PE_TOO_SHORT:
        printf("launcher: too short for a program\n");
        return 0;
    case PE_NOT_WINDOWS:
        printf("launcher: not a Windows program\n");
        return 0;
    case PE_NOT_GUI32:
        printf("launcher: not a PE32 Windows GUI program\n");
        return 0;
    default:
        printf("launcher: its section table is damaged\n");
        return 0;
    }
}

const char* LauncherKind(const PeFacts* pFacts)
{
    switch (pFacts->eLauncher) {
    case PE_SETUP:
        return "setup";
    case PE_SETUP_LITE:
        return "setup-lite";
    default:
        return "an unknown launcher";
    }
}

void PrintVersion(const PeFacts* pFacts)
{
    if (!pFacts->bVersion) {
        printf("version block: none\n");
        return;
    }
    printf("version block: %u.%u.%u.%u\n", pFacts->awVersion[0], pFacts->awVersion[1],
           pFacts->awVersion[2], pFacts->awVersion[3]);
}

void PrintRecord(void* pContext, const PkgRecordInfo* pRecord)
{
    Walk* pWalk = (Walk*)pContext;
    int bEnd = strcmp(pRecord->pszName, g_szPkgEndName) == 0;
    printf("  %s\t%u%s\n", tos_ShownName(pRecord->pszName, pWalk->uCodePage),
           (unsigned)pRecord->cbData, bEnd ? "\t(end record)" : "");
    pWalk->ullEnd = PKG_OFFSET + pRecord->ullEnd;
    ++pWalk->nRecords;
    pWalk->bEndRecord |= bEnd;
}

// The package as the launcher's unpacker reads it: setup-lite's reads on past
// an end record to the end of the file.
int WalkPackage(const char* pszPath, int bLite, Walk* pWalk)
{
    char szDir[TOOL_PATH_BUF], szName[TOOL_PATH_BUF];
    if (!tool_SplitPath(pszPath, szDir, sizeof szDir, szName, sizeof szName))
        return 0;
    printf("package at %d:\n", PKG_OFFSET);
    pWalk->ullEnd = PKG_OFFSET + PKG_MARKER_LEN;
    UnpackVariant walk = {0, !bLite, 0, PrintRecord, pWalk, pWalk->uCodePage};
    uint32_t dwErr = 0;
    if (tos_Walk(szDir, szName, ".", &dwErr, PKG_OFFSET, &walk))
        return 1;
    printf("package: error %u: %s\n", (unsigned)dwErr, tool_PackageErrorText(dwErr));
    tool_NoteCodePage(dwErr, pWalk->uCodePage);
    return 0;
}

// The table must start with a signature's header and end the file.
int CertificateTableIsSound(ToolFile* pFile, const PeFacts* pFacts, uint64_t cbFile)
{
    uint8_t abHeader[8];
    uint32_t cbRead = 0;
    return (uint64_t)pFacts->dwCertOffset + pFacts->cbCert == cbFile &&
           tos_Seek(pFile, pFacts->dwCertOffset) &&
           tos_Read(pFile, abHeader, sizeof abHeader, &cbRead) == 0 && cbRead == sizeof abHeader &&
           pe_IsCertificateHeader(abHeader, pFacts->cbCert);
}

// A signed setup unpacks when the walk stopped at the end record before the
// certificate table; an unsigned one will unpack once signed only with an end
// record, which setup-lite's unpacker does not stop at.
int JudgeSignature(ToolFile* pFile, const PeFacts* pFacts, const Walk* pWalk, int bLite,
                   uint64_t cbFile)
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
    if (!CertificateTableIsSound(pFile, pFacts, cbFile)) {
        printf("signature: the certificate table of %u bytes at %u is damaged or does not end "
               "the file\n",
               (unsigned)pFacts->cbCert, (unsigned)pFacts->dwCertOffset);
        return 0;
    }
    int bInside = pWalk->ullEnd <= pFacts->dwCertOffset;
    printf("signature: a certificate table of %u bytes at %u; the package ends at %llu, %s\n",
           (unsigned)pFacts->cbCert, (unsigned)pFacts->dwCertOffset,
           (unsigned long long)pWalk->ullEnd,
           bInside ? "inside the signed range" : "NOT wholly inside the signed range");
    return bInside;
}

int CheckSetup(const char* pszPath, ToolFile* pFile, uint64_t cbFile, uint32_t uCodePage)
{
    PeFacts facts;
    if (!ReadImage(pFile, &facts))
        return 0;
    int bImageFits = facts.cbImage <= PKG_OFFSET;
    printf("launcher: %s, a PE32 Windows GUI program; image %u bytes, %s %d\n",
           LauncherKind(&facts), (unsigned)facts.cbImage, bImageFits ? "within" : "MORE than",
           PKG_OFFSET);
    PrintVersion(&facts);
    if (!bImageFits || cbFile <= PKG_OFFSET) {
        if (cbFile <= PKG_OFFSET)
            printf("package: none behind the image\n");
        return 0;
    }
    Walk walk = {0, 0, 0, uCodePage};
    if (!WalkPackage(pszPath, facts.eLauncher == PE_SETUP_LITE, &walk))
        return 0;
    printf("records: %d\n", walk.nRecords);
    return JudgeSignature(pFile, &facts, &walk, facts.eLauncher == PE_SETUP_LITE, cbFile);
}

} // namespace

int cmd_Check(int argc, char** argv)
{
    uint32_t uCodePage = 0;
    if (!tool_TakeCodePage(&argc, argv, &uCodePage) || argc != 1)
        return tool_Usage();
    ToolFile* pFile = tos_OpenRead(argv[0]);
    uint64_t cbFile = 0;
    if (pFile == NULL || !tos_Size(pFile, &cbFile)) {
        fprintf(stderr, "%s check: cannot read \"%s\": %s\n", g_szToolName, argv[0],
                tos_ErrorText(tos_LastError()));
        tos_Close(&pFile);
        return TOOL_FAILED;
    }
    int bGood = CheckSetup(argv[0], pFile, cbFile, uCodePage);
    tos_Close(&pFile);
    printf("%s\n", bGood ? "verdict: ready to publish" : "verdict: do not publish");
    return bGood ? TOOL_OK : TOOL_FAILED;
}
