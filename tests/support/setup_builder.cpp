#include "setup_builder.h"
#include "test_env.h"
#include "tool_run.h"

#include <gtest/gtest.h>

bool AddProgram(const std::string& dir, const char* pszName)
{
    return CopyFileA(BinPath(pszName).c_str(), (dir + "\\" + pszName).c_str(), FALSE) != 0;
}

bool AddFile(const std::string& dir, const char* pszName, const std::string& contents)
{
    return WriteWholeFile(dir + "\\" + pszName, contents);
}

bool AddForeignProgram(const std::string& dir, const char* pszName)
{
    std::string image;
    if (!ReadWholeFile(BinPath("standin.exe"), &image) || image.size() < 0x40)
        return false;
    size_t nNt = *(const DWORD*)(image.data() + 0x3C);
    if (nNt + 6 > image.size())
        return false;
    *(WORD*)&image[nNt + 4] = 0xAA64; // IMAGE_FILE_HEADER.Machine
    return WriteWholeFile(dir + "\\" + pszName, image);
}

bool AddDemoPrograms(const std::string& dir, int nInstallerMs, int nCompanionMs)
{
    return AddProgram(dir, "dovRelsvc.exe") && AddProgram(dir, "KelvoSetup.exe") &&
           AddFile(dir, "dovRelsvc.ini",
                   "[Demo]\r\nRunMs=" + std::to_string(nCompanionMs) + "\r\n") &&
           AddFile(dir, "KelvoSetup.ini",
                   "[Demo]\r\nRunMs=" + std::to_string(nInstallerMs) + "\r\n") &&
           AddFile(dir, "KelvoClient.ini", "[Client]\r\nServer=test\r\n");
}

std::string BuildSetup(const std::string& srcDir, const char* pszLauncher,
                       const std::string& outPath, bool bEnd)
{
    std::string package = outPath + ".pkg";
    std::string args = "pack \"" + package + "\"";
    WIN32_FIND_DATAA fd;
    HANDLE hFind = FindFirstFileA((srcDir + "\\*").c_str(), &fd);
    if (hFind != INVALID_HANDLE_VALUE) {
        do {
            if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                args += " \"" + srcDir + "\\" + fd.cFileName + "\"";
        } while (FindNextFileA(hFind, &fd));
        FindClose(hFind);
    }
    ToolRun pack = Tool(args + (bEnd ? " --end" : ""));
    EXPECT_EQ(pack.dwExit, 0u) << pack.out;
    ToolRun build =
        Tool("build \"" + BinPath(pszLauncher) + "\" \"" + package + "\" \"" + outPath + "\"");
    EXPECT_EQ(build.dwExit, 0u) << build.out;
    return pack.dwExit == 0 && build.dwExit == 0 ? outPath : "";
}

DWORD RunSetup(const std::string& setup, const char* pszDesktop)
{
    PROCESS_INFORMATION pi;
    DWORD dwExit = 99;
    if (!StartProgram(setup, "", &pi, pszDesktop)) {
        ADD_FAILURE() << setup << " did not start, error " << GetLastError();
        return dwExit;
    }
    EXPECT_TRUE(WaitProgram(&pi, 120000, &dwExit)) << setup << " did not end";
    return dwExit;
}
