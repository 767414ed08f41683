// The DES block layer against published known answers, and the ECB padding
// rules. Pure: runs under Wine and natively under the sanitizers.
#include "des.h"
#include "hex.h"

#include <gtest/gtest.h>
#include <string.h>
#include <vector>

namespace
{

struct BlockVector {
    const char* pszKey;
    const char* pszPlain;
    const char* pszCipher;
};

// NIST SP 800-17 (variable plaintext, variable key, permutation and
// substitution tables) and the FIPS 81 ECB example "Now is the time for all ".
const BlockVector kDesVectors[] = {
    {"0101010101010101", "8000000000000000", "95f8a5e5dd31d900"},
    {"0101010101010101", "4000000000000000", "dd7f121ca5015619"},
    {"0101010101010101", "2000000000000000", "2e8653104f3834ea"},
    {"0101010101010101", "0000000000000001", "166b40b44aba4bd6"},
    {"8001010101010101", "0000000000000000", "95a8d72813daa94d"},
    {"4001010101010101", "0000000000000000", "0eec1487dd8c26d5"},
    {"1046913489980131", "0000000000000000", "88d55e54f54c97b4"},
    {"7ca110454a1a6e57", "01a1d6d039776742", "690f5b0d9a26939b"},
    {"0131d9619dc1376e", "5cd54ca83def57da", "7a389d10354bd271"},
    {"07a1133e4a0b2686", "0248d43806f67172", "868ebb51cab4599a"},
    {"133457799bbcdff1", "0123456789abcdef", "85e813540f0ab405"},
    {"0123456789abcdef", "4e6f772069732074", "3fa40e8a984d4815"},
    {"0123456789abcdef", "68652074696d6520", "6a271787ab8883f9"},
    {"0123456789abcdef", "666f7220616c6c20", "893d51ec4b563b53"},
};

std::string Hex(const char* pszHex)
{
    std::string bytes;
    EXPECT_TRUE(FromHex(pszHex, &bytes)) << pszHex;
    return bytes;
}

const uint8_t* U8(const std::string& s)
{
    return (const uint8_t*)s.data();
}

std::string Block(const uint8_t* p)
{
    return std::string((const char*)p, 8);
}

DesContext KeyOf(const char* pszHex)
{
    DesContext ctx;
    EXPECT_EQ(des_SetKey(U8(Hex(pszHex)), &ctx), 0);
    return ctx;
}

TEST(DesBlock, PublishedVectorsBothWays)
{
    for (const BlockVector& v : kDesVectors) {
        SCOPED_TRACE(v.pszKey + std::string(" ") + v.pszPlain);
        DesContext ctx = KeyOf(v.pszKey);
        uint8_t ab[8];
        des_EncryptBlock(&ctx, U8(Hex(v.pszPlain)), ab);
        EXPECT_EQ(ToHex(Block(ab)), v.pszCipher);
        des_DecryptBlock(&ctx, U8(Hex(v.pszCipher)), ab);
        EXPECT_EQ(ToHex(Block(ab)), v.pszPlain);
    }
}

TEST(DesBlock, ParityBitsOfTheKeyAreIgnored)
{
    DesContext withParity = KeyOf("0123456789abcdef");
    DesContext flipped = KeyOf("0022446688aaccee"); // every low bit cleared
    EXPECT_EQ(memcmp(&withParity, &flipped, sizeof withParity), 0);
}

TEST(TripleDes, EqualKeysAreSingleDes)
{
    for (const BlockVector& v : kDesVectors) {
        std::string key = Hex(v.pszKey);
        Des3Context ctx3;
        EXPECT_EQ(des3_SetKey(U8(key + key + key), &ctx3), 0);
        uint8_t ab[8];
        des3_EncryptBlock(&ctx3, U8(Hex(v.pszPlain)), ab);
        EXPECT_EQ(ToHex(Block(ab)), v.pszCipher);
        des3_DecryptBlock(&ctx3, ab, ab);
        EXPECT_EQ(ToHex(Block(ab)), v.pszPlain);
    }
}

// NIST SP 800-67 Rev. 1, the three-key example ("The qufck brown fox jump").
TEST(TripleDes, PublishedThreeKeyVector)
{
    Des3Context ctx;
    des3_SetKey(U8(Hex("0123456789abcdef23456789abcdef01456789abcdef0123")), &ctx);
    std::string plain = Hex("54686520717566636b2062726f776e20666f78206a756d70");
    const char* pszCipher = "a826fd8ce53b855fcce21c8112256fe668d5c05dd9b6b900";

    uint8_t abOut[32];
    ASSERT_EQ(des3_EncryptEcb(U8(plain), 24, abOut, sizeof abOut, &ctx), 32);
    EXPECT_EQ(ToHex(std::string((const char*)abOut, 24)), pszCipher);

    uint8_t abBack[32];
    ASSERT_EQ(des3_DecryptEcb(abOut, 32, abBack, sizeof abBack, &ctx), 24);
    EXPECT_EQ(std::string((const char*)abBack, 24), plain);
}

TEST(DesEcb, PadsToTheNextWholeBlock)
{
    DesContext ctx = KeyOf("0123456789abcdef");
    uint8_t abIn[24] = {};
    uint8_t abOut[32];
    // n -> padded length: 0 -> 8, 7 -> 8, 8 -> 16, 16 -> 24 (a whole block of eights).
    const struct {
        uint32_t n;
        int32_t cbPadded;
    } kCases[] = {{0, 8}, {7, 8}, {8, 16}, {15, 16}, {16, 24}};
    for (auto c : kCases) {
        memset(abOut, 0xcc, sizeof abOut);
        EXPECT_EQ(des_EncryptEcb(abIn, c.n, abOut, sizeof abOut, &ctx), c.cbPadded) << c.n;
        uint8_t abLast[8];
        des_DecryptBlock(&ctx, abOut + c.cbPadded - 8, abLast);
        uint8_t nPad = (uint8_t)(c.cbPadded - c.n);
        for (uint32_t i = 8 - nPad; i < 8; ++i)
            EXPECT_EQ(abLast[i], nPad) << c.n;
        EXPECT_EQ(abOut[c.cbPadded], 0xcc) << "written past the padded length";
    }
}

TEST(DesEcb, EncryptionRefusesTooSmallCapacityWithoutWriting)
{
    DesContext ctx = KeyOf("0123456789abcdef");
    uint8_t abIn[16] = {1, 2, 3};
    uint8_t abOut[24];
    memset(abOut, 0xcc, sizeof abOut);
    EXPECT_EQ(des_EncryptEcb(abIn, 16, abOut, 23, &ctx), -1);
    EXPECT_EQ(des_EncryptEcb(abIn, 0xfffffffcu, abOut, 23, &ctx), -1); // padded length wraps
    for (uint8_t b : abOut)
        EXPECT_EQ(b, 0xcc);
    EXPECT_EQ(des_EncryptEcb(abIn, 16, abOut, 24, &ctx), 24);
}

TEST(DesEcb, DecryptionCapacityBoundaries)
{
    DesContext ctx = KeyOf("0123456789abcdef");
    uint8_t abPlain[13] = {'t', 'h', 'i', 'r', 't', 'e', 'e', 'n', 'b', 'y', 't', 'e', 's'};
    uint8_t abCipher[16];
    ASSERT_EQ(des_EncryptEcb(abPlain, 13, abCipher, sizeof abCipher, &ctx), 16);

    // The padding need not fit, the plaintext must: 13 fits 13, not 12.
    std::vector<uint8_t> exact(13);
    EXPECT_EQ(des_DecryptEcb(abCipher, 16, exact.data(), 13, &ctx), 13);
    EXPECT_EQ(memcmp(exact.data(), abPlain, 13), 0);
    std::vector<uint8_t> small(12, 0xcc);
    EXPECT_EQ(des_DecryptEcb(abCipher, 16, small.data(), 12, &ctx), -1);
    EXPECT_EQ(small, std::vector<uint8_t>(12, 0xcc));
    // Two blocks more than the rounded capacity is refused before decrypting.
    EXPECT_EQ(des_DecryptEcb(abCipher, 16, small.data(), 7, &ctx), -1);

    // Triple DES wants room for the whole ciphertext.
    Des3Context ctx3;
    des3_SetKey(U8(std::string(24, 'k')), &ctx3);
    uint8_t abCipher3[16];
    ASSERT_EQ(des3_EncryptEcb(abPlain, 13, abCipher3, sizeof abCipher3, &ctx3), 16);
    uint8_t abBack[16];
    EXPECT_EQ(des3_DecryptEcb(abCipher3, 16, abBack, 15, &ctx3), -1);
    EXPECT_EQ(des3_DecryptEcb(abCipher3, 16, abBack, 16, &ctx3), 13);
}

TEST(DesEcb, DecryptionRefusesLengthsThatAreNotWholeBlocks)
{
    DesContext ctx = KeyOf("0123456789abcdef");
    uint8_t abIn[24] = {};
    uint8_t abOut[32];
    EXPECT_EQ(des_DecryptEcb(abIn, 0, abOut, sizeof abOut, &ctx), -1);
    EXPECT_EQ(des_DecryptEcb(abIn, 12, abOut, sizeof abOut, &ctx), -1);
    EXPECT_EQ(des_DecryptEcb(abIn, 17, abOut, sizeof abOut, &ctx), -1);
}

// A last plaintext byte of 0 or above 8 is no padding we wrote: a wrong key
// or a damaged text. The block before is encrypted with the chosen last byte.
TEST(DesEcb, DecryptionRefusesImpossiblePaddingCounts)
{
    DesContext ctx = KeyOf("0123456789abcdef");
    for (int nLast : {0, 9, 16, 255, 1, 8}) {
        uint8_t abPlain[16] = {};
        memset(abPlain, 'x', sizeof abPlain);
        abPlain[15] = (uint8_t)nLast;
        uint8_t abCipher[16];
        des_EncryptBlock(&ctx, abPlain, abCipher);
        des_EncryptBlock(&ctx, abPlain + 8, abCipher + 8);
        uint8_t abOut[16];
        memset(abOut, 0xcc, sizeof abOut);
        int32_t nResult = des_DecryptEcb(abCipher, 16, abOut, sizeof abOut, &ctx);
        if (nLast >= 1 && nLast <= 8) {
            EXPECT_EQ(nResult, 16 - nLast);
        } else {
            EXPECT_EQ(nResult, -1) << nLast;
            EXPECT_EQ(abOut[0], 0xcc) << "written before refusing";
        }
    }
}

TEST(DesEcb, RoundTripInPlace)
{
    DesContext ctx = KeyOf("fedcba9876543210");
    uint8_t ab[48];
    for (int i = 0; i < 40; ++i)
        ab[i] = (uint8_t)(i * 37);
    ASSERT_EQ(des_EncryptEcb(ab, 40, ab, sizeof ab, &ctx), 48);
    ASSERT_EQ(des_DecryptEcb(ab, 48, ab, sizeof ab, &ctx), 40);
    for (int i = 0; i < 40; ++i)
        EXPECT_EQ(ab[i], (uint8_t)(i * 37));
}

} // namespace
