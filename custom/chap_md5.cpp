// The CHAP response of RFC 1994 for the MD5 algorithm. The parts are fed to
// the digest one after another, so a secret of any length is digested whole.
#include "md5.h"

#include <string.h>

void ChapMd5Response(uint8_t abOut[MD5_DIGEST_SIZE], const uint8_t abChallenge[16],
                     const char* pszSecret, uint8_t bIdentifier)
{
    Md5Context ctx;
    md5_Init(&ctx);
    md5_Update(&ctx, &bIdentifier, 1);
    md5_Update(&ctx, pszSecret, strlen(pszSecret));
    md5_Update(&ctx, abChallenge, 16);
    md5_Final(abOut, &ctx);
}
