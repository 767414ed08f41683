// The client display name picked out of the customisation-set version by
// position. Pure: runs under Wine and natively under the sanitizers, where
// a read past a short text would show.
#include "custom_set.h"

#include <gtest/gtest.h>
#include <string.h>
#include <string>

namespace
{

std::string Name(const char* pszVersion)
{
    char sz[CUSSET_DISPLAY_NAME_LEN + 1];
    memset(sz, 'x', sizeof sz); // an empty result must be written, not left
    if (!FormatCustomSetDisplayName(pszVersion, sz))
        return "<refused:" + std::string(sz) + ">";
    return sz;
}

TEST(CustomSetDisplayName, PicksCharacters1To3ThenTheLastThen6To9)
{
    EXPECT_EQ(Name("A1.2B-3456C"), "Kelvo PC 1.2 (C3456)");
    // Every position distinct, so a shifted piece would show.
    EXPECT_EQ(Name("ab-defghijk"), "Kelvo PC b-d (kghij)");
    EXPECT_EQ(Name("-----------"), "Kelvo PC --- (-----)");
    EXPECT_EQ(Name("A1.2B-3456C").size(), (size_t)CUSSET_DISPLAY_NAME_LEN);
}

TEST(CustomSetDisplayName, OnlyAnElevenCharacterTextHasThePieces)
{
    EXPECT_EQ(Name("A1.2B-3456"), "<refused:>");
    EXPECT_EQ(Name("A1.2B-3456CD"), "<refused:>");
    EXPECT_EQ(Name(""), "<refused:>");
    EXPECT_EQ(Name(NULL), "<refused:>");
}

} // namespace
