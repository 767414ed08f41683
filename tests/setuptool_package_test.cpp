// setuptool as a release engineer runs it: the real program under Wine, on
// real files, its exit codes and what it prints.
#include "package.h"
#include "seal.h"
#include "xxh3.h"
#include "test_dir.h"
#include "tool_run.h"

#include <gtest/gtest.h>

namespace
{

class SetupToolTest : public TestDirFixture
{
  protected:
    void SetUp() override
    {
        TestDirFixture::SetUp();
        RemoveLogDir();
        CreateDirectoryA(In("src").c_str(), NULL);
    }
    std::string Q(const std::string& name) const
    {
        return "\"" + In(name) + "\"";
    }
};

// What each says: tool-messages-test.
TEST_F(SetupToolTest, WrongCommandLinesPrintTheUsageAndExitWith2)
{
    for (const char* pszArgs :
         {"", "frobnicate", "pack", "pack x.pkg", "build a b", "list", "list a --offset",
          "list a --offset -1", "list a --offset 0x", "list a --offset +5", "unpack a",
          "unpack a b --offset 12x", "unpack a b --bogus"}) {
        ToolRun run = Tool(pszArgs);
        EXPECT_EQ(run.dwExit, 2u) << pszArgs;
        EXPECT_TRUE(run.out.find("setuptool --help describes every command") != std::string::npos ||
                    run.out.find("usage: setuptool <command>") != std::string::npos)
            << pszArgs << "\n"
            << run.out;
    }
    ToolRun help = Tool("--help");
    EXPECT_EQ(help.dwExit, 0u);
    EXPECT_EQ(Tool("help").out, help.out);
    for (const char* pszWord : {"pack <package>", "build <launcher.exe>", "list <file>",
                                "unpack <file> <dir>", "--lite", "--end", "307200"})
        EXPECT_NE(help.out.find(pszWord), std::string::npos) << pszWord;
    // One command's part, asked either way; the version.
    ToolRun packHelp = Tool("pack --help");
    EXPECT_EQ(packHelp.dwExit, 0u);
    EXPECT_EQ(packHelp.out.find("usage: setuptool pack <package>"), 0u) << packHelp.out;
    EXPECT_EQ(packHelp.out.find("usage: setuptool list"), std::string::npos) << packHelp.out;
    EXPECT_EQ(Tool("help pack").out, packHelp.out);
    ToolRun version = Tool("--version");
    EXPECT_EQ(version.dwExit, 0u);
    EXPECT_EQ(version.out.find("setuptool 5."), 0u) << version.out;
}

TEST_F(SetupToolTest, PackBuildListAndUnpackASetup)
{
    std::string big(300000, '\0');
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = (char)(i * 7 + i / 251);
    ASSERT_TRUE(WriteWholeFile(In("src\\KelvoSetup.exe"), big));
    ASSERT_TRUE(WriteWholeFile(In("src\\empty.ini"), ""));
    ASSERT_TRUE(WriteWholeFile(In("src\\readme.txt"), "read me\r\n"));

    ToolRun pack = Tool("pack " + Q("p.pkg") + " " + Q("src\\KelvoSetup.exe") + " " +
                        Q("src\\empty.ini") + " " + Q("src\\readme.txt") + " --end");
    ASSERT_EQ(pack.dwExit, 0u) << pack.out;
    EXPECT_NE(pack.out.find("[4/4] ^Kelvo_end^"), std::string::npos) << pack.out;

    const std::string kListing = "KelvoSetup.exe\t300000\nempty.ini\t0\nreadme.txt\t9\n"
                                 "^Kelvo_end^\t0\t(end record)\n";
    ToolRun list = Tool("list " + Q("p.pkg"));
    EXPECT_EQ(list.dwExit, 0u);
    EXPECT_EQ(list.out, kListing);

    ToolRun build =
        Tool("build \"" + BinPath("setup.exe") + "\" " + Q("p.pkg") + " " + Q("setup.exe"));
    ASSERT_EQ(build.dwExit, 0u) << build.out;
    std::string launcher, package, setup = Read("setup.exe");
    ReadWholeFile(BinPath("setup.exe"), &launcher);
    ReadWholeFile(In("p.pkg"), &package);
    ASSERT_EQ(setup.size(), (size_t)PKG_OFFSET + package.size());
    EXPECT_EQ(setup.substr(0, launcher.size()), launcher);
    // Zero bytes, then the seal in the fill's last 64: the package's length
    // and its digest.
    EXPECT_EQ(setup.find_first_not_of('\0', launcher.size()), (size_t)PKG_SEAL_AT);
    PkgSeal seal = {(uint32_t)package.size(), xxh3_Of(package.data(), package.size())};
    uint8_t abSeal[PKG_SEAL_SIZE];
    pkg_MakeSeal(&seal, abSeal);
    EXPECT_EQ(ToHex(setup.substr(PKG_SEAL_AT, PKG_SEAL_SIZE)),
              ToHex(std::string((const char*)abSeal, PKG_SEAL_SIZE)));
    EXPECT_EQ(setup.substr(PKG_OFFSET), package);

    // list and unpack find the package behind the launcher by themselves.
    EXPECT_EQ(Tool("list " + Q("setup.exe")).out, kListing);
    ToolRun unpack = Tool("unpack " + Q("setup.exe") + " " + Q("out"));
    ASSERT_EQ(unpack.dwExit, 0u) << unpack.out;
    EXPECT_NE(unpack.out.find("[1] KelvoSetup.exe (300000 bytes)"), std::string::npos);
    EXPECT_EQ(Read("out\\KelvoSetup.exe"), big);
    EXPECT_EQ(Read("out\\empty.ini"), "");
    EXPECT_EQ(Read("out\\readme.txt"), "read me\r\n");

    // Offsets are decimal, leading zeros or not, or hexadecimal after 0x.
    EXPECT_EQ(Tool("list " + Q("setup.exe") + " --offset 0307200").out, kListing);
    EXPECT_EQ(Tool("list " + Q("setup.exe") + " --offset 0x4B000").out, kListing);
    ToolRun lite = Tool("unpack " + Q("setup.exe") + " " + Q("out-lite") + " --lite --offset " +
                        std::to_string(PKG_OFFSET));
    ASSERT_EQ(lite.dwExit, 0u) << lite.out;
    EXPECT_EQ(Read("out-lite\\readme.txt"), "read me\r\n");
    EXPECT_EQ(Read("out-lite\\^Kelvo_end^"), "");
}

TEST_F(SetupToolTest, FailuresNameTheErrorAndExitWith1)
{
    ASSERT_TRUE(WriteWholeFile(In("src\\a.txt"), "A"));
    ASSERT_TRUE(WriteWholeFile(In("src\\" + std::string(65, 'n')), "x"));
    ASSERT_TRUE(WriteWholeFile(In("toobig.exe"), std::string(PKG_SEAL_AT + 1, 'M')));
    std::string launcher; // padded to the whole of its room before the seal
    ASSERT_TRUE(ReadWholeFile(BinPath("setup.exe"), &launcher));
    launcher.resize(PKG_SEAL_AT, '\0');
    ASSERT_TRUE(WriteWholeFile(In("fits.exe"), launcher));
    ASSERT_EQ(Tool("pack " + Q("p.pkg") + " " + Q("src\\a.txt")).dwExit, 0u);
    std::string package = Read("p.pkg");
    ASSERT_TRUE(WriteWholeFile(In("cut.pkg"), package.substr(0, package.size() - 1)));
    // A destination prepared with a second name of another file. (Wine shows
    // a symbolic link to a file as the file itself, so only the hard link is
    // tried here; on Windows a symbolic link is refused too.)
    ASSERT_TRUE(WriteWholeFile(In("outside.txt"), "untouched"));
    ASSERT_TRUE(CreateDirectoryA(In("linked").c_str(), NULL));
    ASSERT_TRUE(CreateHardLinkA(In("linked\\a.txt").c_str(), In("outside.txt").c_str(), NULL));

    struct {
        std::string args;
        const char* pszSays;
    } const kCases[] = {
        {"pack " + Q("q.pkg") + " " + Q("src\\missing.txt"), "error 152: "},
        {"pack " + Q("q.pkg") + " " + Q("src\\" + std::string(65, 'n')), "64 at most"},
        {"pack " + Q("q.pkg") + " " + Q("src\\a.txt") + " " + Q("src\\A.TXT"), "has the name of"},
        {"build " + Q("toobig.exe") + " " + Q("p.pkg") + " " + Q("s.exe"),
         "must fit in 307136, before the seal"},
        {"build " + Q("fits.exe") + " " + Q("src\\a.txt") + " " + Q("s.exe"), "not a package"},
        {"list " + Q("cut.pkg"), "error 163: a record runs past the end of the package"},
        {"unpack " + Q("cut.pkg") + " " + Q("out"), "error 163: "},
        {"unpack " + Q("p.pkg") + " " + Q("out") + " --offset 3", "error 160: "},
        {"unpack " + Q("p.pkg") + " " + Q("linked"), "error 165: "},
    };
    for (const auto& c : kCases) {
        ToolRun run = Tool(c.args);
        EXPECT_EQ(run.dwExit, 1u) << c.args << "\n" << run.out;
        EXPECT_NE(run.out.find(c.pszSays), std::string::npos) << c.args << "\n" << run.out;
    }
    EXPECT_EQ(ReadOr(In("q.pkg")), "<missing>") << "a refused name is refused before packing";
    EXPECT_EQ(ReadOr(In("s.exe")), "<missing>");
    EXPECT_EQ(Read("outside.txt"), "untouched") << "unpack wrote through a link";

    // An image that ends where the seal begins needs no padding and is
    // accepted.
    ToolRun fits = Tool("build " + Q("fits.exe") + " " + Q("p.pkg") + " " + Q("s.exe"));
    EXPECT_EQ(fits.dwExit, 0u) << fits.out;
    EXPECT_EQ(Read("s.exe").size(), PKG_OFFSET + package.size());
}

// Nothing is written before every source is known to be a file that opens,
// and a package or setup is put in place only when complete: a failure leaves
// an existing one exactly as it was, and nothing else beside it.
TEST_F(SetupToolTest, FailedPackOrBuildLeavesTheExistingFileAlone)
{
    ASSERT_TRUE(WriteWholeFile(In("src\\a.txt"), std::string(1000, 'a')));
    ASSERT_EQ(Tool("pack " + Q("p.pkg") + " " + Q("src\\a.txt") + " --end").dwExit, 0u);
    ASSERT_EQ(
        Tool("build \"" + BinPath("setup.exe") + "\" " + Q("p.pkg") + " " + Q("s.exe")).dwExit, 0u);
    const std::string package = Read("p.pkg"), setup = Read("s.exe");

    struct {
        std::string args;
        std::string says;
    } const kCases[] = {
        {"pack " + Q("p.pkg") + " " + Q("src\\a.txt") + " " + Q("src\\nope.bin"),
         In("src\\nope.bin") + "\": error 152: no file is there"},
        {"pack " + Q("p.pkg") + " " + Q("src\\a.txt") + " " + Q("src"),
         In("src") + "\" is a folder, not a file"},
        {"pack " + Q("src") + " " + Q("src\\a.txt"), In("src") + "\" is a folder"},
        {"build \"" + BinPath("setup.exe") + "\" " + Q("src\\a.txt") + " " + Q("s.exe"),
         "is not a package"},
        {"build \"" + BinPath("setup.exe") + "\" " + Q("p.pkg") + " " + Q("src"),
         In("src") + "\" is a folder: name the setup file"},
    };
    for (const auto& c : kCases) {
        ToolRun run = Tool(c.args);
        EXPECT_EQ(run.dwExit, 1u) << c.args << "\n" << run.out;
        EXPECT_NE(run.out.find(c.says), std::string::npos) << c.args << "\n" << run.out;
    }
    EXPECT_EQ(Read("p.pkg"), package);
    EXPECT_EQ(Read("s.exe"), setup);
    WIN32_FIND_DATAA fd;
    HANDLE hFind = FindFirstFileA(In("*.tmp").c_str(), &fd);
    EXPECT_EQ(hFind, INVALID_HANDLE_VALUE) << fd.cFileName;
    if (hFind != INVALID_HANDLE_VALUE)
        FindClose(hFind);
}

// The release check on unsigned setups: it passes only what installs, with
// the programs its launcher starts where that launcher's unpacker finds
// them. (Signed setups: signed-setup-test.)
class SetupToolCheck : public SetupToolTest
{
  protected:
    // A package of the files given (names in src), with an end record when
    // the last is "--end", behind the shipped launcher: check wants PE32
    // programs, which the x64 twin's own launchers are not.
    void Build(const char* pszSetup, const char* pszLauncher, std::string files)
    {
        std::string args;
        for (size_t pos = 0; pos < files.size();) {
            size_t end = files.find(' ', pos);
            std::string name = files.substr(pos, end - pos);
            args += " " + (name == "--end" ? name : Q("src\\" + name));
            pos = end == std::string::npos ? files.size() : end + 1;
        }
        std::string pkg = std::string(pszSetup) + ".pkg";
        ToolRun pack = Tool("pack " + Q(pkg) + args);
        ASSERT_EQ(pack.dwExit, 0u) << pack.out;
        ASSERT_EQ(Tool("build \"" + ShippedBinPath(pszLauncher) + "\" " + Q(pkg) + " " +
                       Q(std::string(pszSetup) + ".exe"))
                      .dwExit,
                  0u);
    }
};

TEST_F(SetupToolCheck, PassesOnlySetupsWhoseLauncherFindsItsPrograms)
{
    ASSERT_TRUE(WriteWholeFile(In("src\\KelvoSetup.exe"), std::string(5000, 'K')));
    ASSERT_TRUE(WriteWholeFile(In("src\\dovRelsvc.exe"), std::string(3000, 'D')));
    ASSERT_TRUE(WriteWholeFile(In("src\\KelvoRegister.exe"), std::string(2000, 'R')));
    ASSERT_TRUE(WriteWholeFile(In("src\\data.ini"), "x"));
    Build("full", "setup.exe", "dovRelsvc.exe KelvoSetup.exe --end");
    Build("open", "setup.exe", "dovRelsvc.exe KelvoSetup.exe data.ini");
    Build("no-companion", "setup.exe", "KelvoSetup.exe data.ini --end");
    Build("no-installer", "setup.exe", "dovRelsvc.exe --end");
    Build("end-only", "setup.exe", "--end");
    Build("lite", "setup-lite.exe", "KelvoRegister.exe KelvoSetup.exe");
    Build("lite-no-tool", "setup-lite.exe", "KelvoSetup.exe");
    Build("lite-no-installer", "setup-lite.exe", "KelvoRegister.exe");
    Build("lite-end", "setup-lite.exe", "KelvoSetup.exe --end");
    Build("tail", "setup.exe", "dovRelsvc.exe data.ini");
    // What a glob over an unpacked setup made before pack refused the end
    // record's file: the companion behind it.
    Build("head", "setup.exe", "KelvoSetup.exe --end");
    std::string head = Read("head.exe"), tail = Read("tail.pkg");
    ASSERT_TRUE(WriteWholeFile(In("behind.exe"), head + tail.substr(PKG_MARKER_LEN)));
    std::string full = Read("full.exe"), tampered = full;
    tampered[PKG_OFFSET + PKG_MARKER_LEN + 6] ^= 0x40; // the first record's data length, 4 MiB more
    ASSERT_TRUE(WriteWholeFile(In("cut.exe"), full.substr(0, full.size() - 1)));
    ASSERT_TRUE(WriteWholeFile(In("padded.exe"), full + std::string(512, '\0')));
    ASSERT_TRUE(WriteWholeFile(In("open-padded.exe"), Read("open.exe") + std::string(512, '\0')));
    ASSERT_TRUE(WriteWholeFile(In("tampered.exe"), tampered));
    ASSERT_TRUE(WriteWholeFile(In("notpe.exe"), std::string(PKG_OFFSET + 100, 'x')));

    const char kCompanionMissing[] =
        "missing: dovRelsvc.exe (the companion, which setup starts first): every run would stop "
        "with error 355";
    const char kInstallerMissing[] =
        "missing: KelvoSetup.exe (the inner installer): every run would stop with error 356";
    struct {
        const char* pszFile;
        DWORD dwExit;
        const char* pszSays;
    } const kCases[] = {
        {"full.exe", 0, "launcher: setup, a PE32 Windows GUI program; image "},
        {"full.exe", 0,
         "version block: 5.1.301.1\npackage at 307200:\n  dovRelsvc.exe\t3000\n"
         "  KelvoSetup.exe\t5000\n  ^Kelvo_end^\t0\t(end record)\nrecords: 3\nend record: yes\n"
         "signature: none\nseal: matches\nprogram: dovRelsvc.exe, 3000 bytes: the companion, "
         "which setup starts "
         "first\nprogram: KelvoSetup.exe, 5000 bytes: the inner installer\n"
         "verdict: ready to publish\n"},
        {"open.exe", 0, "end record: no\nsignature: none\nseal: matches\nprogram: dovRelsvc.exe"},
        {"no-companion.exe", 1, kCompanionMissing},
        {"no-installer.exe", 1, kInstallerMissing},
        {"end-only.exe", 1, kCompanionMissing},
        {"end-only.exe", 1, kInstallerMissing},
        {"behind.exe", 1,
         "missing: dovRelsvc.exe (the companion, which setup starts first) lies behind the end "
         "record, where the setup unpacker stops: every run would stop with error 355"},
        {"lite.exe", 0, "program: KelvoRegister.exe, 2000 bytes: the registration tool"},
        {"lite-no-tool.exe", 0,
         "warning: no KelvoRegister.exe (the registration tool, which setup-lite starts first "
         "where no client is installed yet): a run on a PC without the client would stop with "
         "error 355\nprogram: KelvoSetup.exe, 5000 bytes"},
        {"lite-no-installer.exe", 1, kInstallerMissing},
        // setup-lite makes a file of a record named like the end record.
        {"lite-end.exe", 0, "  ^Kelvo_end^\t0\nrecords: 2\nend record: no\n"},
        // Bytes behind the package, even zero bytes that no unpacker reads,
        // make a file other than the one built.
        {"padded.exe", 1, "seal: does not match (the package is "},
        {"open-padded.exe", 1, "package: error 165: "},
        {"cut.exe", 1, "package: error 163: "},
        {"cut.exe", 1, "seal: does not match (the package is "},
        {"tampered.exe", 1, "seal: does not match (the package's XXH3 is "},
        {"tampered.exe", 1, "package: error 163: "},
        {"notpe.exe", 1, "launcher: not a Windows program"},
    };
    for (const auto& c : kCases) {
        ToolRun run = Tool("check " + Q(c.pszFile));
        EXPECT_EQ(run.dwExit, c.dwExit) << c.pszFile << "\n" << run.out;
        EXPECT_NE(run.out.find(c.pszSays), std::string::npos) << c.pszFile << "\n" << run.out;
        EXPECT_NE(run.out.find(c.dwExit ? "verdict: do not publish" : "verdict: ready to publish"),
                  std::string::npos)
            << c.pszFile;
    }
    ToolRun bare = Tool("check \"" + ShippedBinPath("setup.exe") + "\"");
    EXPECT_EQ(bare.dwExit, 1u);
    EXPECT_NE(bare.out.find("package: none behind the image"), std::string::npos) << bare.out;
}

// A source whose size is not what it holds: pack measures the file it
// opened and copies exactly that, and a file that grows or shrinks
// meanwhile fails with 155 and leaves no package, an existing one as it was.
// Under Wine, Linux's own files show both: /proc's report size 0 and hold
// more, /sys's report 4096 bytes and end early. Windows has no such files
// and the seam of the native tests shows it there.
TEST_F(SetupToolTest, ASourceThatChangesWhilePackedFailsAndLeavesNoPackage)
{
    if (!RunningOnWine())
        GTEST_SKIP() << "needs Linux's /proc and /sys under Wine's Z:";
    ASSERT_TRUE(WriteWholeFile(In("src\\a.txt"), "A"));
    ASSERT_EQ(Tool("pack " + Q("p.pkg") + " " + Q("src\\a.txt")).dwExit, 0u);
    const std::string package = Read("p.pkg");
    for (const char* pszSource :
         {"Z:\\proc\\self\\status", "Z:\\sys\\kernel\\mm\\transparent_hugepage\\enabled"}) {
        ToolRun run = Tool("pack " + Q("p.pkg") + " " + Q("src\\a.txt") + " \"" + pszSource + "\"");
        EXPECT_EQ(run.dwExit, 1u) << run.out;
        EXPECT_NE(
            run.out.find(std::string(pszSource) + "\" changed while it was packed: error 155"),
            std::string::npos)
            << run.out;
        ToolRun fresh = Tool("pack " + Q("q.pkg") + " \"" + pszSource + "\"");
        EXPECT_EQ(fresh.dwExit, 1u) << fresh.out;
    }
    EXPECT_EQ(Read("p.pkg"), package);
    EXPECT_EQ(ReadOr(In("q.pkg")), "<missing>");
}

// --codepage names the code page a package's names are stored and read in;
// an ASCII name is the same in every one. (Non-ASCII names need a UTF-8
// command line, which the agreement test gives.)
TEST_F(SetupToolTest, CodePageOptionTakesOnly1252And936)
{
    ASSERT_TRUE(WriteWholeFile(In("src\\a.txt"), "A"));
    ASSERT_EQ(Tool("pack " + Q("p.pkg") + " " + Q("src\\a.txt") + " --end").dwExit, 0u);
    const std::string package = Read("p.pkg");
    for (const char* pszPage : {"1252", "936"}) {
        ToolRun run = Tool("pack " + Q("q.pkg") + " " + Q("src\\a.txt") + " --codepage " + pszPage +
                           " --end");
        EXPECT_EQ(run.dwExit, 0u) << run.out;
        EXPECT_EQ(Read("q.pkg"), package) << pszPage;
        EXPECT_EQ(Tool("list " + Q("q.pkg") + " --codepage " + pszPage).out,
                  "a.txt\t1\n^Kelvo_end^\t0\t(end record)\n");
    }
    for (const char* pszArgs : {"pack x.pkg a --codepage 65001", "list x.pkg --codepage",
                                "unpack x.pkg d --codepage 437"}) {
        ToolRun run = Tool(pszArgs);
        EXPECT_EQ(run.dwExit, 2u) << pszArgs;
        EXPECT_NE(run.out.find("--codepage takes 1252 or 936"), std::string::npos) << run.out;
    }
}

} // namespace
