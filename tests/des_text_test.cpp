// The stored password form: checked against OpenSSL, its sizes and status
// codes, and round trips. Pure: runs under Wine and natively under the
// sanitizers, where OpenSSL is also run live.
#include "des_text.h"
#include "base64.h"
#include "hex.h"

#include <gtest/gtest.h>
#include <stdio.h>
#include <string.h>
#include <string>
#include <vector>

namespace
{

struct StoredForm {
    const char* pszPasswordHex;
    const char* pszText;
};

// Each text is what OpenSSL gives for the password bytes:
//   printf '<bytes>' | openssl enc -des-ecb -provider legacy -provider default
//     -K 746f626978353932 | base64 -w0   (one command line)
// (OpenSSL pads with PKCS#5 as we do.) Lengths 0, 7, 8, 31, 32 and a GBK text.
const StoredForm kOpenSslForms[] = {
    {"", "jj16P9gMYdA="},
    {"6b656c766f3132", "oMRx2ySZ8xE="},               // "kelvo12"
    {"5061353577307264", "VFsex85itaSOPXo/2Axh0A=="}, // "Pa55w0rd"
    // "correct horse battery staple 31"
    {"636f727265637420686f727365206261747465727920737461706c65203331",
     "LNenvw7/Fqtjd8W81l4t0FPSxgipEQ/fRp9+8pU5ZXk="},
    // "0123456789abcdefghijklmnopqrstuv"
    {"303132333435363738396162636465666768696a6b6c6d6e6f70717273747576",
     "ugapWMs4rgFoFFxc7UJ96BMBpyZJn3M6pFhPsywvtT6OPXo/2Axh0A=="},
    {"c3dcc2eb313233", "BtQW1ourqLs="}, // 密码123 in GBK
};

std::string Bytes(const char* pszHex)
{
    std::string bytes;
    EXPECT_TRUE(FromHex(pszHex, &bytes)) << pszHex;
    return bytes;
}

int Encrypt(const std::string& password, uint32_t cbOut, std::string* pText)
{
    std::vector<char> out(cbOut + 1, '#');
    int nStatus = utl_DesEncryptText(out.data(), cbOut, (const uint8_t*)password.data(),
                                     (uint32_t)password.size());
    EXPECT_EQ(out[cbOut], '#') << "written past the capacity";
    if (nStatus == DES_TEXT_OK)
        pText->assign(out.data());
    else
        EXPECT_EQ(std::string(out.data(), cbOut), std::string(cbOut, '#')) << "written on failure";
    return nStatus;
}

std::string Encrypt(const std::string& password)
{
    std::string text;
    EXPECT_EQ(Encrypt(password, 400, &text), DES_TEXT_OK);
    return text;
}

// Decrypts into a buffer of exactly cbCapacity bytes, filled with junk.
int Decrypt(const char* pszText, uint32_t cbCapacity, std::string* pPlain)
{
    std::vector<uint8_t> out(cbCapacity + 8, 0xcc);
    uint32_t cb = cbCapacity;
    int nStatus = utl_DesDecryptText(out.data(), &cb, pszText);
    for (uint32_t i = cbCapacity; i < out.size(); ++i)
        EXPECT_EQ(out[i], 0xcc) << "written past the capacity";
    if (nStatus == DES_TEXT_OK) {
        EXPECT_LE(cb, cbCapacity);
        pPlain->assign((const char*)out.data(), cb);
    } else {
        EXPECT_EQ(cb, cbCapacity) << "length changed on failure";
        EXPECT_EQ(out, std::vector<uint8_t>(cbCapacity + 8, 0xcc)) << "written on failure";
    }
    return nStatus;
}

TEST(DesText, StoredFormIsWhatOpenSslGives)
{
    for (const StoredForm& f : kOpenSslForms) {
        std::string password = Bytes(f.pszPasswordHex);
        EXPECT_EQ(Encrypt(password), f.pszText) << password;
        std::string back;
        EXPECT_EQ(Decrypt(f.pszText, 64, &back), DES_TEXT_OK);
        EXPECT_EQ(back, password);
    }
}

#ifndef _WIN32
// The native build runs OpenSSL itself on the same passwords.
std::string OpenSslText(const std::string& password)
{
    std::string cmd = "printf '";
    for (unsigned char c : password) {
        char sz[8];
        snprintf(sz, sizeof sz, "\\%03o", c);
        cmd += sz;
    }
    cmd += "' | openssl enc -des-ecb -provider legacy -provider default -K 746f626978353932"
           " | base64 -w0";
    std::string out;
    FILE* pPipe = popen(cmd.c_str(), "r");
    if (pPipe == NULL)
        return out;
    char buf[256];
    size_t cb;
    while ((cb = fread(buf, 1, sizeof buf, pPipe)) > 0)
        out.append(buf, cb);
    pclose(pPipe);
    return out;
}

TEST(DesText, LiveOpenSslAgrees)
{
    for (const StoredForm& f : kOpenSslForms) {
        std::string password = Bytes(f.pszPasswordHex);
        EXPECT_EQ(OpenSslText(password), f.pszText) << "the committed table is stale";
        EXPECT_EQ(Encrypt(password), OpenSslText(password));
    }
    std::string all;
    for (int i = 1; i < 256; ++i)
        all += (char)i;
    EXPECT_EQ(Encrypt(all), OpenSslText(all));
}
#endif

TEST(DesText, TextLengthFollowsThePaddedLength)
{
    // password length -> text length
    const struct {
        size_t n;
        size_t cch;
    } kCases[] = {{0, 12},  {7, 12},  {8, 24},  {15, 24}, {16, 32},
                  {23, 32}, {24, 44}, {31, 44}, {32, 56}};
    for (auto c : kCases)
        EXPECT_EQ(Encrypt(std::string(c.n, 'p')).size(), c.cch) << c.n;
}

TEST(DesText, EncryptionCapacityBoundaries)
{
    // The capacity must exceed 4 * floor(P / 3) + 4 for the padded length P.
    const struct {
        size_t n;
        uint32_t cbRefused;
    } kCases[] = {{0, 12}, {7, 12}, {8, 24}, {15, 24}, {32, 56}};
    for (auto c : kCases) {
        std::string password(c.n, 'q');
        std::string text;
        EXPECT_EQ(Encrypt(password, c.cbRefused, &text), DES_TEXT_NO_ROOM) << c.n;
        EXPECT_EQ(Encrypt(password, c.cbRefused + 1, &text), DES_TEXT_OK) << c.n;
        EXPECT_EQ(text, Encrypt(password));
    }
    std::string text;
    EXPECT_EQ(Encrypt("", 0, &text), DES_TEXT_NO_ROOM);
}

TEST(DesText, RoundTripForEveryLengthUpTo40)
{
    for (uint32_t n = 0; n <= 40; ++n) {
        std::string password;
        for (uint32_t i = 0; i < n; ++i)
            password += (char)(0x80 + i * 3);
        std::string text = Encrypt(password);
        std::string back;
        ASSERT_EQ(Decrypt(text.c_str(), n, &back), DES_TEXT_OK) << n;
        EXPECT_EQ(back, password);
        if (n > 0) {
            EXPECT_EQ(Decrypt(text.c_str(), n - 1, &back), DES_TEXT_BAD_CIPHER) << n;
        }
    }
}

TEST(DesText, DecryptionStatusCodes)
{
    std::string out;
    EXPECT_EQ(Decrypt("", 64, &out), DES_TEXT_NO_MEMORY);
    EXPECT_EQ(Decrypt("jj16P9gMYdA", 64, &out), DES_TEXT_BAD_BASE64);  // length 11
    EXPECT_EQ(Decrypt("=j16P9gMYdA=", 64, &out), DES_TEXT_BAD_BASE64); // "=" first
    EXPECT_EQ(Decrypt("jj16P9g*YdA=", 64, &out), DES_TEXT_BAD_BASE64); // outside the alphabet
    EXPECT_EQ(Decrypt("jj16P9gM", 64, &out), DES_TEXT_BAD_CIPHER);     // 6 bytes
    EXPECT_EQ(Decrypt("jj16P9gMYdAA", 64, &out), DES_TEXT_BAD_CIPHER); // 9 bytes
    // Three blocks cannot fit a capacity of 8, even with the padding block spare.
    EXPECT_EQ(Decrypt(Encrypt(std::string(17, 'z')).c_str(), 8, &out), DES_TEXT_BAD_CIPHER);
}

// A text made with another key decrypts to a last byte that is no padding
// count of ours; it is refused, never turned into an out-of-range length.
TEST(DesText, TextUnderAnotherKeyIsRefusedNotOverread)
{
    int nRefused = 0;
    for (int i = 0; i < 64; ++i) {
        uint8_t abCipher[8];
        for (int k = 0; k < 8; ++k)
            abCipher[k] = (uint8_t)(i * 31 + k * 17);
        char szText[16];
        b64_Encode(abCipher, szText, 8);
        std::string out;
        int nStatus = Decrypt(szText, 8, &out);
        if (nStatus == DES_TEXT_BAD_CIPHER) {
            ++nRefused;
        } else {
            EXPECT_EQ(nStatus, DES_TEXT_OK);
        }
        EXPECT_LT(out.size(), 8u);
    }
    EXPECT_GT(nRefused, 32); // a random last byte is 1 to 8 only 8 times in 256
}

} // namespace
