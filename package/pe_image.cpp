// Bounded reading of a PE image: the DOS and NT headers, the section table,
// the resource tree (the manifest of the assembly "Kelvo Setup" marks a
// launcher, then dialog 134 setup and icon group 129 setup-lite; the version
// block gives the file version) and the security data directory,
// which the unpackers read too, of a PE32 or a PE32+ image alike.
// Nothing is read that was not checked to lie inside the buffer, whatever
// the sizes and counts in the headers say; sums are made in 64 bits.
#include "pe_image.h"

#include <string.h>

namespace
{

struct Bytes {
    const uint8_t* p;
    size_t cb;
};

int Has(const Bytes* pBytes, uint64_t off, uint64_t cb)
{
    return off <= pBytes->cb && cb <= pBytes->cb - off;
}

uint16_t U16(const Bytes* pBytes, uint64_t off)
{
    return Has(pBytes, off, 2) ? (uint16_t)(pBytes->p[off] | pBytes->p[off + 1] << 8) : 0;
}

uint32_t U32(const Bytes* pBytes, uint64_t off)
{
    return Has(pBytes, off, 4) ? (uint32_t)U16(pBytes, off) | (uint32_t)U16(pBytes, off + 2) << 16
                               : 0;
}

enum {
    kDosSize = 64,
    kLfanew = 0x3C,
    kFileHeaderSize = 20,
    kOptMagicPe32 = 0x10B,
    kOptMagicPe32Plus = 0x20B,
    kSubsystemGui = 2,
    kSectionSize = 40,
    kDirResource = 2,
    kDirSecurity = 4,
    kRtDialog = 5,
    kRtGroupIcon = 14,
    kRtVersion = 16,
    kRtManifest = 24,
    kDialogPassword = 134, // IDD_CHKPWD_DLG
    kIconLite = 129,       // IDI_LITE
};

struct Image {
    Bytes bytes;
    uint64_t offSections;
    uint16_t nSections;
    uint64_t offDirs;
    uint32_t nDirs;
};

// The file offset of an image address, when a section's raw data holds it.
int FileOffset(const Image* pImg, uint32_t dwRva, uint64_t* pOff)
{
    for (uint16_t i = 0; i < pImg->nSections; ++i) {
        uint64_t off = pImg->offSections + (uint64_t)i * kSectionSize;
        uint32_t dwVa = U32(&pImg->bytes, off + 12);
        uint32_t cbRaw = U32(&pImg->bytes, off + 16);
        uint32_t dwRaw = U32(&pImg->bytes, off + 20);
        if (dwRva >= dwVa && (uint64_t)dwRva < (uint64_t)dwVa + cbRaw) {
            *pOff = (uint64_t)dwRaw + (dwRva - dwVa);
            return 1;
        }
    }
    return 0;
}

int DataDirectory(const Image* pImg, uint32_t nIndex, uint32_t* pdwAddress, uint32_t* pcb)
{
    if (nIndex >= pImg->nDirs)
        return 0;
    *pdwAddress = U32(&pImg->bytes, pImg->offDirs + 8ull * nIndex);
    *pcb = U32(&pImg->bytes, pImg->offDirs + 8ull * nIndex + 4);
    return *pcb != 0;
}

// The resource tree: directory entries name a subdirectory (top bit) or a
// data entry, as offsets from the tree's start.
struct Resources {
    const Image* pImg;
    uint64_t offRoot;
};

// The entry for the id (or, with dwId 0, the first entry) of the directory
// at offDir: its offset field, or 0 when there is none.
uint32_t FindEntry(const Resources* pRes, uint64_t offDir, uint32_t dwId)
{
    const Bytes* pBytes = &pRes->pImg->bytes;
    uint64_t off = pRes->offRoot + offDir;
    if (!Has(pBytes, off, 16))
        return 0;
    uint32_t nEntries = (uint32_t)U16(pBytes, off + 12) + U16(pBytes, off + 14);
    for (uint32_t i = 0; i < nEntries && Has(pBytes, off + 16 + 8ull * i, 8); ++i) {
        uint32_t dwName = U32(pBytes, off + 16 + 8ull * i);
        if (dwId == 0 || dwName == dwId)
            return U32(pBytes, off + 20 + 8ull * i);
    }
    return 0;
}

// The data of the first language of resource type/id: its file offset and
// size, both inside the bytes read.
int FindResource(const Resources* pRes, uint32_t dwType, uint32_t dwId, uint64_t* pOff,
                 uint32_t* pcb)
{
    uint32_t dwTypeDir = FindEntry(pRes, 0, dwType);
    if (!(dwTypeDir & 0x80000000u))
        return 0;
    uint32_t dwNameDir = FindEntry(pRes, dwTypeDir & 0x7FFFFFFFu, dwId);
    if (!(dwNameDir & 0x80000000u))
        return 0;
    uint32_t dwLang = FindEntry(pRes, dwNameDir & 0x7FFFFFFFu, 0);
    if (dwLang == 0 || (dwLang & 0x80000000u))
        return 0;
    const Bytes* pBytes = &pRes->pImg->bytes;
    uint64_t offEntry = pRes->offRoot + dwLang;
    if (!Has(pBytes, offEntry, 16) || !FileOffset(pRes->pImg, U32(pBytes, offEntry), pOff))
        return 0;
    *pcb = U32(pBytes, offEntry + 4);
    return Has(pBytes, *pOff, *pcb);
}

// VS_VERSIONINFO: its length, value length and type, the key
// "VS_VERSION_INFO" in UTF-16 with its NUL, padding to four bytes, then
// VS_FIXEDFILEINFO, which starts with its signature.
void ReadVersion(const Resources* pRes, PeFacts* pFacts)
{
    uint64_t off = 0;
    uint32_t cb = 0;
    if (!FindResource(pRes, kRtVersion, 1, &off, &cb))
        return;
    const Bytes* pBytes = &pRes->pImg->bytes;
    const uint64_t offFixed = off + ((6 + 16 * 2 + 3) & ~3ull);
    if (cb < offFixed - off + 52 || U16(pBytes, off + 2) < 52 ||
        U32(pBytes, offFixed) != 0xFEEF04BDu)
        return;
    uint32_t dwMs = U32(pBytes, offFixed + 8), dwLs = U32(pBytes, offFixed + 12);
    pFacts->awVersion[0] = (uint16_t)(dwMs >> 16);
    pFacts->awVersion[1] = (uint16_t)dwMs;
    pFacts->awVersion[2] = (uint16_t)(dwLs >> 16);
    pFacts->awVersion[3] = (uint16_t)dwLs;
    pFacts->bVersion = 1;
}

// The launchers' manifest: its first assembly identity (the program's own;
// the dependencies' come later) is named "Kelvo Setup".
int CarriesLauncherManifest(const Resources* pRes)
{
    static const char kIdentity[] = "<assemblyIdentity";
    static const char kName[] = "name=\"Kelvo Setup\"";
    uint64_t off = 0;
    uint32_t cb = 0;
    if (!FindResource(pRes, kRtManifest, 1, &off, &cb))
        return 0;
    const char* pText = (const char*)pRes->pImg->bytes.p + off;
    const char* pEnd = pText + cb;
    for (const char* p = pText; p + sizeof kIdentity - 1 <= pEnd; ++p) {
        if (memcmp(p, kIdentity, sizeof kIdentity - 1) != 0)
            continue;
        for (const char* q = p; q < pEnd && *q != '>'; ++q) {
            if (q + sizeof kName - 1 <= pEnd && memcmp(q, kName, sizeof kName - 1) == 0)
                return 1;
        }
        return 0;
    }
    return 0;
}

void ReadResources(const Image* pImg, PeFacts* pFacts)
{
    uint32_t dwRva = 0, cb = 0;
    Resources res = {pImg, 0};
    if (!DataDirectory(pImg, kDirResource, &dwRva, &cb) || !FileOffset(pImg, dwRva, &res.offRoot))
        return;
    uint64_t off = 0;
    uint32_t cbData = 0;
    int bLauncher = CarriesLauncherManifest(&res);
    if (bLauncher && FindResource(&res, kRtDialog, kDialogPassword, &off, &cbData))
        pFacts->eLauncher = PE_SETUP;
    else if (bLauncher && FindResource(&res, kRtGroupIcon, kIconLite, &off, &cbData))
        pFacts->eLauncher = PE_SETUP_LITE;
    ReadVersion(&res, pFacts);
}

// Headers and sections: how far into the file the image reaches.
void MeasureImage(const Image* pImg, uint32_t cbHeaders, PeFacts* pFacts)
{
    uint64_t cbImage = cbHeaders;
    for (uint16_t i = 0; i < pImg->nSections; ++i) {
        uint64_t off = pImg->offSections + (uint64_t)i * kSectionSize;
        uint64_t cbEnd = (uint64_t)U32(&pImg->bytes, off + 20) + U32(&pImg->bytes, off + 16);
        if (cbEnd > cbImage)
            cbImage = cbEnd;
    }
    pFacts->cbImage = cbImage > 0xFFFFFFFFull ? 0xFFFFFFFFu : (uint32_t)cbImage;
}

// The DOS and NT headers and where the optional header keeps the data
// directories: at 96 in PE32, at 112 in PE32+ (its image base takes 8 bytes).
// Only the directories that the optional header holds count, whatever their
// count says.
PeVerdict ReadHeaders(Image* pImg, uint16_t* pwMagic, uint64_t* pOffOpt)
{
    const Bytes* pBytes = &pImg->bytes;
    if (pBytes->cb < kDosSize)
        return PE_TOO_SHORT;
    uint64_t offNt = U32(pBytes, kLfanew);
    if (U16(pBytes, 0) != 0x5A4D || !Has(pBytes, offNt, 4 + kFileHeaderSize + 2) ||
        U32(pBytes, offNt) != 0x00004550u)
        return PE_NOT_WINDOWS;
    uint64_t offOpt = offNt + 4 + kFileHeaderSize;
    uint16_t cbOpt = U16(pBytes, offNt + 4 + 16);
    uint16_t wMagic = U16(pBytes, offOpt);
    uint32_t cbFixed = wMagic == kOptMagicPe32Plus ? 112 : 96;
    if ((wMagic != kOptMagicPe32 && wMagic != kOptMagicPe32Plus) || cbOpt < cbFixed ||
        !Has(pBytes, offOpt, cbFixed))
        return PE_NOT_GUI32;
    uint32_t nDirs = U32(pBytes, offOpt + cbFixed - 4);
    uint32_t nRoom = (uint32_t)((cbOpt - cbFixed) / 8);
    pImg->nDirs = nDirs < nRoom ? nDirs : nRoom;
    pImg->offDirs = offOpt + cbFixed;
    pImg->nSections = U16(pBytes, offNt + 4 + 2);
    pImg->offSections = offOpt + cbOpt;
    *pwMagic = wMagic;
    *pOffOpt = offOpt;
    return PE_OK;
}

} // namespace

PeVerdict pe_ReadImage(const uint8_t* pImage, size_t cb, PeFacts* pFacts)
{
    memset(pFacts, 0, sizeof *pFacts);
    Image img = {{pImage, cb}, 0, 0, 0, 0};
    const Bytes* pBytes = &img.bytes;
    uint16_t wMagic = 0;
    uint64_t offOpt = 0;
    PeVerdict eVerdict = ReadHeaders(&img, &wMagic, &offOpt);
    if (eVerdict != PE_OK)
        return eVerdict;
    // The shipped launchers are PE32 GUI programs.
    if (wMagic != kOptMagicPe32 || U16(pBytes, offOpt + 68) != kSubsystemGui)
        return PE_NOT_GUI32;
    if (!Has(pBytes, img.offSections, (uint64_t)img.nSections * kSectionSize))
        return PE_BAD_SECTIONS;
    MeasureImage(&img, U32(pBytes, offOpt + 60), pFacts);
    uint32_t dwCert = 0, cbCert = 0;
    if (DataDirectory(&img, kDirSecurity, &dwCert, &cbCert)) {
        pFacts->dwCertOffset = dwCert; // a file offset, for this one entry
        pFacts->cbCert = cbCert;
    }
    ReadResources(&img, pFacts);
    return PE_OK;
}

PeLauncher pe_WhichLauncher(const uint8_t* pImage, size_t cb)
{
    PeFacts facts;
    memset(&facts, 0, sizeof facts);
    Image img = {{pImage, cb}, 0, 0, 0, 0};
    uint16_t wMagic = 0;
    uint64_t offOpt = 0;
    if (ReadHeaders(&img, &wMagic, &offOpt) != PE_OK ||
        U16(&img.bytes, offOpt + 68) != kSubsystemGui ||
        !Has(&img.bytes, img.offSections, (uint64_t)img.nSections * kSectionSize))
        return PE_UNKNOWN_LAUNCHER;
    ReadResources(&img, &facts);
    return facts.eLauncher;
}

int pe_FindCertificateTable(const uint8_t* pHeaders, size_t cb, uint32_t* pdwOffset,
                            uint32_t* pcbTable)
{
    *pdwOffset = 0;
    *pcbTable = 0;
    Image img = {{pHeaders, cb}, 0, 0, 0, 0};
    uint16_t wMagic = 0;
    uint64_t offOpt = 0;
    if (ReadHeaders(&img, &wMagic, &offOpt) == PE_OK &&
        DataDirectory(&img, kDirSecurity, pdwOffset, pcbTable))
        return 1;
    *pdwOffset = 0; // an address without a size is no table
    *pcbTable = 0;
    return 0;
}

int pe_IsCertificateHeader(const uint8_t abHeader[8], uint32_t cbTable)
{
    const Bytes bytes = {abHeader, 8};
    uint32_t cbLength = U32(&bytes, 0);
    return cbLength >= 8 && cbLength <= cbTable && U16(&bytes, 4) == 0x0200 &&
           U16(&bytes, 6) == 0x0002;
}
