// libFuzzer target: check's PE reading over any bytes as the image start,
// the unpackers' search for the certificate table, and check's test of a
// table's first header. The copy is exactly
// the input, so AddressSanitizer sees any read past it; the facts must stay
// within what the bytes can say.
#include "fuzz_memory.h"
#include "pe_image.h"

#include <stdlib.h>
#include <string.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t cb)
{
    uint8_t* pCopy = (uint8_t*)malloc(cb ? cb : 1);
    memcpy(pCopy, pData, cb);
    PeFacts facts;
    PeVerdict eVerdict = pe_ReadImage(pCopy, cb, &facts);
    SeedGotPastHeader(eVerdict == PE_OK);
    if (eVerdict != PE_OK && (facts.eLauncher != PE_UNKNOWN_LAUNCHER || facts.bVersion))
        abort();
    // build tells a launcher as check does, PE32+ aside.
    PeLauncher eLauncher = pe_WhichLauncher(pCopy, cb);
    if (eVerdict == PE_OK && eLauncher != facts.eLauncher)
        abort();
    uint32_t dwTable = 0, cbTable = 0;
    if (!pe_FindCertificateTable(pCopy, cb, &dwTable, &cbTable) && (dwTable != 0 || cbTable != 0))
        abort();
    if (cb >= 12)
        pe_IsCertificateHeader(pCopy, (uint32_t)pCopy[8] | (uint32_t)pCopy[9] << 8);
    free(pCopy);
    return 0;
}
