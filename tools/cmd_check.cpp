// setuptool check <setup.exe> [--strict] [--json] [--codepage N] [--quiet]
// The release check before a setup is published: the launcher image, the
// package walked record by record with its launcher's own unpacker and
// checks (nothing is written), the programs that launcher starts, an
// Authenticode signature's certificate table, and the seal that tells a
// damaged copy (none: a warning). Exit 0 only when the setup
// installs as it is and will once signed (or is signed and does); 1
// otherwise, and with --strict for a warning too. What it finds is gathered
// first, then printed as the report or as one JSON document of the same
// facts (docs/setuptool.md has its schema).
#include "setuptool.h"
#include "error_catalogue.h"
#include "install_sequence.h"
#include "pe_image.h"
#include "tool_os.h"
#include "tool_seal.h"

#include <stdio.h>
#include <string.h>
#include <string>
#include <vector>

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

struct Record {
    std::string name; // as the package holds it
    uint32_t cbData;
    int bEnd;
};

enum ProgramState { PROGRAM_THERE, PROGRAM_MISSING, PROGRAM_BEHIND_END, PROGRAM_WARNING };
enum SignatureState { SIGNATURE_NONE, SIGNATURE_INSIDE, SIGNATURE_OUTSIDE, SIGNATURE_DAMAGED };

// Everything check finds, in the order it finds it; a stage that stopped
// the check leaves those after it unreached.
struct Facts {
    uint32_t uCodePage;
    int bStrict;
    PeVerdict eImage;
    PeFacts pe;
    int bImageFits;
    int bPackageBehind; // the file goes on behind the image
    int bWalked;        // the package was walked to its end (or an error)
    std::vector<Record> records;
    uint32_t dwWalkErr;
    int bEndRecord;
    uint64_t ullEnd; // file offset just past the last record read
    SignatureState eSignature;
    const Program* pPrograms; // kPrograms of them; NULL for an unknown launcher
    ProgramState aeProgram[kPrograms];
    uint32_t acbProgram[kPrograms];
    std::string aProgramLine[kPrograms]; // the report's line of each
    std::vector<std::string> problems;   // why not to publish, as the report says it
    std::vector<std::string> warnings;
    PkgWatch watch; // the seal, checked by the walk that lists
    int bReady;
};

// The image never reaches past the package's offset in a setup that works.
uint8_t s_abImage[PKG_OFFSET];

const char* ImageFault(PeVerdict eVerdict)
{
    switch (eVerdict) {
    case PE_TOO_SHORT:
        return "too short for a program";
    case PE_NOT_WINDOWS:
        return "not a Windows program";
    case PE_NOT_GUI32:
        return "not a PE32 Windows GUI program";
    default:
        return "its section table is damaged";
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

// The launcher looks for its programs in the work directory itself, not in
// a subdirectory, by names whose ASCII case does not count.
int ProgramIndex(const Program* pPrograms, const char* pszName)
{
    for (int i = 0; pPrograms != NULL && i < kPrograms; ++i) {
        if (pkg_SameName(pszName, pPrograms[i].pszName))
            return i;
    }
    return -1;
}

void NoteRecord(void* pContext, const PkgRecordInfo* pRecord)
{
    Facts* pFacts = (Facts*)pContext;
    int bLite = pFacts->pe.eLauncher == PE_SETUP_LITE;
    int bEnd = !bLite && strcmp(pRecord->pszName, g_szPkgEndName) == 0;
    pFacts->records.push_back({pRecord->pszName, pRecord->cbData, bEnd});
    pFacts->ullEnd = PKG_OFFSET + pRecord->ullEnd;
    pFacts->bEndRecord |= bEnd;
    int i = ProgramIndex(pFacts->pPrograms, pRecord->pszName);
    if (i >= 0 && !bEnd) {
        pFacts->aeProgram[i] = PROGRAM_THERE;
        pFacts->acbProgram[i] = pRecord->cbData;
    }
    tool_ProgressAt(PKG_OFFSET + pRecord->ullEnd - pRecord->cbData, (int)pFacts->records.size());
}

// A sealed package is read whole for its digest: the line goes on as it is.
int NoteChunk(void* pContext, uint64_t ullDone, uint64_t)
{
    Facts* pFacts = (Facts*)pContext;
    tool_ProgressAt(PKG_OFFSET + ullDone, (int)pFacts->records.size());
    return 1;
}

// The package as the launcher's unpacker reads it: setup's stops at an end
// record, setup-lite's reads on to the end of the package.
int WalkPackage(const char* pszPath, Facts* pFacts)
{
    int bLite = pFacts->pe.eLauncher == PE_SETUP_LITE;
    pFacts->ullEnd = PKG_OFFSET + PKG_MARKER_LEN;
    UnpackVariant walk = {0, !bLite, 0, NoteRecord, pFacts, pFacts->uCodePage};
    uint32_t dwSysErr = 0;
    pFacts->bWalked = 1;
    pFacts->watch.pfnChunk = NoteChunk;
    pFacts->watch.pCtx = pFacts;
    return tos_Walk(pszPath, ".", &pFacts->dwWalkErr, &dwSysErr, PKG_OFFSET, &walk, &pFacts->watch);
}

// What lies behind setup's end record, read as setup-lite would: a program
// packed there (a glob that took in an unpacked "^Kelvo_end^") is never
// extracted. A failure of this walk changes nothing.
struct BehindEnd {
    const Program* pPrograms;
    int bPastEnd;
    int abBehind[kPrograms];
};

void NoteBehindEnd(void* pContext, const PkgRecordInfo* pRecord)
{
    BehindEnd* pBehind = (BehindEnd*)pContext;
    if (strcmp(pRecord->pszName, g_szPkgEndName) == 0)
        pBehind->bPastEnd = 1;
    int i = ProgramIndex(pBehind->pPrograms, pRecord->pszName);
    if (i >= 0 && pBehind->bPastEnd)
        pBehind->abBehind[i] = 1;
}

void FindBehindEnd(const char* pszPath, Facts* pFacts)
{
    BehindEnd behind = {pFacts->pPrograms, 0, {0, 0}};
    UnpackVariant walk = {0, 0, 0, NoteBehindEnd, &behind, pFacts->uCodePage};
    uint32_t dwErr = 0, dwSysErr = 0;
    tos_Walk(pszPath, ".", &dwErr, &dwSysErr, PKG_OFFSET, &walk, NULL);
    for (int i = 0; i < kPrograms; ++i) {
        if (pFacts->aeProgram[i] == PROGRAM_MISSING && behind.abBehind[i])
            pFacts->aeProgram[i] = PROGRAM_BEHIND_END;
    }
}

// Each program the launcher starts, found or not.
void JudgePrograms(const char* pszPath, Facts* pFacts)
{
    if (pFacts->pPrograms == NULL) {
        pFacts->problems.push_back(
            "not a launcher: the image is neither setup nor setup-lite (both carry the manifest "
            "of the assembly \"Kelvo Setup\", then setup its password dialog, setup-lite its "
            "icon), so which programs it starts is not known; build from setup.exe or "
            "setup-lite.exe");
        return;
    }
    int bMissing = 0;
    for (int i = 0; i < kPrograms; ++i)
        bMissing |= pFacts->aeProgram[i] == PROGRAM_MISSING;
    if (bMissing && pFacts->bEndRecord && pFacts->pPrograms == kSetupPrograms)
        FindBehindEnd(pszPath, pFacts);
    char szLine[400];
    for (int i = 0; i < kPrograms; ++i) {
        const Program* pProgram = &pFacts->pPrograms[i];
        if (pFacts->aeProgram[i] == PROGRAM_MISSING && pProgram->bSometimes)
            pFacts->aeProgram[i] = PROGRAM_WARNING;
        if (pFacts->aeProgram[i] == PROGRAM_THERE) {
            snprintf(szLine, sizeof szLine, "program: %s, %u bytes: %s", pProgram->pszName,
                     (unsigned)pFacts->acbProgram[i], pProgram->pszRole);
        } else if (pFacts->aeProgram[i] == PROGRAM_BEHIND_END) {
            snprintf(szLine, sizeof szLine,
                     "missing: %s (%s) lies behind the end record, where the setup unpacker "
                     "stops: every run would stop with error %u; pack it before the end record",
                     pProgram->pszName, pProgram->pszRole, (unsigned)pProgram->dwErr);
            pFacts->problems.push_back(szLine);
        } else if (pFacts->aeProgram[i] == PROGRAM_WARNING) {
            snprintf(szLine, sizeof szLine,
                     "no %s (%s): a run on a PC without the client would stop with error %u",
                     pProgram->pszName, pProgram->pszRole, (unsigned)pProgram->dwErr);
            pFacts->warnings.push_back(szLine);
            snprintf(szLine, sizeof szLine, "warning: %s", pFacts->warnings.back().c_str());
        } else {
            snprintf(szLine, sizeof szLine,
                     "missing: %s (%s): every run would stop with error %u; pack it",
                     pProgram->pszName, pProgram->pszRole, (unsigned)pProgram->dwErr);
            pFacts->problems.push_back(szLine);
        }
        pFacts->aProgramLine[i] = szLine;
    }
}

// The table must start with a signature's header and end the file.
int CertificateTableIsSound(ToolFile* pFile, const PeFacts* pPe, uint64_t cbFile)
{
    uint8_t abHeader[8];
    uint32_t cbRead = 0;
    return (uint64_t)pPe->dwCertOffset + pPe->cbCert == cbFile &&
           tos_Seek(pFile, pPe->dwCertOffset) &&
           tos_Read(pFile, abHeader, sizeof abHeader, &cbRead) == 0 && cbRead == sizeof abHeader &&
           pe_IsCertificateHeader(abHeader, pPe->cbCert);
}

// Both unpackers end the package where a certificate table begins, so an
// unsigned setup that unpacks still will once signed; a signed one unpacks
// when its table is sound and the package lies before it.
void JudgeSignature(ToolFile* pFile, uint64_t cbFile, Facts* pFacts)
{
    const PeFacts* pPe = &pFacts->pe;
    if (pPe->cbCert == 0)
        pFacts->eSignature = SIGNATURE_NONE;
    else if (!CertificateTableIsSound(pFile, pPe, cbFile))
        pFacts->eSignature = SIGNATURE_DAMAGED;
    else
        pFacts->eSignature =
            pFacts->ullEnd <= pPe->dwCertOffset ? SIGNATURE_INSIDE : SIGNATURE_OUTSIDE;
}

// A damaged setup is never published; one without a seal may be, but a
// damaged copy of it would install.
void JudgeSeal(Facts* pFacts)
{
    const PkgSealCheck* pSeal = &pFacts->watch.seal;
    char szReport[160];
    const char* pszReport = tool_SealReport(pSeal, szReport, sizeof szReport);
    if (pszReport == NULL)
        return;
    std::string line = std::string("seal: ") + pszReport;
    if (pkg_SealSaysDamaged(pSeal))
        pFacts->problems.push_back(line);
    else if (pSeal->eState == PKG_SEAL_NONE)
        pFacts->warnings.push_back(line);
}

// The stages in turn; each that fails ends the check.
void CheckSetup(const char* pszPath, ToolFile* pFile, uint64_t cbFile, Facts* pFacts)
{
    uint32_t cbRead = 0;
    if (tos_Read(pFile, s_abImage, sizeof s_abImage, &cbRead) != 0)
        cbRead = 0;
    pFacts->eImage = pe_ReadImage(s_abImage, cbRead, &pFacts->pe);
    if (pFacts->eImage != PE_OK)
        return;
    pFacts->bImageFits = pFacts->pe.cbImage <= PKG_OFFSET;
    pFacts->bPackageBehind = cbFile > PKG_OFFSET;
    if (!pFacts->bImageFits || !pFacts->bPackageBehind)
        return;
    pFacts->pPrograms = pFacts->pe.eLauncher == PE_SETUP        ? kSetupPrograms
                        : pFacts->pe.eLauncher == PE_SETUP_LITE ? kLitePrograms
                                                                : NULL;
    tool_ProgressBegin("check", cbFile, 0);
    int bWalked = WalkPackage(pszPath, pFacts);
    tool_ProgressEnd();
    if (!bWalked) {
        JudgeSeal(pFacts);
        return;
    }
    JudgeSignature(pFile, cbFile, pFacts);
    JudgePrograms(pszPath, pFacts);
    JudgeSeal(pFacts);
    pFacts->bReady = pFacts->problems.empty() && (pFacts->eSignature == SIGNATURE_NONE ||
                                                  pFacts->eSignature == SIGNATURE_INSIDE);
}

int IsPublishable(const Facts* pFacts)
{
    return pFacts->bReady && !(pFacts->bStrict && !pFacts->warnings.empty());
}

void PrintSeal(const Facts* pFacts)
{
    char szReport[160];
    const char* pszReport = tool_SealReport(&pFacts->watch.seal, szReport, sizeof szReport);
    if (pszReport != NULL)
        printf("seal: %s\n", pszReport);
}

// The report: one line a fact, in the order found.
void PrintReport(const Facts* pFacts)
{
    const PeFacts* pPe = &pFacts->pe;
    if (pFacts->eImage != PE_OK) {
        printf("launcher: %s\n", ImageFault(pFacts->eImage));
    } else {
        printf("launcher: %s, a PE32 Windows GUI program; image %u bytes, %s %d\n",
               LauncherKind(pPe), (unsigned)pPe->cbImage,
               pFacts->bImageFits ? "within" : "MORE than", PKG_OFFSET);
        if (pPe->bVersion)
            printf("version block: %u.%u.%u.%u\n", pPe->awVersion[0], pPe->awVersion[1],
                   pPe->awVersion[2], pPe->awVersion[3]);
        else
            printf("version block: none\n");
        if (pFacts->bImageFits && !pFacts->bPackageBehind)
            printf("package: none behind the image\n");
    }
    if (pFacts->bWalked) {
        printf("package at %d:\n", PKG_OFFSET);
        for (const Record& record : pFacts->records)
            printf("  %s\t%u%s\n", tool_ShownName(record.name.c_str(), pFacts->uCodePage),
                   (unsigned)record.cbData, record.bEnd ? "\t(end record)" : "");
    }
    if (pFacts->bWalked && pFacts->dwWalkErr != 0) {
        printf("package: error %u: %s\n", (unsigned)pFacts->dwWalkErr,
               err_Meaning(pFacts->dwWalkErr));
        tool_NoteCodePage(pFacts->dwWalkErr, pFacts->uCodePage);
        PrintSeal(pFacts);
    } else if (pFacts->bWalked) {
        printf("records: %d\n", (int)pFacts->records.size());
        printf("end record: %s\n", pFacts->bEndRecord ? "yes" : "no");
        if (pFacts->eSignature == SIGNATURE_NONE)
            printf("signature: none\n");
        else if (pFacts->eSignature == SIGNATURE_DAMAGED)
            printf("signature: the certificate table of %u bytes at %u is damaged or does not "
                   "end the file\n",
                   (unsigned)pPe->cbCert, (unsigned)pPe->dwCertOffset);
        else
            printf("signature: a certificate table of %u bytes at %u; the package ends at %llu, "
                   "%s\n",
                   (unsigned)pPe->cbCert, (unsigned)pPe->dwCertOffset,
                   (unsigned long long)pFacts->ullEnd,
                   pFacts->eSignature == SIGNATURE_INSIDE ? "inside the signed range"
                                                          : "NOT wholly inside the signed range");
        PrintSeal(pFacts);
        for (int i = 0; pFacts->pPrograms != NULL && i < kPrograms; ++i)
            printf("%s\n", pFacts->aProgramLine[i].c_str());
        if (pFacts->pPrograms == NULL)
            printf("%s\n", pFacts->problems.front().c_str());
        if (pFacts->bStrict && !pFacts->warnings.empty())
            printf("strict: a warning fails the check\n");
    }
    printf("%s\n", IsPublishable(pFacts) ? "verdict: ready to publish" : "verdict: do not publish");
}

void PrintJsonStrings(const char* pszMember, const std::vector<std::string>& texts)
{
    tool_JsonMember(pszMember, 0);
    printf("[");
    for (size_t i = 0; i < texts.size(); ++i) {
        printf("%s", i ? ", " : "");
        tool_JsonString(texts[i].c_str());
    }
    printf("]");
}

void PrintJsonLauncher(const Facts* pFacts)
{
    const PeFacts* pPe = &pFacts->pe;
    static const char* const kKinds[] = {"unknown", "setup", "setup-lite"};
    tool_JsonMember("launcher", 0);
    if (pFacts->eImage != PE_OK) {
        printf("{\"kind\": null, \"image\": ");
        tool_JsonString(ImageFault(pFacts->eImage));
        printf(", \"image_bytes\": null, \"fits\": null}");
    } else {
        printf("{\"kind\": \"%s\", \"image\": \"PE32 GUI\", \"image_bytes\": %u, \"fits\": %s}",
               kKinds[pPe->eLauncher], (unsigned)pPe->cbImage,
               pFacts->bImageFits ? "true" : "false");
    }
    tool_JsonMember("version", 0);
    if (pFacts->eImage == PE_OK && pPe->bVersion)
        printf("\"%u.%u.%u.%u\"", pPe->awVersion[0], pPe->awVersion[1], pPe->awVersion[2],
               pPe->awVersion[3]);
    else
        printf("null");
}

void PrintJsonPackage(const Facts* pFacts)
{
    tool_JsonMember("package", 0);
    if (!pFacts->bWalked) {
        printf("null");
        return;
    }
    printf("{\"offset\": %d, \"records\": [", PKG_OFFSET);
    for (size_t i = 0; i < pFacts->records.size(); ++i) {
        const Record& record = pFacts->records[i];
        printf("%s{\"name\": ", i ? ", " : "");
        tool_JsonName(record.name.c_str(), pFacts->uCodePage);
        printf(", \"bytes\": %u, \"end_record\": %s}", (unsigned)record.cbData,
               record.bEnd ? "true" : "false");
    }
    printf("], \"error\": ");
    if (pFacts->dwWalkErr != 0) {
        printf("{\"number\": %u, \"meaning\": ", (unsigned)pFacts->dwWalkErr);
        tool_JsonString(err_Meaning(pFacts->dwWalkErr));
        printf("}");
    } else {
        printf("null");
    }
    printf(", \"end_record\": %s}", pFacts->bEndRecord ? "true" : "false");
}

void PrintJsonSignature(const Facts* pFacts)
{
    const PeFacts* pPe = &pFacts->pe;
    tool_JsonMember("signature", 0);
    if (!pFacts->bWalked || pFacts->dwWalkErr != 0 || pFacts->eSignature == SIGNATURE_NONE) {
        printf("null");
        return;
    }
    int bSound = pFacts->eSignature != SIGNATURE_DAMAGED;
    printf("{\"table_bytes\": %u, \"table_offset\": %u, \"sound\": %s, ", (unsigned)pPe->cbCert,
           (unsigned)pPe->dwCertOffset, bSound ? "true" : "false");
    if (bSound)
        printf("\"package_end\": %llu, \"inside\": %s}", (unsigned long long)pFacts->ullEnd,
               pFacts->eSignature == SIGNATURE_INSIDE ? "true" : "false");
    else
        printf("\"package_end\": null, \"inside\": null}");
}

void PrintJsonPrograms(const Facts* pFacts)
{
    static const char* const kStates[] = {"there", "missing", "behind the end record",
                                          "missing, needed only where no client is installed"};
    tool_JsonMember("programs", 0);
    printf("[");
    int bJudged = pFacts->bWalked && pFacts->dwWalkErr == 0;
    for (int i = 0; bJudged && pFacts->pPrograms != NULL && i < kPrograms; ++i) {
        const Program* pProgram = &pFacts->pPrograms[i];
        printf("%s{\"name\": \"%s\", \"role\": ", i ? ", " : "", pProgram->pszName);
        tool_JsonString(pProgram->pszRole);
        printf(", \"state\": \"%s\", \"bytes\": ", kStates[pFacts->aeProgram[i]]);
        if (pFacts->aeProgram[i] == PROGRAM_THERE)
            printf("%u, \"error\": null}", (unsigned)pFacts->acbProgram[i]);
        else
            printf("null, \"error\": %u}", (unsigned)pProgram->dwErr);
    }
    printf("]");
}

// The same facts as one document; the members never change meaning, new
// ones may join.
void PrintJson(const char* pszPath, const Facts* pFacts)
{
    printf("{\"schema\": \"kelvo-setuptool check 1\", \"file\": ");
    tool_JsonName(pszPath, 0);
    PrintJsonLauncher(pFacts);
    PrintJsonPackage(pFacts);
    PrintJsonSignature(pFacts);
    PrintJsonPrograms(pFacts);
    std::vector<std::string> problems = pFacts->problems;
    if (pFacts->eImage != PE_OK)
        problems.insert(problems.begin(), std::string("launcher: ") + ImageFault(pFacts->eImage));
    else if (!pFacts->bImageFits)
        problems.insert(problems.begin(), "launcher: its image reaches past 307200");
    else if (!pFacts->bPackageBehind)
        problems.insert(problems.begin(), "package: none behind the image");
    if (pFacts->dwWalkErr != 0)
        problems.insert(problems.begin(), "package: error " + std::to_string(pFacts->dwWalkErr) +
                                              ": " + err_Meaning(pFacts->dwWalkErr));
    if (pFacts->eSignature == SIGNATURE_DAMAGED || pFacts->eSignature == SIGNATURE_OUTSIDE)
        problems.push_back(pFacts->eSignature == SIGNATURE_DAMAGED
                               ? "signature: the certificate table is damaged or does not end "
                                 "the file"
                               : "signature: the package is not wholly inside the signed range");
    PrintJsonStrings("problems", problems);
    PrintJsonStrings("warnings", pFacts->warnings);
    tool_JsonMember("seal", 0);
    tool_JsonSeal(&pFacts->watch.seal);
    tool_JsonMember("strict", 0);
    printf("%s", pFacts->bStrict ? "true" : "false");
    tool_JsonMember("verdict", 0);
    printf("\"%s\"}\n", IsPublishable(pFacts) ? "ready to publish" : "do not publish");
}

} // namespace

int cmd_Check(int argc, char** argv)
{
    Facts facts = {};
    int bJson = 0;
    if (!tool_TakeCodePage("check", &argc, argv, &facts.uCodePage))
        return TOOL_USAGE;
    const char* pszPath = NULL;
    int nFiles = 0;
    for (int i = 0; i < argc; ++i) {
        if (tool_IsFlag(argv[i], "--strict"))
            facts.bStrict = 1;
        else if (tool_IsFlag(argv[i], "--json"))
            bJson = 1;
        else if (tool_IsOption(argv[i]))
            return tool_WrongCommandLine("check", "there is no option %s", argv[i]);
        else if (nFiles++ == 0)
            pszPath = argv[i];
    }
    if (nFiles != 1)
        return tool_WrongCommandLine("check", "name one setup, not %d", nFiles);
    if (*pszPath == '\0')
        return tool_WrongCommandLine("check", "a file's name is empty");
    ToolFile* pFile = tool_OpenInput("check", pszPath);
    uint64_t cbFile = 0;
    if (pFile == NULL)
        return TOOL_FAILED;
    if (!tos_Size(pFile, &cbFile)) {
        tos_Close(&pFile);
        return tool_Fail("check", tool_InputName(pszPath), "cannot be measured", PKG_ERR_SIZE,
                         tos_LastError());
    }
    for (int i = 0; i < kPrograms; ++i)
        facts.aeProgram[i] = PROGRAM_MISSING;
    CheckSetup(pszPath, pFile, cbFile, &facts);
    tos_Close(&pFile);
    if (bJson)
        PrintJson(pszPath, &facts);
    else
        PrintReport(&facts);
    return IsPublishable(&facts) ? TOOL_OK : TOOL_FAILED;
}
