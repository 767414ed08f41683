// The uninstall-password dialog end to end: a real setup.exe upgrading a
// protected client in the prefix, its dialog found on the test display,
// typed into and answered like a user would, and what the run did after.
#include "chinese_system.h"
#include "des_text.h"
#include "file_util.h"
#include "hidden_desktop.h"
#include "log_lines.h"
#include "machine_registry.h"
#include "msgbox_watch.h"
#include "setup_builder.h"
#include "test_dir.h"

#include <gtest/gtest.h>
#include <functional>

namespace
{

const char kRightPassword[] = "Kelvo-Right-Password-0123456789x"; // 32 characters
const char kNotGivenLine[] =
    "exit code 1602: the password dialog ended without the right password\\.";
const int kEdit = 1001, kErrorLine = 1002, kPrompt = -1; // an extended template keeps -1 whole

struct Texts {
    std::string caption, prompt, ok, cancel, wrong, boxText, boxCaption;
};

Texts English()
{
    return {"Uninstall Password",
            "The client is protected by a password. Please input the password to proceed with "
            "the client upgrade.",
            "OK",
            "Cancel",
            "Wrong password. Please try again:",
            "You have input wrong passwords for the maximum number of times. The installation "
            "wizard is about to abort...",
            "Wrong Password"};
}

// The same texts as GBK bytes (iconv -t GBK).
Texts Chinese()
{
    Texts t;
    FromHex("d0b6d4d8c3dcc2eb", &t.caption);
    FromHex(
        "d2d1b0b2d7b0b5c4bfcdbba7b6cbcadcc3dcc2ebb1a3bba4a3acd0e8d2aacae4c8ebd0b6d4d8c3dcc2ebb2c5"
        "c4dcbdf8d0d0c9fdbcb6a1a3c7ebcae4c8ebc3dcc2eba3ba",
        &t.prompt);
    FromHex("c8b7b6a8", &t.ok);
    FromHex("c8a1cffb", &t.cancel);
    FromHex("c3dcc2ebb4edcef3a3acc7ebd6d8d0c2cae4c8eba3ba", &t.wrong);
    FromHex(
        "b3acb9fdd7eeb4f3c3dcc2ebb4edcef3d6d8cad4b4cecafda3acb0b2d7b0b3ccd0f2bcb4bdabcdcbb3f6a1a3",
        &t.boxText);
    FromHex("c3dcc2ebb4edcef3", &t.boxCaption);
    return t;
}

std::string Text(HWND hDlg, int nId)
{
    char sz[512] = "";
    GetDlgItemTextA(hDlg, nId, sz, sizeof sz);
    return sz;
}

bool WaitFor(const std::function<bool()>& done, DWORD dwTimeoutMs = 10000)
{
    for (DWORD dwStart = GetTickCount(); GetTickCount() - dwStart < dwTimeoutMs; Sleep(50)) {
        if (done())
            return true;
    }
    return done();
}

class PasswordDialogTest : public TestDirFixture
{
  protected:
    void SetUp() override
    {
        TestDirFixture::SetUp();
        RemoveLogDir();
        ResetInstalledClient();
        RemoveWorkDirs();
        CreateDirectoryA(In("src").c_str(), NULL);
        ASSERT_TRUE(AddDemoPrograms(In("src")));
        setup = BuildSetup(In("src"), "setup.exe", In("setup.exe"));
        ASSERT_FALSE(setup.empty());
        Protect(kRightPassword);
        ASSERT_CHINESE_SYSTEM_IN_CHINESE_RUN();
        texts = GetSystemDefaultLangID() == 2052 ? Chinese() : English();
    }
    void TearDown() override
    {
        ResetInstalledClient();
    }

    // A protected, installed client: flag and stored password in the registry.
    void Protect(const char* pszPassword)
    {
        char szStored[129] = "";
        ASSERT_EQ(utl_DesEncryptText(szStored, 128, (const uint8_t*)pszPassword,
                                     (uint32_t)strlen(pszPassword)),
                  DES_TEXT_OK);
        ASSERT_TRUE(SetMachineDword(CLIENT_REG_KEY, CLIENT_PROTECTED_VALUE, 1));
        ASSERT_TRUE(SetMachineString(CLIENT_REG_KEY, CLIENT_PASSWORD_VALUE, szStored));
        ASSERT_TRUE(SetMachineString(CLIENT_UNINSTALL_KEY, "DisplayVersion", "5.0.100.1"));
    }

    HWND StartAndFindDialog()
    {
        EXPECT_TRUE(StartProgram(setup, "", &pi));
        MessageBoxSeen seen;
        HWND hDlg = FindMessageBox(texts.caption.c_str(), pi.dwProcessId, 20000, &seen);
        EXPECT_NE(hDlg, nullptr) << "no password dialog";
        return hDlg;
    }

    // Types a wrong password and waits for the dialog to ask again.
    void EnterWrong(HWND hDlg, const char* pszPassword)
    {
        TypeText(GetDlgItem(hDlg, kEdit), pszPassword);
        PressButton(hDlg, IDOK);
        EXPECT_TRUE(WaitFor([&] { return Text(hDlg, kErrorLine) == texts.wrong; }))
            << ToHex(Text(hDlg, kErrorLine));
        EXPECT_TRUE(IsWindowVisible(GetDlgItem(hDlg, kErrorLine)));
        EXPECT_EQ(Text(hDlg, kPrompt), "");
    }

    DWORD WaitForSetup()
    {
        DWORD dwExit = 99;
        EXPECT_TRUE(WaitProgram(&pi, 60000, &dwExit)) << "setup.exe did not end";
        return dwExit;
    }

    bool Extracted() const
    {
        return GetFileAttributesA(WorkFile("KelvoSetup.exe").c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    std::string setup;
    Texts texts;
    PROCESS_INFORMATION pi = {};
};

// The dialog as it opens: its texts in the system's language, the error line
// hidden, centred on the desktop and on top of other windows.
void ExpectFreshDialog(HWND hDlg, const Texts& texts)
{
    char szCaption[128] = "";
    GetWindowTextA(hDlg, szCaption, sizeof szCaption);
    EXPECT_EQ(ToHex(szCaption), ToHex(texts.caption));
    EXPECT_EQ(ToHex(Text(hDlg, kPrompt)), ToHex(texts.prompt));
    EXPECT_EQ(ToHex(Text(hDlg, IDOK)), ToHex(texts.ok));
    EXPECT_EQ(ToHex(Text(hDlg, IDCANCEL)), ToHex(texts.cancel));
    EXPECT_FALSE(IsWindowVisible(GetDlgItem(hDlg, kErrorLine)));
    EXPECT_TRUE(GetWindowLongA(hDlg, GWL_EXSTYLE) & WS_EX_TOPMOST);
    RECT desktop, dialog;
    GetWindowRect(GetDesktopWindow(), &desktop);
    GetWindowRect(hDlg, &dialog);
    EXPECT_NEAR(dialog.left, (desktop.right - (dialog.right - dialog.left)) / 2, 1);
    EXPECT_NEAR(dialog.top, (desktop.bottom - (dialog.bottom - dialog.top)) / 2, 1);
}

TEST_F(PasswordDialogTest, RightPasswordAtTheThirdAttemptLetsTheUpgradeRun)
{
    HWND hDlg = StartAndFindDialog();
    ASSERT_NE(hDlg, nullptr);
    ExpectFreshDialog(hDlg, texts);
    EnterWrong(hDlg, "not it");
    EnterWrong(hDlg, "");
    // Typed past the 32-character limit: only the first 32 arrive, and those
    // are the password.
    TypeText(GetDlgItem(hDlg, kEdit), std::string(kRightPassword) + "overflow");
    PressButton(hDlg, IDOK);

    EXPECT_EQ(WaitForSetup(), 0u);
    EXPECT_TRUE(Extracted());
    EXPECT_TRUE(LogHasInOrder({"g_bExit = TRUE;", "Begin UnpackAndSetup", "is-stp ended at .*",
                               "Exit main", "exit code 0: .*"}));
}

// While the dialog waits, a user renames the running setup (Windows lets
// whoever may delete a running program's file rename it) and puts a setup of
// their own at its name. The launcher holds its file from its first step, so
// the rename fails, and what it unpacks is still the file that was started.
TEST_F(PasswordDialogTest, SetupFileCannotBeSwappedWhileTheDialogWaits)
{
    ASSERT_TRUE(CreateDirectoryA(In("planted").c_str(), NULL));
    ASSERT_TRUE(AddDemoPrograms(In("planted")));
    ASSERT_TRUE(AddFile(In("planted"), "planted.txt", "from a swapped-in setup"));
    std::string planted = BuildSetup(In("planted"), "setup.exe", In("planted.exe"));
    ASSERT_FALSE(planted.empty());
    HWND hDlg = StartAndFindDialog();
    ASSERT_NE(hDlg, nullptr);

    BOOL bRenamed = MoveFileA(setup.c_str(), In("genuine.exe").c_str());
    if (bRenamed)
        CopyFileA(planted.c_str(), setup.c_str(), FALSE);
    TypeText(GetDlgItem(hDlg, kEdit), kRightPassword);
    PressButton(hDlg, IDOK);
    EXPECT_EQ(WaitForSetup(), 0u);
    EXPECT_TRUE(Extracted());
    EXPECT_EQ(ReadOr(WorkFile("planted.txt")), "<missing>");
    EXPECT_FALSE(bRenamed) << "the running setup's file could be renamed while it waited";
}

TEST_F(PasswordDialogTest, ThirdWrongPasswordWarnsAndEndsTheRunWithoutExtracting)
{
    HWND hDlg = StartAndFindDialog();
    ASSERT_NE(hDlg, nullptr);
    ExpectFreshDialog(hDlg, texts);
    EnterWrong(hDlg, "first");
    EnterWrong(hDlg, "second");
    TypeText(GetDlgItem(hDlg, kEdit), "third");
    PressButton(hDlg, IDOK);

    MessageBoxSeen seen;
    HWND hBox = FindMessageBox(texts.boxCaption.c_str(), pi.dwProcessId, 10000, &seen);
    ASSERT_NE(hBox, nullptr) << "no warning box";
    EXPECT_EQ(ToHex(seen.text), ToHex(texts.boxText));
    EXPECT_EQ(GetWindow(hBox, GW_OWNER), hDlg) << "the box belongs to the dialog";
    PressOk(hBox);

    EXPECT_EQ(WaitForSetup(), 1602u);
    EXPECT_FALSE(Extracted());
    EXPECT_TRUE(LogHasInOrder({"Exit main", kNotGivenLine}));
    std::string log = ReadOr(TodaySetupLogPath());
    EXPECT_EQ(log.find("Begin UnpackAndSetup"), std::string::npos) << log;
    EXPECT_EQ(log.find("g_bExit"), std::string::npos) << log;
}

// Windows loads some libraries by name for a program's windows and for its
// run-time loads (the theme and composition libraries, the crypto provider
// the stack guard asks for) and would look beside the program first, where a
// download folder may hold planted copies; the launchers restrict the search
// at start. Wine 8 loads none of these from a program's directory for a
// message box or this dialog, restricted or not (tried with copies under all
// 532 names of its system directory), so under Wine the planted copies stay
// unloaded whatever the launcher does: the check proves something on
// Windows only. What shows the restriction under Wine is the run's
// DLL-search line, which every entry and lite test reads, and DllSearch in
// launcher_checks_test, in process.
TEST_F(PasswordDialogTest, CancelExtractsNothingAndPlantedDllsStayUnloadedAsWineLoadsNoneAnyway)
{
    ASSERT_TRUE(PlantDlls(dir));
    HWND hDlg = StartAndFindDialog();
    ASSERT_NE(hDlg, nullptr);
    PressButton(hDlg, IDCANCEL);
    EXPECT_EQ(WaitForSetup(), 1602u);
    EXPECT_FALSE(Extracted());
    EXPECT_TRUE(LogHasInOrder({"Exit main", kNotGivenLine}));
    EXPECT_EQ(ReadOr(TodaySetupLogPath()).find("Begin UnpackAndSetup"), std::string::npos);
    EXPECT_EQ(PlantedDllLoads(), "");
}

// Nobody can type the password where nobody sees the dialog: a deployment
// agent's run ends at once with a code of its own, and nothing is extracted.
TEST_F(PasswordDialogTest, WithoutADesktopAProtectedClientIsNotUpgraded)
{
    EXPECT_EQ(RunSetup(setup, HiddenDesktop()), 1625u);
    EXPECT_FALSE(Extracted());
    EXPECT_TRUE(LogHasInOrder({"no interactive desktop, so the password dialog is not shown\\.",
                               "Exit main",
                               "exit code 1625: the installed client is protected by a password, "
                               "which nobody can type without a desktop\\."}));
}

TEST_F(PasswordDialogTest, UnprotectedClientIsUpgradedWithoutAQuestion)
{
    ResetInstalledClient();
    ASSERT_TRUE(StartProgram(setup, "", &pi));
    EXPECT_EQ(WaitForSetup(), 0u);
    EXPECT_TRUE(Extracted());
    EXPECT_EQ(ReadOr(TodaySetupLogPath()).find("Begin UnpackAndSetup"), std::string::npos);
}

} // namespace
