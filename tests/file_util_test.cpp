// File and directory utilities on real files in the prefix's drive C:.
#include "file_util.h"
#include "log.h"
#include "test_dir.h"

#include <gtest/gtest.h>

namespace
{

typedef TestDirFixture FileUtilTest;

TEST_F(FileUtilTest, ExistenceTestsTellFilesFromDirectories)
{
    ASSERT_TRUE(WriteWholeFile(In("a.txt"), "x"));
    ASSERT_TRUE(CreateDirectoryA(In("sub").c_str(), NULL));

    EXPECT_EQ(utl_FileExists(In("a.txt").c_str()), 1);
    EXPECT_EQ(utl_DirExists(In("a.txt").c_str()), 0);
    EXPECT_EQ(utl_FileExists(In("sub").c_str()), 0);
    EXPECT_EQ(utl_DirExists(In("sub").c_str()), 1);
    EXPECT_EQ(utl_FileExists(In("missing").c_str()), 0);
    EXPECT_EQ(utl_DirExists(In("missing").c_str()), 0);
    // A pattern that matches both kinds satisfies both tests.
    EXPECT_EQ(utl_FileExists(In("*").c_str()), 1);
    EXPECT_EQ(utl_DirExists(In("*").c_str()), 1);
    EXPECT_EQ(utl_FileExists(In("s*").c_str()), 0);
}

TEST_F(FileUtilTest, DeleteFileTakesReadOnlyFilesAndCountsMissingAsDone)
{
    ASSERT_TRUE(WriteWholeFile(In("ro.txt"), "x"));
    SetFileAttributesA(In("ro.txt").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM);

    EXPECT_EQ(utl_DeleteFile(In("ro.txt").c_str()), 1);
    EXPECT_FALSE(Exists(In("ro.txt")));
    EXPECT_EQ(utl_DeleteFile(In("ro.txt").c_str()), 1);
}

TEST_F(FileUtilTest, DeleteFilesInDirMatchesPatternAndSparesSubdirectories)
{
    ASSERT_TRUE(WriteWholeFile(In("keep.txt"), "x"));
    ASSERT_TRUE(WriteWholeFile(In("a.log"), "x"));
    ASSERT_TRUE(WriteWholeFile(In("b.log"), "x"));
    SetFileAttributesA(In("b.log").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    ASSERT_TRUE(CreateDirectoryA(In("x.log").c_str(), NULL));

    utl_DeleteFilesInDir(dir.c_str(), "*.log");
    EXPECT_TRUE(Exists(In("keep.txt")));
    EXPECT_FALSE(Exists(In("a.log")));
    EXPECT_FALSE(Exists(In("b.log")));
    EXPECT_TRUE(Exists(In("x.log")));
}

TEST_F(FileUtilTest, RemoveDirLeavesADirectoryThatHasSubdirectories)
{
    ASSERT_TRUE(CreateDirectoryA(In("d").c_str(), NULL));
    ASSERT_TRUE(CreateDirectoryA(In("d\\sub").c_str(), NULL));
    ASSERT_TRUE(WriteWholeFile(In("d\\f.txt"), "x"));
    ASSERT_TRUE(WriteWholeFile(In("d\\sub\\g.txt"), "x"));

    utl_RemoveDir(In("d").c_str());
    EXPECT_FALSE(Exists(In("d\\f.txt")));
    EXPECT_TRUE(Exists(In("d\\sub\\g.txt")));

    utl_RemoveDir(In("d\\sub").c_str());
    utl_RemoveDir(In("d").c_str());
    EXPECT_FALSE(Exists(In("d")));
}

TEST_F(FileUtilTest, RemoveDirTreeRemovesEverythingIncludingReadOnlyFiles)
{
    EXPECT_EQ(utl_RemoveDirTree(In("missing").c_str()), 1);

    ASSERT_TRUE(CreateDirectoryA(In("t").c_str(), NULL));
    ASSERT_TRUE(CreateDirectoryA(In("t\\a").c_str(), NULL));
    ASSERT_TRUE(CreateDirectoryA(In("t\\a\\b").c_str(), NULL));
    ASSERT_TRUE(WriteWholeFile(In("t\\1.txt"), "x"));
    ASSERT_TRUE(WriteWholeFile(In("t\\a\\b\\2.txt"), "x"));
    SetFileAttributesA(In("t\\a\\b\\2.txt").c_str(), FILE_ATTRIBUTE_READONLY);

    EXPECT_EQ(utl_RemoveDirTree(In("t").c_str()), 1);
    EXPECT_FALSE(Exists(In("t")));
}

// The links are laid out by the make-test-links fixture: Unix symbolic links
// in the prefix, which Wine reports as reparse points like junctions. No
// removal enters a link or changes what it leads to: the precious file stays,
// read-only. (Wine reports only a link to a directory as a reparse point, so
// a link among a directory's files, which the removals delete as a link
// without touching its attributes, is seen only on Windows.)
TEST(RemovalLinks, NeverFollowALinkOutOfTheDirectory)
{
    const std::string root = "C:\\tmp\\kelvo-links";
    const std::string precious = root + "\\outside\\precious.txt";
    ASSERT_TRUE(Exists(precious)) << "run through ctest, which lays out the links";
    for (const char* pszLink : {"\\tree\\link", "\\toplink"}) {
        DWORD dwAttr = GetFileAttributesA((root + pszLink).c_str());
        ASSERT_NE(dwAttr, INVALID_FILE_ATTRIBUTES) << pszLink;
        ASSERT_TRUE(dwAttr & FILE_ATTRIBUTE_REPARSE_POINT) << pszLink;
    }

    utl_DeleteFilesInDir((root + "\\toplink").c_str(), "*.*");
    utl_RemoveDir((root + "\\toplink").c_str());
    utl_RemoveDir((root + "\\tree\\link").c_str());
    EXPECT_TRUE(Exists(precious));
    utl_RemoveDirTree((root + "\\tree").c_str());
    utl_RemoveDirTree((root + "\\toplink").c_str());
    EXPECT_TRUE(Exists(precious));
    EXPECT_TRUE(GetFileAttributesA(precious.c_str()) & FILE_ATTRIBUTE_READONLY);

    // Windows removes a junction with RemoveDirectoryA; Wine 8 cannot remove a
    // Unix symbolic link that way, so there the links and the tree stay.
    if (!RunningOnWine()) {
        EXPECT_FALSE(Exists(root + "\\tree"));
        EXPECT_FALSE(Exists(root + "\\toplink"));
    }
}

TEST_F(FileUtilTest, CreateTempDirMakesOrEmptiesTheWorkDirectory)
{
    char szDir[UTL_PATH_BUF];
    const char* pszPrefix = "KelvoUtilTest";
    std::string expected = "C:\\tmp\\KelvoUtilTest0";
    utl_RemoveDirTree(expected.c_str());

    ASSERT_EQ(utl_CreateTempDir(szDir, sizeof szDir, pszPrefix, 0), 1);
    EXPECT_EQ(std::string(szDir), expected);
    EXPECT_EQ(utl_DirExists(expected.c_str()), 1);

    ASSERT_TRUE(WriteWholeFile(expected + "\\old.txt", "x"));
    SetFileAttributesA((expected + "\\old.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    ASSERT_TRUE(CreateDirectoryA((expected + "\\ZQM").c_str(), NULL));
    ASSERT_EQ(utl_CreateTempDir(szDir, sizeof szDir, pszPrefix, 0), 1);
    EXPECT_FALSE(Exists(expected + "\\old.txt"));
    EXPECT_TRUE(Exists(expected + "\\ZQM"));

    // The terminator must fit too.
    EXPECT_EQ(utl_CreateTempDir(szDir, expected.size(), pszPrefix, 0), 0);
    EXPECT_EQ(utl_CreateTempDir(szDir, expected.size() + 1, pszPrefix, 0), 1);

    // A file that takes the directory's name is not replaced.
    utl_RemoveDirTree(expected.c_str());
    ASSERT_TRUE(WriteWholeFile(expected, "x"));
    EXPECT_EQ(utl_CreateTempDir(szDir, sizeof szDir, pszPrefix, 0), 0);
    DeleteFileA(expected.c_str());

    ASSERT_EQ(utl_CreateTempDir(szDir, sizeof szDir, pszPrefix, 1), 1);
    EXPECT_EQ(std::string(szDir).rfind("C:\\tmp\\KelvoUtilTest", 0), 0u);
    RemoveDirectoryA(szDir);
}

TEST_F(FileUtilTest, CreateTempDirFailsWhenTmpIsAFile)
{
    // C:\tmp holds this very test's directory, so it is moved aside and back.
    ASSERT_TRUE(MoveFileA("C:\\tmp", "C:\\tmp-aside"));
    ASSERT_TRUE(WriteWholeFile("C:\\tmp", "x"));
    char szDir[UTL_PATH_BUF];
    int nResult = utl_CreateTempDir(szDir, sizeof szDir, "KelvoUtilTest", 0);
    DeleteFileA("C:\\tmp");
    ASSERT_TRUE(MoveFileA("C:\\tmp-aside", "C:\\tmp"));
    EXPECT_EQ(nResult, 0);
}

TEST_F(FileUtilTest, GetFileSizeGivesBothHalves)
{
    DWORD dwHigh = 7, dwLow = 7;
    ASSERT_TRUE(WriteWholeFile(In("five.bin"), "12345"));
    EXPECT_EQ(utl_GetFileSize(In("five.bin").c_str(), &dwHigh, &dwLow), 1);
    EXPECT_EQ(dwHigh, 0u);
    EXPECT_EQ(dwLow, 5u);

    // Exactly 4 GiB, made sparse by extending an empty file.
    HANDLE hFile = CreateFileA(In("big.bin").c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, NULL);
    ASSERT_NE(hFile, INVALID_HANDLE_VALUE);
    LARGE_INTEGER size;
    size.QuadPart = 4LL << 30;
    ASSERT_TRUE(SetFilePointerEx(hFile, size, NULL, FILE_BEGIN));
    ASSERT_TRUE(SetEndOfFile(hFile));
    CloseHandle(hFile);
    EXPECT_EQ(utl_GetFileSize(In("big.bin").c_str(), &dwHigh, &dwLow), 1);
    EXPECT_EQ(dwHigh, 1u);
    EXPECT_EQ(dwLow, 0u);
    DeleteFileA(In("big.bin").c_str());

    // A directory has no file size, and that is no error worth a log line.
    RemoveLogDir();
    EXPECT_EQ(utl_GetFileSize(dir.c_str(), &dwHigh, &dwLow), 0);
    EXPECT_EQ(utl_GetFileSize(In("missing").c_str(), &dwHigh, &dwLow), 0);
    EXPECT_FALSE(Exists(TodayModuleLogPath("UtlFile")));
}

TEST_F(FileUtilTest, OpenForWriteKeepsExistingContentAndOpenForReadNeedsAFile)
{
    EXPECT_EQ(utl_OpenFileForRead(In("missing").c_str()), INVALID_HANDLE_VALUE);

    ASSERT_TRUE(WriteWholeFile(In("data.bin"), "abcdef"));
    HANDLE hFile = utl_NewOrOpenFileForWrite(In("data.bin").c_str());
    ASSERT_NE(hFile, INVALID_HANDLE_VALUE);
    DWORD dwDone;
    WriteFile(hFile, "XY", 2, &dwDone, NULL);
    CloseHandle(hFile);
    std::string data;
    ASSERT_TRUE(ReadWholeFile(In("data.bin"), &data));
    EXPECT_EQ(data, "XYcdef");

    hFile = utl_NewOrOpenFileForWrite(In("new.bin").c_str());
    ASSERT_NE(hFile, INVALID_HANDLE_VALUE);
    CloseHandle(hFile);
    EXPECT_TRUE(Exists(In("new.bin")));

    hFile = utl_OpenFileForRead(In("data.bin").c_str());
    ASSERT_NE(hFile, INVALID_HANDLE_VALUE);
    char buf[8] = {};
    EXPECT_TRUE(ReadFile(hFile, buf, 2, &dwDone, NULL));
    EXPECT_EQ(std::string(buf), "XY");
    // A reader shares only reading: nobody may write under it.
    EXPECT_EQ(utl_NewOrOpenFileForWrite(In("data.bin").c_str()), INVALID_HANDLE_VALUE);
    CloseHandle(hFile);
}

TEST_F(FileUtilTest, ClearReadOnlyKeepsOtherAttributes)
{
    EXPECT_EQ(utl_ClearReadOnly(NULL), 1101u);
    EXPECT_EQ(utl_ClearReadOnly(In("missing").c_str()), 1001u);
    EXPECT_EQ(utl_ClearReadOnly(dir.c_str()), 1001u);

    ASSERT_TRUE(WriteWholeFile(In("ro.txt"), "x"));
    SetFileAttributesA(In("ro.txt").c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
    DWORD dwBefore = GetFileAttributesA(In("ro.txt").c_str());
    ASSERT_EQ(dwBefore & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN),
              (DWORD)(FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN));
    EXPECT_EQ(utl_ClearReadOnly(In("ro.txt").c_str()), 0u);
    EXPECT_EQ(GetFileAttributesA(In("ro.txt").c_str()), dwBefore & ~FILE_ATTRIBUTE_READONLY);

    ASSERT_TRUE(WriteWholeFile(In("plain.txt"), "x"));
    SetFileAttributesA(In("plain.txt").c_str(), FILE_ATTRIBUTE_HIDDEN);
    dwBefore = GetFileAttributesA(In("plain.txt").c_str());
    EXPECT_EQ(utl_ClearReadOnly(In("plain.txt").c_str()), 0u);
    EXPECT_EQ(GetFileAttributesA(In("plain.txt").c_str()), dwBefore);
}

TEST(JoinPath, RefusesWhatDoesNotFitRatherThanCuttingIt)
{
    char sz[12];
    memset(sz, 'J', sizeof sz);
    EXPECT_EQ(utl_JoinPath(sz, sizeof sz, "C:\\dir", "name"), 1); // 11 characters
    EXPECT_STREQ(sz, "C:\\dir\\name");
    memset(sz, 'J', sizeof sz);
    EXPECT_EQ(utl_JoinPath(sz, sizeof sz, "C:\\dir", "names"), 0);
    EXPECT_STREQ(sz, "");
}

} // namespace
