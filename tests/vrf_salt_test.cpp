// The salt builder's argument checks, and the pair salt itself, which must
// never change: every .vrf file in the field was digested with it. Pure:
// runs under Wine and natively under the sanitizers.
#include "vrf_salt.h"
#include "hex.h"

#include <gtest/gtest.h>
#include <vector>

namespace
{

const uint8_t kSeed[20] = {3, 1, 4, 1, 5, 9, 2, 6, 5, 3, 5, 8, 9, 7, 9, 3, 2, 3, 8, 4};

// Returns the result; checks that a refusal writes nothing at all.
int Build(uint32_t cbSeed, uint32_t cbCapacity, std::vector<uint8_t>* pOut, uint32_t* pcb)
{
    pOut->assign(120, 0xcc);
    *pcb = cbCapacity;
    int nResult = BuildVrfSalt(kSeed, cbSeed, pOut->data(), pcb);
    if (nResult == 0) {
        EXPECT_EQ(*pcb, cbCapacity);
        EXPECT_EQ(*pOut, std::vector<uint8_t>(120, 0xcc));
    } else {
        EXPECT_EQ((*pOut)[*pcb], 0xcc) << "written past the reported length";
    }
    return nResult;
}

TEST(VrfSalt, SeedLengthAndCapacityBoundaries)
{
    std::vector<uint8_t> out;
    uint32_t cb;
    EXPECT_EQ(Build(5, 100, &out, &cb), 0);
    EXPECT_EQ(Build(21, 120, &out, &cb), 0);
    EXPECT_EQ(Build(6, 29, &out, &cb), 0);
    EXPECT_EQ(Build(20, 99, &out, &cb), 0);
    ASSERT_EQ(Build(6, 30, &out, &cb), 1);
    EXPECT_EQ(cb, 30u);
    ASSERT_EQ(Build(20, 100, &out, &cb), 1);
    EXPECT_EQ(cb, 100u);
}

TEST(VrfSalt, NullArgumentsAreRefused)
{
    uint8_t ab[100];
    uint32_t cb = sizeof ab;
    EXPECT_EQ(BuildVrfSalt(NULL, 6, ab, &cb), 0);
    EXPECT_EQ(BuildVrfSalt(kSeed, 6, NULL, &cb), 0);
    EXPECT_EQ(BuildVrfSalt(kSeed, 6, ab, NULL), 0);
}

TEST(VrfSalt, OneSeedByteGivesFiveBytesAndTheRestDoNotMatter)
{
    std::vector<uint8_t> a, b;
    uint32_t cb;
    ASSERT_EQ(Build(6, 100, &a, &cb), 1);
    ASSERT_EQ(Build(7, 100, &b, &cb), 1);
    EXPECT_TRUE(std::equal(a.begin(), a.begin() + 30, b.begin()));
}

// Pinned: a change here breaks every verification file already written.
TEST(VrfSalt, PairSaltNeverChanges)
{
    uint8_t ab[VRF_SALT_CAPACITY];
    ASSERT_EQ(BuildPairSalt(ab), 1);
    EXPECT_EQ(ToHex(std::string((const char*)ab, VRF_SALT_SIZE)),
              "8a8a8a8a8a65b5dac354de496b77d5d8c2fc464ae5466a86b588f10c763c");
}

} // namespace
