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
    std::string In(const std::string& name) const
    {
        return dir + "\\" + name;
    }
    // The whole content of a file in the directory, or a failed expectation.
    std::string Read(const std::string& name) const
    {
        std::string data;
        EXPECT_TRUE(ReadWholeFile(In(name), &data)) << name;
        return data;
    }
    void Write(const std::string& name, const std::string& data) const
    {
        ASSERT_TRUE(WriteWholeFile(In(name), data)) << name;
    }
    std::string dir;
};
