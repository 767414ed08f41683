// Base64 against the RFC 4648 vectors, and the texts the decoder refuses.
// Pure: runs under Wine and natively under the sanitizers.
#include "base64.h"

#include <gtest/gtest.h>
#include <string.h>
#include <string>
#include <vector>

namespace
{

struct Vector {
    const char* pszPlain;
    const char* pszText;
};

// RFC 4648, section 10.
const Vector kRfc4648[] = {
    {"", ""},
    {"f", "Zg=="},
    {"fo", "Zm8="},
    {"foo", "Zm9v"},
    {"foob", "Zm9vYg=="},
    {"fooba", "Zm9vYmE="},
    {"foobar", "Zm9vYmFy"},
};

std::string Encode(const std::string& plain)
{
    std::vector<char> text(4 * (plain.size() / 3 + 1) + 1 + 4, '#');
    EXPECT_EQ(b64_Encode((const uint8_t*)plain.data(), text.data(), (int32_t)plain.size()), 0);
    size_t cch = strlen(text.data());
    EXPECT_EQ(text[cch + 1], '#') << "written past the NUL";
    return std::string(text.data(), cch);
}

// Decodes into a buffer of exactly the documented size, filled with junk.
int Decode(const char* pszText, std::string* pOut)
{
    std::vector<uint8_t> out(3 * strlen(pszText) / 4 + 1, 0xcc);
    uint32_t cb = 12345;
    int nResult = b64_Decode(pszText, out.data(), &cb);
    if (nResult == 0) {
        EXPECT_EQ(out[cb], 0) << "no NUL after the bytes";
        pOut->assign((const char*)out.data(), cb);
    } else {
        EXPECT_EQ(cb, 0u);
        EXPECT_EQ(out[0], 0) << "a refused text leaves an empty result";
    }
    return nResult;
}

TEST(Base64, Rfc4648VectorsBothWays)
{
    for (const Vector& v : kRfc4648) {
        EXPECT_EQ(Encode(v.pszPlain), v.pszText);
        std::string plain;
        ASSERT_EQ(Decode(v.pszText, &plain), 0) << v.pszText;
        EXPECT_EQ(plain, v.pszPlain);
    }
}

TEST(Base64, EveryByteValueRoundTrips)
{
    std::string all;
    for (int i = 0; i < 256; ++i)
        all += (char)i;
    for (size_t n = 0; n <= all.size(); n += 37) {
        std::string text = Encode(all.substr(0, n) + all.substr(n));
        std::string back;
        ASSERT_EQ(Decode(text.c_str(), &back), 0);
        EXPECT_EQ(back, all);
    }
    EXPECT_EQ(Encode(std::string("\xfb\xff\xbf", 3)), "+/+/");
}

TEST(Base64, NonPositiveLengthWritesOnlyTheNul)
{
    char sz[4] = "###";
    EXPECT_EQ(b64_Encode((const uint8_t*)"abc", sz, -5), 0);
    EXPECT_EQ(sz[0], '\0');
    EXPECT_EQ(sz[1], '#');
}

TEST(Base64, LengthOutParameterIsOptional)
{
    uint8_t ab[4];
    EXPECT_EQ(b64_Decode("Zm8=", ab, NULL), 0);
    EXPECT_EQ(std::string((const char*)ab), "fo");
}

TEST(Base64, RefusedTexts)
{
    const char* const kBad[] = {
        "Zg=",       // not a multiple of four
        "Zm9vY",     // a group cut short
        "=m9v",      // padding first
        "Z=9v",      // padding second
        "Zm9v Zg==", // a character outside the alphabet
        "Zm9-",      // the URL-safe alphabet is not ours
        "Zg==Zm9v",  // padding in a group before the last
        "Zm8=Zm9v",  // the same with one "="
        "Zm=v",      // "=" third, then a character
        "Zm\x80v",   // a high byte
    };
    for (const char* psz : kBad) {
        std::string out;
        EXPECT_EQ(Decode(psz, &out), -1) << psz;
    }
}

} // namespace
