// MD5 against the RFC 1321 test suite and OpenSSL, fed whole and in pieces,
// and the CHAP response built on it. Pure: runs under Wine and natively
// under the sanitizers.
#include "md5.h"
#include "hex.h"

#include <gtest/gtest.h>
#include <string>

namespace
{

std::string Md5Hex(const std::string& data)
{
    uint8_t ab[MD5_DIGEST_SIZE];
    md5_digest(ab, data.data(), data.size());
    return ToHex(std::string((const char*)ab, sizeof ab));
}

TEST(Md5, Rfc1321TestSuite)
{
    EXPECT_EQ(Md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(Md5Hex("a"), "0cc175b9c0f1b6a831c399e269772661");
    EXPECT_EQ(Md5Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
    EXPECT_EQ(Md5Hex("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
    EXPECT_EQ(Md5Hex("abcdefghijklmnopqrstuvwxyz"), "c3fcd3d76192e4007dfb496cca67e13b");
    EXPECT_EQ(Md5Hex("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
              "d174ab98d277d9f5a5611c2c9f419d9f");
    EXPECT_EQ(Md5Hex("1234567890123456789012345678901234567890"
                     "1234567890123456789012345678901234567890"),
              "57edf4a22be3c955ac49da2e2107b67a");
}

// Lengths around the padding boundary (56 bytes) and the block size, from
//   head -c N /dev/zero | tr '\0' a | openssl dgst -md5
TEST(Md5, PaddingBoundariesMatchOpenSsl)
{
    const struct {
        size_t n;
        const char* pszDigest;
    } kCases[] = {
        {55, "ef1772b6dff9a122358552954ad0df65"}, {56, "3b0c8ac703f828b04c6c197006d17218"},
        {63, "b06521f39153d618550606be297466d5"}, {64, "014842d480b571495a4a0363793f7367"},
        {65, "c743a45e0d2e6a95cb859adae0248435"}, {1000000, "7707d6ae4e027c70eea2a935c2296f21"},
    };
    for (auto c : kCases)
        EXPECT_EQ(Md5Hex(std::string(c.n, 'a')), c.pszDigest) << c.n;
}

TEST(Md5, PiecewiseUpdatesGiveTheOneShotDigest)
{
    std::string data;
    for (int i = 0; i < 300; ++i)
        data += (char)(i * 7 + 3);
    std::string whole = Md5Hex(data);
    for (size_t nPiece : {1, 3, 55, 63, 64, 65, 127}) {
        Md5Context ctx;
        md5_Init(&ctx);
        for (size_t off = 0; off < data.size(); off += nPiece)
            md5_Update(&ctx, data.data() + off, std::min(nPiece, data.size() - off));
        uint8_t ab[MD5_DIGEST_SIZE];
        md5_Final(ab, &ctx);
        EXPECT_EQ(ToHex(std::string((const char*)ab, sizeof ab)), whole) << nPiece;
    }
}

// Identifier 0x2a, secret "Kelvo secret", challenge 00 11 .. ff, from
//   { printf '\x2a%s' 'Kelvo secret'; printf '\x00\x11...\xff'; } | openssl dgst -md5
TEST(ChapMd5, ResponseMatchesOpenSsl)
{
    std::string challenge;
    ASSERT_TRUE(FromHex("00112233445566778899aabbccddeeff", &challenge));
    uint8_t ab[MD5_DIGEST_SIZE];
    ChapMd5Response(ab, (const uint8_t*)challenge.data(), "Kelvo secret", 0x2a);
    EXPECT_EQ(ToHex(std::string((const char*)ab, sizeof ab)), "ce1e746682f24113395a189b0ff407d7");
}

// The response is defined for any secret; a long one is digested whole.
TEST(ChapMd5, LongSecretIsDigestedWhole)
{
    std::string secret(300, 's');
    std::string challenge(16, '\x5a');
    uint8_t ab[MD5_DIGEST_SIZE];
    ChapMd5Response(ab, (const uint8_t*)challenge.data(), secret.c_str(), 7);
    EXPECT_EQ(ToHex(std::string((const char*)ab, sizeof ab)), Md5Hex('\x07' + secret + challenge));
}

} // namespace
