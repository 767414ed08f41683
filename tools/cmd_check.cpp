// setuptool check <setup.exe> [--codepage N]
// The release check before a setup is published: the launcher image, the
// package walked record by record with its launcher's own unpacker and
// checks (nothing is written), the programs that launcher starts, and an
// Authenticode signature's certificate table. Exit 0 only when the setup
// installs as it is and will once signed (or is signed and does); 1
// otherwise.
#include "setuptool.h"
#include "error_catalogue.h"
#include "install_sequence.h"
#include "pe_image.h"
#include "tool_os.h"
#include "tool_seal.h"

#include <stdio.h>
#include <string.h>

namespace
{

// A program the launcher starts from its work directory; a run that does not
// find it there stops with dwErr. One that is needed only on some PCs is a
// warning.
struct Program {
    const char* pszName;
    const char* pszRole;
    uint32_t dwErr;
    int bSometimes;
};

// clang-format off
const Program kSetupPrograms[] = {
    {SETUP_COMPANION, "the companion, which setup starts first", LAUNCH_ERR_NO_HELPER, 0},
    {SETUP_INNER_INSTALLER, "the inner installer", LAUNCH_ERR_NO_INSTALLER, 0},
};
const Program kLitePrograms[] = {
    {LITE_REGISTRATION_TOOL, "the registration tool, which setup-lite starts first where no client "
     "is installed yet", LAUNCH_ERR_NO_HELPER, 1},
    {SETUP_INNER_INSTALLER, "the inner installer", LAUNCH_ERR_NO_INSTALLER, 0},
};
// clang-format on
enum { kPrograms = 2 };

struct Walk {
    uint64_t ullEnd; // file offset just past the last record read
    int nRecords;
    int bEndRecord;
    int bLite; // its unpacker takes a record named like the end record as a file
    uint32_t uCodePage;
    const Program* pPrograms; // kPrograms of them; NULL for an unknown launcher
    int abFound[kPrograms];
    uint32_t acbFound[kPrograms];
    int abBehindEnd[kPrograms]; // packed, but behind the end record
    int bPastEnd;               // the walk behind the end record has passed it
    PkgWatch watch;             // the seal, checked by the walk that lists
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

// The launcher looks for its programs in the work directory itself, not in
// a subdirectory, by names whose ASCII case does not count.
int ProgramIndex(const Walk* pWalk, const char* pszName)
{
    for (int i = 0; pWalk->pPrograms != NULL && i < kPrograms; ++i) {
        if (pkg_SameName(pszName, pWalk->pPrograms[i].pszName))
            return i;
    }
    return -1;
}

void PrintRecord(void* pContext, const PkgRecordInfo* pRecord)
{
    Walk* pWalk = (Walk*)pContext;
    int bEnd = !pWalk->bLite && strcmp(pRecord->pszName, g_szPkgEndName) == 0;
    printf("  %s\t%u%s\n", tool_ShownName(pRecord->pszName, pWalk->uCodePage),
           (unsigned)pRecord->cbData, bEnd ? "\t(end record)" : "");
    pWalk->ullEnd = PKG_OFFSET + pRecord->ullEnd;
    ++pWalk->nRecords;
    pWalk->bEndRecord |= bEnd;
    int i = ProgramIndex(pWalk, pRecord->pszName);
    if (i >= 0 && !bEnd) {
        pWalk->abFound[i] = 1;
        pWalk->acbFound[i] = pRecord->cbData;
    }
}

// The package as the launcher's unpacker reads it: setup's stops at an end
// record, setup-lite's reads on to the end of the package.
int WalkPackage(const char* pszPath, int bLite, Walk* pWalk)
{
    char szDir[TOOL_PATH_BUF], szName[TOOL_PATH_BUF];
    if (!tool_SplitPath(pszPath, szDir, sizeof szDir, szName, sizeof szName))
        return 0;
    printf("package at %d:\n", PKG_OFFSET);
    pWalk->bLite = bLite;
    pWalk->ullEnd = PKG_OFFSET + PKG_MARKER_LEN;
    UnpackVariant walk = {0, !bLite, 0, PrintRecord, pWalk, pWalk->uCodePage};
    uint32_t dwErr = 0, dwSysErr = 0;
    if (tos_Walk(szDir, szName, ".", &dwErr, &dwSysErr, PKG_OFFSET, &walk, &pWalk->watch))
        return 1;
    printf("package: error %u: %s\n", (unsigned)dwErr, err_Meaning(dwErr));
    tool_NoteCodePage(dwErr, pWalk->uCodePage);
    return 0;
}

// What lies behind setup's end record, read as setup-lite would: a program
// packed there (a glob that took in an unpacked "^Kelvo_end^") is never
// extracted. Nothing is printed of this walk; a failure of it changes nothing.
void NoteBehindEnd(void* pContext, const PkgRecordInfo* pRecord)
{
    Walk* pWalk = (Walk*)pContext;
    if (strcmp(pRecord->pszName, g_szPkgEndName) == 0)
        pWalk->bPastEnd = 1;
    int i = ProgramIndex(pWalk, pRecord->pszName);
    if (i >= 0 && pWalk->bPastEnd)
        pWalk->abBehindEnd[i] = 1;
}

void FindBehindEnd(const char* pszPath, Walk* pWalk)
{
    char szDir[TOOL_PATH_BUF], szName[TOOL_PATH_BUF];
    tool_SplitPath(pszPath, szDir, sizeof szDir, szName, sizeof szName);
    UnpackVariant walk = {0, 0, 0, NoteBehindEnd, pWalk, pWalk->uCodePage};
    uint32_t dwErr = 0, dwSysErr = 0;
    tos_Walk(szDir, szName, ".", &dwErr, &dwSysErr, PKG_OFFSET, &walk, NULL);
}

// Each program the launcher starts, found or not; 0 when a run would stop
// for want of one on every PC.
int JudgePrograms(const char* pszPath, Walk* pWalk)
{
    if (pWalk->pPrograms == NULL) {
        printf("warning: an unknown launcher: which programs it starts is not known\n");
        return 1;
    }
    int bMissing = 0;
    for (int i = 0; i < kPrograms; ++i)
        bMissing |= !pWalk->abFound[i];
    if (bMissing && pWalk->bEndRecord && pWalk->pPrograms == kSetupPrograms)
        FindBehindEnd(pszPath, pWalk);
    int bReady = 1;
    for (int i = 0; i < kPrograms; ++i) {
        const Program* pProgram = &pWalk->pPrograms[i];
        if (pWalk->abFound[i]) {
            printf("program: %s, %u bytes: %s\n", pProgram->pszName, (unsigned)pWalk->acbFound[i],
                   pProgram->pszRole);
        } else if (pWalk->abBehindEnd[i]) {
            printf("missing: %s (%s) lies behind the end record, where the setup unpacker stops: "
                   "every run would stop with error %u; pack it before the end record\n",
                   pProgram->pszName, pProgram->pszRole, (unsigned)pProgram->dwErr);
            bReady = 0;
        } else if (pProgram->bSometimes) {
            printf("warning: no %s (%s): a run on a PC without the client would stop with error "
                   "%u\n",
                   pProgram->pszName, pProgram->pszRole, (unsigned)pProgram->dwErr);
        } else {
            printf("missing: %s (%s): every run would stop with error %u; pack it\n",
                   pProgram->pszName, pProgram->pszRole, (unsigned)pProgram->dwErr);
            bReady = 0;
        }
    }
    return bReady;
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

// Both unpackers end the package where a certificate table begins, so an
// unsigned setup that unpacks still will once signed; a signed one unpacks
// when its table is sound and the package lies before it.
int JudgeSignature(ToolFile* pFile, const PeFacts* pFacts, const Walk* pWalk, uint64_t cbFile)
{
    printf("end record: %s\n", pWalk->bEndRecord ? "yes" : "no");
    if (pFacts->cbCert == 0) {
        printf("signature: none\n");
        return 1;
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

// A damaged setup is never published; one without a seal may be, but a
// damaged copy of it would install.
int JudgeSeal(const Walk* pWalk)
{
    char szReport[160];
    const char* pszReport = tool_SealReport(&pWalk->watch.seal, szReport, sizeof szReport);
    if (pszReport != NULL)
        printf("seal: %s\n", pszReport);
    return !pkg_SealSaysDamaged(&pWalk->watch.seal);
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
    Walk walk = {};
    walk.uCodePage = uCodePage;
    walk.pPrograms = facts.eLauncher == PE_SETUP        ? kSetupPrograms
                     : facts.eLauncher == PE_SETUP_LITE ? kLitePrograms
                                                        : NULL;
    if (!WalkPackage(pszPath, facts.eLauncher == PE_SETUP_LITE, &walk)) {
        JudgeSeal(&walk);
        return 0;
    }
    printf("records: %d\n", walk.nRecords);
    int bSigned = JudgeSignature(pFile, &facts, &walk, cbFile);
    int bSealed = JudgeSeal(&walk);
    return JudgePrograms(pszPath, &walk) && bSigned && bSealed;
}

} // namespace

int cmd_Check(int argc, char** argv)
{
    uint32_t uCodePage = 0;
    if (!tool_TakeCodePage("check", &argc, argv, &uCodePage))
        return TOOL_USAGE;
    for (int i = 0; i < argc; ++i) {
        if (tool_IsOption(argv[i]))
            return tool_WrongCommandLine("check", "there is no option %s", argv[i]);
    }
    if (argc != 1)
        return tool_WrongCommandLine("check", "name one setup, not %d", argc);
    ToolFile* pFile = tool_OpenInput("check", argv[0]);
    uint64_t cbFile = 0;
    if (pFile == NULL)
        return TOOL_FAILED;
    if (!tos_Size(pFile, &cbFile)) {
        tos_Close(&pFile);
        return tool_Fail("check", argv[0], "cannot be measured", PKG_ERR_SIZE, tos_LastError());
    }
    int bGood = CheckSetup(argv[0], pFile, cbFile, uCodePage);
    tos_Close(&pFile);
    printf("%s\n", bGood ? "verdict: ready to publish" : "verdict: do not publish");
    return bGood ? TOOL_OK : TOOL_FAILED;
}
