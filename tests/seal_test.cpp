// The seal of a setup end to end: real setups built by setuptool.exe, one
// bit flipped in each region of the file, run under Wine. A damaged setup
// starts nothing it extracted and ends with 1620 after its box; one without
// a seal (built before it) installs as before; check says which is which.
// A big setup shows its progress window, whose Cancel ends the run with
// 1602, and shows none where nobody sees it.
#include "chinese_system.h"
#include "english_texts.h"
#include "hidden_desktop.h"
#include "log_lines.h"
#include "msgbox_watch.h"
#include "seal.h"
#include "setup_builder.h"
#include "test_dir.h"
#include "tool_run.h"

#include <gtest/gtest.h>
#include <string.h>

namespace
{

// check reads the shipped launchers, PE32 programs; the x64 twin's setups,
// built from its PE32+ launchers, are no setups it reports on.
const bool kChecksTheseSetups = sizeof(void*) == 4;

const char kDamagedLine[] = "ExtractPackage: the setup file is damaged: .*";
const char kDamagedBox[] = "This setup file is damaged. Please download it again.";
const std::string kUnshownBox =
    Literally(std::string("no interactive desktop, so this is not shown: ") + kDamagedBox);

uint32_t Le32(const std::string& s, size_t at)
{
    return (uint8_t)s[at] | (uint8_t)s[at + 1] << 8 | (uint8_t)s[at + 2] << 16 |
           (uint32_t)(uint8_t)s[at + 3] << 24;
}

struct Record {
    size_t at, cbName, cbData; // file offsets
};

// The records of a built setup, walked by their plain lengths.
std::vector<Record> Records(const std::string& setup)
{
    std::vector<Record> records;
    for (size_t at = PKG_OFFSET + PKG_MARKER_LEN; at + 8 <= setup.size();) {
        Record r = {at, Le32(setup, at), Le32(setup, at + 4)};
        records.push_back(r);
        at += 8 + r.cbName + r.cbData;
    }
    return records;
}

class SealTest : public TestDirFixture
{
  protected:
    void SetUp() override
    {
        TestDirFixture::SetUp();
        RemoveLogDir();
        ResetInstalledClient();
        RemoveWorkDirs();
        ASSERT_CHINESE_SYSTEM_IN_CHINESE_RUN();
        CreateDirectoryA(In("src").c_str(), NULL);
        ASSERT_TRUE(AddDemoPrograms(In("src")));
    }

    // A copy of the setup with one bit flipped at the offset.
    std::string Flipped(const std::string& setup, size_t at, const char* pszName)
    {
        std::string bytes = Read(setup);
        bytes[at] ^= 0x10;
        Write(pszName, bytes);
        return In(pszName);
    }

    // Nothing extracted was started: neither demo program left its record.
    void ExpectNothingStarted(const char* pszRecord = "KelvoSetup.record.txt")
    {
        EXPECT_FALSE(Exists(WorkFile(pszRecord))) << pszRecord;
        EXPECT_FALSE(Exists(WorkFile("dovRelsvc.record.txt")));
    }

    // The run on a desktop nobody sees: 1620, the box's text in the log.
    void ExpectRefused(const std::string& setup)
    {
        RemoveLogDir();
        RemoveWorkDirs();
        EXPECT_EQ(RunSetup(setup, HiddenDesktop()), 1620u);
        ExpectNothingStarted();
        EXPECT_TRUE(LogHasInOrder({kDamagedLine, kUnshownBox, "install failed with Err 1620\\.",
                                   InstallFailedLine(1620)}));
        if (!kChecksTheseSetups)
            return;
        ToolRun check = Tool("check \"" + setup + "\"");
        EXPECT_EQ(check.dwExit, 1u) << check.out;
        EXPECT_TRUE(
            OutputHasInOrder(check.out, {"seal: does not match .*", "verdict: do not publish"}))
            << check.out;
    }
};

// One bit flipped in each part of the file: the header, a record's lengths,
// a name, the data of the first and the last record, the end record, the
// seal itself and the last byte. Whatever the walk then meets (a header it
// does not know, a record that overruns, a name refused, or files that
// extract), the setup is refused and nothing it extracted is started.
TEST_F(SealTest, OneFlippedBitAnywhereIsRefusedWith1620AndStartsNothing)
{
    std::string setup = BuildSetup(In("src"), "setup.exe", In("setup.exe"));
    ASSERT_FALSE(setup.empty());
    std::string bytes = Read("setup.exe");
    std::vector<Record> records = Records(bytes);
    ASSERT_GE(records.size(), 3u);
    const Record& first = records.front();
    const Record& last = records[records.size() - 2]; // before the end record
    const struct {
        const char* pszRegion;
        size_t at;
    } kRegions[] = {
        {"the header", PKG_OFFSET + 3},
        {"a data length", first.at + 4},
        {"a name", first.at + 8},
        {"the first data", first.at + 8 + first.cbName + first.cbData / 2},
        {"the last data", last.at + 8 + last.cbName + last.cbData - 1},
        {"the end record", records.back().at + 9},
        {"the seal", PKG_SEAL_AT + 24},
        {"the last byte", bytes.size() - 1},
    };
    for (const auto& region : kRegions) {
        SCOPED_TRACE(region.pszRegion);
        ExpectRefused(Flipped("setup.exe", region.at, "flipped.exe"));
    }
}

// A download cut short: refused before anything is extracted.
TEST_F(SealTest, ASetupCutShortIsRefusedBeforeItExtracts)
{
    ASSERT_FALSE(BuildSetup(In("src"), "setup.exe", In("setup.exe")).empty());
    std::string bytes = Read("setup.exe");
    Write("cut.exe", bytes.substr(0, bytes.size() - 1));
    ExpectRefused(In("cut.exe"));
    EXPECT_FALSE(Exists(WorkFile("KelvoSetup.exe")));
    EXPECT_TRUE(LogHasInOrder({"ExtractPackage: the setup file is damaged: its package is \\d+ "
                               "bytes, its seal says \\d+\\."}));
}

// Every setup built before the seal has zero bytes there: it installs as it
// always did, says so in the log, and check warns of it.
TEST_F(SealTest, ASetupWithoutASealStillInstalls)
{
    ASSERT_FALSE(BuildSetup(In("src"), "setup.exe", In("setup.exe")).empty());
    EXPECT_EQ(RunSetup(In("setup.exe")), 0u);
    EXPECT_TRUE(LogHasInOrder({kSealMatchesLine, "is-stp ended at \\d+\\."}));

    std::string bytes = Read("setup.exe");
    bytes.replace(PKG_SEAL_AT, PKG_SEAL_SIZE, PKG_SEAL_SIZE, '\0');
    Write("old.exe", bytes);
    RemoveLogDir();
    EXPECT_EQ(RunSetup(In("old.exe")), 0u);
    EXPECT_TRUE(LogHasInOrder(
        {"ExtractPackage: this setup carries no seal, so a damaged copy cannot be told\\.",
         "is-stp ended at \\d+\\."}));
    EXPECT_TRUE(Exists(WorkFile("KelvoSetup.record.txt")));
    if (!kChecksTheseSetups)
        return;
    ToolRun check = Tool("check " + In("old.exe"));
    EXPECT_EQ(check.dwExit, 0u) << check.out;
    EXPECT_TRUE(
        OutputHasInOrder(check.out, {"seal: none \\(a damaged copy of this setup would install\\)",
                                     "verdict: ready to publish"}))
        << check.out;
}

// setup-lite checks the seal too, with its own unpacker.
TEST_F(SealTest, ADamagedSetupLiteIsRefused)
{
    ASSERT_TRUE(AddProgram(In("src"), "KelvoRegister.exe"));
    ASSERT_FALSE(BuildSetup(In("src"), "setup-lite.exe", In("lite.exe"), false).empty());
    std::string bytes = Read("lite.exe");
    EXPECT_EQ(RunSetup(Flipped("lite.exe", bytes.size() - 1, "flipped.exe"), HiddenDesktop()),
              1620u);
    ExpectNothingStarted("KelvoRegister.record.txt");
    EXPECT_TRUE(LogHasInOrder({kDamagedLine, kUnshownBox, InstallFailedLine(1620)}));
}

// On a desktop the user sees, the box says it, in the system's language.
TEST_F(SealTest, TheBoxOfADamagedSetupTellsTheUserToDownloadItAgain)
{
    ASSERT_FALSE(BuildSetup(In("src"), "setup.exe", In("setup.exe")).empty());
    std::string damaged = Flipped("setup.exe", PKG_OFFSET + 100, "flipped.exe");
    bool bChinese = ChineseSystem();
    std::string caption = bChinese ? GbkBytes(kGbkSetupCaption) : kEnglishCaption;
    std::string text =
        bChinese ? GbkBytes("b4cbb0b2d7b0cec4bcfed2d1cbf0bbb5a3acc7ebd6d8d0c2cfc2d4d8a1a3")
                 : kDamagedBox;
    PROCESS_INFORMATION pi;
    ASSERT_TRUE(StartProgram(damaged, "", &pi));
    MessageBoxSeen seen;
    EXPECT_TRUE(WatchMessageBox(caption.c_str(), pi.dwProcessId, 20000, &seen));
    EXPECT_EQ(ToHex(seen.text), ToHex(text));
    DWORD dwExit = 0;
    EXPECT_TRUE(WaitProgram(&pi, 60000, &dwExit));
    EXPECT_EQ(dwExit, 1620u);
    ExpectNothingStarted();
}

// A setup whose extraction takes seconds: 1 GiB of zero bytes, made
// without writing them (a file set to its length).
class ProgressTest : public SealTest
{
  protected:
    static void SetUpTestSuite()
    {
        std::string src = FreshTestDir("ProgressSetup");
        HANDLE h = CreateFileA((src + "\\big.bin").c_str(), GENERIC_WRITE, 0, NULL, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, NULL);
        LARGE_INTEGER size;
        size.QuadPart = 1ll << 30;
        bool bSized = h != INVALID_HANDLE_VALUE && SetFilePointerEx(h, size, NULL, FILE_BEGIN) &&
                      SetEndOfFile(h);
        CloseHandle(h);
        if (bSized && AddDemoPrograms(src))
            s_setup = BuildSetup(src, "setup.exe", src + "\\big-setup.exe");
        DeleteFileA((src + "\\big.bin").c_str());
    }
    static void TearDownTestSuite()
    {
        DeleteFileA(s_setup.c_str());
        RemoveWorkDirs();
    }
    void SetUp() override
    {
        SealTest::SetUp();
        ASSERT_FALSE(s_setup.empty());
    }
    static std::string s_setup;
};
std::string ProgressTest::s_setup;

TEST_F(ProgressTest, ABigSetupShowsItsProgressAndCancelStartsNothing)
{
    bool bChinese = ChineseSystem();
    std::string caption = bChinese ? GbkBytes(kGbkSetupCaption) : kEnglishCaption;
    std::string text = bChinese ? GbkBytes("d5fdd4dabde2d1b9b0b2d7b0cec4bcfe2e2e2e20")
                                : "Extracting setup files... ";
    PROCESS_INFORMATION pi;
    ASSERT_TRUE(StartProgram(s_setup, "", &pi));
    MessageBoxSeen seen;
    HWND hWnd = FindMessageBox(caption.c_str(), pi.dwProcessId, 20000, &seen);
    ASSERT_NE(hWnd, nullptr) << "no progress window";
    char szText[128] = "";
    GetDlgItemTextA(hWnd, 1011, szText, sizeof szText);
    EXPECT_EQ(ToHex(std::string(szText).substr(0, text.size())), ToHex(text)) << szText;
    EXPECT_NE(strstr(szText, " %"), nullptr) << szText;
    PressButton(hWnd, IDCANCEL);
    DWORD dwExit = 0;
    EXPECT_TRUE(WaitProgram(&pi, 60000, &dwExit));
    EXPECT_EQ(dwExit, 1602u);
    ExpectNothingStarted();
    EXPECT_TRUE(
        LogHasInOrder({"ExtractPackage: the progress window is shown\\.",
                       "ExtractPackage: the extraction was cancelled in its progress window\\.",
                       "exit code 1602: the extraction was cancelled in its progress window\\."}));
}

// Nobody sees a window of a deployment agent's: the extraction runs to its
// end without one.
TEST_F(ProgressTest, NoWindowWithoutAnInteractiveDesktop)
{
    EXPECT_EQ(RunSetup(s_setup, HiddenDesktop()), 0u);
    EXPECT_TRUE(LogHasInOrder({kSealMatchesLine, "is-stp ended at \\d+\\."}));
    EXPECT_EQ(ReadOr(TodaySetupLogPath()).find("the progress window is shown"), std::string::npos);
}

} // namespace
