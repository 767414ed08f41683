// A test fixture that works in a fresh, empty directory of its own,
// C:\tmp\kelvo-tests\<test name>, on the prefix's real drive C:.
#pragma once

#include "test_env.h"

#include <gtest/gtest.h>

class TestDirFixture : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        dir = FreshTestDir(::testing::UnitTest::GetInstance()->current_test_info()->name());
    }
    std::string In(const char* pszName) const
    {
        return dir + "\\" + pszName;
    }
    // The whole content of a file in the directory, or a failed expectation.
    std::string Read(const char* pszName) const
    {
        std::string data;
        EXPECT_TRUE(ReadWholeFile(In(pszName), &data)) << pszName;
        return data;
    }
    void Write(const char* pszName, const std::string& data) const
    {
        ASSERT_TRUE(WriteWholeFile(In(pszName), data)) << pszName;
    }
    std::string dir;
};
