// Version numbers read from real executables through the version library,
// which must come from the system directory.
#include "file_version.h"
#include "log_lines.h"
#include "test_env.h"

#include <gtest/gtest.h>
#include <stddef.h>

// The result is eight bytes, read one of two ways: the error code lies where
// major and minor lie.
static_assert(sizeof(FileVersionResult) == 8, "eight bytes");
static_assert(offsetof(FileVersionResult, fail.errorCode) ==
                      offsetof(FileVersionResult, ver.major) &&
                  offsetof(FileVersionResult, ver.minor) == 2,
              "errorCode overlays major and minor");

namespace
{

TEST(FileVersion, ReadsTheLaunchersVersionBlock)
{
    std::string setup = BinPath("setup.exe");
    DWORD dwMS = 0, dwLS = 0;
    ASSERT_EQ(getVer("VerTest", setup.c_str(), &dwMS, &dwLS), 1);
    EXPECT_EQ(dwMS, 0x00050001u);
    EXPECT_EQ(dwLS, 0x012D0001u);

    FileVersionResult r;
    ASSERT_EQ(utl_GetFileVersion(setup.c_str(), &r), 1);
    EXPECT_EQ(r.ver.major, 5);
    EXPECT_EQ(r.ver.minor, 1);
    EXPECT_EQ(r.ver.build, 301);
    EXPECT_EQ(r.ver.revision, 1);
}

TEST(FileVersion, AFileWithoutVersionBlockFailsAtTheSizeStep)
{
    RemoveLogDir();
    std::string dir = FreshTestDir("FileVersion");
    std::string plain = dir + "\\plain.txt";
    ASSERT_TRUE(WriteWholeFile(plain, "no version here"));

    DWORD dwMS = 7, dwLS = 7;
    EXPECT_EQ(getVer("VerTest", plain.c_str(), &dwMS, &dwLS), 0);
    EXPECT_EQ(dwMS, 7u);
    EXPECT_TRUE(LogHasInOrder({"getVer:get-size failed\\."}, TodayModuleLogPath("VerTest")));

    FileVersionResult r;
    r.fail.unused = 0xabcd;
    EXPECT_EQ(utl_GetFileVersion(plain.c_str(), &r), 0);
    EXPECT_EQ(r.fail.stage, FILE_VERSION_STAGE_SIZE);
    EXPECT_NE(r.fail.errorCode, 0u);
    EXPECT_EQ(r.fail.unused, 0xabcd) << "the last 16 bits are left alone";

    EXPECT_EQ(utl_GetFileVersion((dir + "\\missing.exe").c_str(), &r), 0);
    EXPECT_EQ(r.fail.stage, FILE_VERSION_STAGE_SIZE);
}

bool SameFile(const std::string& a, const std::string& b)
{
    return CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, a.c_str(), -1, b.c_str(), -1) ==
           CSTR_EQUAL;
}

std::string ModulePath(HMODULE hModule)
{
    char sz[MAX_PATH + 1] = "";
    GetModuleFileNameA(hModule, sz, sizeof sz);
    return sz;
}

// Set in the copy of this program that has a planted version.dll beside it.
const char kPlantedRun[] = "KELVO_PLANTED_VERSION_DLL";

TEST(FileVersion, LibraryComesFromTheSystemDirectory)
{
    VersionLibrary lib;
    ASSERT_EQ(utl_LoadVersionLibrary(&lib), 1);
    char szSystem[MAX_PATH + 1];
    GetSystemDirectoryA(szSystem, sizeof szSystem);
    EXPECT_TRUE(SameFile(ModulePath(lib.hModule), std::string(szSystem) + "\\version.dll"))
        << ModulePath(lib.hModule);
    utl_FreeVersionLibrary(&lib);
    EXPECT_EQ(lib.hModule, nullptr);
    utl_FreeVersionLibrary(&lib); // safe twice

    if (GetEnvironmentVariableA(kPlantedRun, NULL, 0) == 0)
        return;
    // The planted copy is what a load by bare name finds: the check above
    // would have caught one.
    HMODULE hBare = LoadLibraryA("version.dll");
    ASSERT_NE(hBare, nullptr);
    EXPECT_TRUE(SameFile(ModulePath(hBare), BinPath("version.dll"))) << ModulePath(hBare);
    FreeLibrary(hBare);
}

// The same check in a copy of this program with a DLL named version.dll
// planted beside it, where a search that starts in the program's own
// directory would find it first.
TEST(FileVersion, APlantedVersionDllBesideTheProgramIsNotLoaded)
{
    std::string dir = FreshTestDir("FileVersionPlanted");
    std::string copy = dir + "\\file_version_test.exe";
    ASSERT_TRUE(CopyFileA(ModulePath(NULL).c_str(), copy.c_str(), FALSE));
    ASSERT_TRUE(
        CopyFileA(BinPath("kelvo_planted.dll").c_str(), (dir + "\\version.dll").c_str(), FALSE));

    SetEnvironmentVariableA(kPlantedRun, "1");
    DWORD dwExit = 99;
    std::string out;
    bool bRan = RunAndCapture(copy, "--gtest_filter=FileVersion.LibraryComesFromTheSystemDirectory",
                              30000, &dwExit, &out);
    SetEnvironmentVariableA(kPlantedRun, NULL);
    ASSERT_TRUE(bRan);
    EXPECT_EQ(dwExit, 0u) << out;
    EXPECT_NE(out.find("[  PASSED  ] 1 test."), std::string::npos) << out;
}

} // namespace
