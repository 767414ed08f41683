// setuptool pwd: the stored text form of an uninstall password and back.
//   pwd encrypt [--hex] <password>   prints the stored text
//   pwd decrypt [--hex] <text>       prints the password
// With --hex the password is given or printed as hex digits, for passwords
// that a command line cannot carry unchanged.
#include "setuptool.h"
#include "des_text.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace
{

int HexDigit(char ch)
{
    if (ch >= '0' && ch <= '9')
        return ch - '0';
    if (ch >= 'a' && ch <= 'f')
        return ch - 'a' + 10;
    if (ch >= 'A' && ch <= 'F')
        return ch - 'A' + 10;
    return -1;
}

// Decodes hex digits in place; false when they are not whole bytes.
bool HexInPlace(char* psz, uint32_t* pcb)
{
    size_t cch = strlen(psz);
    if (cch % 2 != 0)
        return false;
    for (size_t i = 0; i < cch; i += 2) {
        int nHigh = HexDigit(psz[i]), nLow = HexDigit(psz[i + 1]);
        if (nHigh < 0 || nLow < 0)
            return false;
        psz[i / 2] = (char)(nHigh << 4 | nLow);
    }
    *pcb = (uint32_t)(cch / 2);
    return true;
}

// What a text that does not decrypt is, as the stored texts are made.
const char* DecryptFault(int nStatus)
{
    switch (nStatus) {
    case DES_TEXT_NO_MEMORY:
        return "is no stored password text: it is empty";
    case DES_TEXT_BAD_BASE64:
        return "is no stored password text: it is not Base64";
    case DES_TEXT_BAD_CIPHER:
        return "is no stored password text: it is not whole DES blocks padded as a stored "
               "password is (was it cut, or made with another key?)";
    default:
        return "cannot be decrypted: the cipher failed";
    }
}

int Encrypt(char* pszPassword, bool bHex)
{
    uint32_t cbPassword = (uint32_t)strlen(pszPassword);
    if (bHex && !HexInPlace(pszPassword, &cbPassword))
        return tool_WrongCommandLine("pwd", "with --hex the password is hex digits, two a byte");
    uint32_t cbText = 4 * (cbPassword / 3 + 4) + 8; // more than the text and its NUL
    char* pszText = (char*)malloc(cbText);
    if (pszText == NULL)
        return TOOL_FAILED;
    int nStatus = utl_DesEncryptText(pszText, cbText, (const uint8_t*)pszPassword, cbPassword);
    if (nStatus == DES_TEXT_OK)
        puts(pszText);
    else
        tool_Fail("pwd encrypt", NULL, "the cipher failed", 0, 0);
    free(pszText);
    return nStatus == DES_TEXT_OK ? TOOL_OK : TOOL_FAILED;
}

int Decrypt(const char* pszText, bool bHex)
{
    uint32_t cbCapacity = (uint32_t)strlen(pszText); // the plaintext is shorter than its text
    uint8_t* pPlain = (uint8_t*)malloc(cbCapacity + 1);
    if (pPlain == NULL)
        return TOOL_FAILED;
    uint32_t cbPlain = cbCapacity;
    int nStatus = utl_DesDecryptText(pPlain, &cbPlain, pszText);
    if (nStatus != DES_TEXT_OK) {
        tool_Fail("pwd decrypt", pszText, DecryptFault(nStatus), 0, 0);
    } else if (bHex) {
        for (uint32_t i = 0; i < cbPlain; ++i)
            printf("%02x", pPlain[i]);
        putchar('\n');
    } else {
        fwrite(pPlain, 1, cbPlain, stdout);
        putchar('\n');
    }
    free(pPlain);
    return nStatus == DES_TEXT_OK ? TOOL_OK : TOOL_FAILED;
}

} // namespace

int cmd_Pwd(int argc, char** argv)
{
    if (argc < 1 || (strcmp(argv[0], "encrypt") != 0 && strcmp(argv[0], "decrypt") != 0))
        return tool_WrongCommandLine("pwd", "say encrypt or decrypt");
    bool bHex = argc == 3 && tool_IsFlag(argv[1], "--hex");
    if (argc != (bHex ? 3 : 2))
        return tool_WrongCommandLine("pwd", "give one %s after %s%s",
                                     strcmp(argv[0], "encrypt") == 0 ? "password" : "text", argv[0],
                                     bHex ? " --hex" : " (and --hex before it, if at all)");
    char* pszValue = argv[argc - 1];
    return strcmp(argv[0], "encrypt") == 0 ? Encrypt(pszValue, bHex) : Decrypt(pszValue, bHex);
}
