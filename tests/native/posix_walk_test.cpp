// The Linux tool's package code: the record writer with a source that
// changes size while it is copied, the POSIX walk against a destination
// that holds links, a FIFO and names that climb out, the code pages record
// names are stored in, and the end of a signed setup's package.
#include "package_posix.h"
#include "record_writer.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <string>

namespace
{

uint32_t AppendTo(void* pCtx, const void* pBuf, uint32_t cb)
{
    ((std::string*)pCtx)->append((const char*)pBuf, cb);
    return 0;
}

// A source that holds cbHolds bytes, whatever its record was told.
struct Feed {
    uint32_t cbHolds;
    uint32_t cbGiven;
};

uint32_t ReadFeed(void* pCtx, void* pBuf, uint32_t cb, uint32_t* pcbRead)
{
    Feed* pFeed = (Feed*)pCtx;
    uint32_t cbLeft = pFeed->cbHolds - pFeed->cbGiven;
    *pcbRead = cb < cbLeft ? cb : cbLeft;
    memset(pBuf, 'd', *pcbRead);
    pFeed->cbGiven += *pcbRead;
    return 0;
}

// The seam where a file grows or shrinks between being measured and copied.
TEST(RecordWriter, ASourceThatChangesSizeFailsWith155)
{
    uint8_t abBuf[PKG_CHUNK];
    for (uint32_t cbHolds : {9999u, 10000u, 10001u, 0u}) {
        std::string package;
        PkgPackOut out = {&package, AppendTo, NULL, 0, abBuf, sizeof abBuf};
        ASSERT_EQ(pkg_WriteHeader(&out), 0u);
        Feed feed = {cbHolds, 0};
        uint32_t dwErr = 0;
        int bDone = pkg_WriteRecord(&out, "src", "a.bin", 10000, &feed, ReadFeed, &dwErr);
        EXPECT_EQ(bDone, cbHolds == 10000) << cbHolds;
        if (!bDone)
            EXPECT_EQ(dwErr, (uint32_t)PKG_ERR_SIZE) << cbHolds;
        else
            EXPECT_EQ(package.size(), 17u + 8 + 5 + 10000);
    }
}

class PosixWalk : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        char szTemplate[] = "/tmp/kelvo-walk-XXXXXX";
        ASSERT_NE(mkdtemp(szTemplate), nullptr);
        dir = szTemplate;
        ASSERT_EQ(mkdir((dir + "/dst").c_str(), 0755), 0);
        ASSERT_EQ(mkdir((dir + "/outside").c_str(), 0755), 0);
    }
    void TearDown() override
    {
        std::string cmd = "rm -rf '" + dir + "'";
        ASSERT_EQ(system(cmd.c_str()), 0);
    }
    // A package of the records, each name stored as given; behind an image
    // when there is one.
    void Write(std::initializer_list<std::pair<std::string, std::string>> records,
               const std::string& image = "", const std::string& tail = "")
    {
        uint8_t abBuf[PKG_CHUNK];
        std::string package;
        PkgPackOut out = {&package, AppendTo, NULL, 0, abBuf, sizeof abBuf};
        pkg_WriteHeader(&out);
        for (const auto& record : records) {
            Feed feed = {(uint32_t)record.second.size(), 0};
            uint32_t dwErr = 0;
            pkg_WriteRecord(&out, "", record.first.c_str(), feed.cbHolds, &feed, ReadFeed, &dwErr);
        }
        std::ofstream(dir + "/p.pkg", std::ios::binary) << image << package << tail;
    }
    uint32_t Unpack(uint32_t uCodePage = 0, uint32_t dwOffset = 0, int bLite = 0)
    {
        const UnpackVariant kVariant = {!bLite, !bLite, 1, NULL, NULL, uCodePage};
        uint32_t dwErr = 0;
        return pkg_Unpack(dir.c_str(), "p.pkg", (dir + "/dst").c_str(), &dwErr, NULL, dwOffset,
                          &kVariant, NULL)
                   ? 0
                   : dwErr;
    }
    std::string Contents(const std::string& path)
    {
        std::ifstream in(dir + "/" + path, std::ios::binary);
        return in ? std::string(std::istreambuf_iterator<char>(in), {}) : "<missing>";
    }
    std::string dir;
};

TEST_F(PosixWalk, RecordsBecomeFilesAndSubdirectoriesAreEntered)
{
    ASSERT_EQ(mkdir((dir + "/dst/sub").c_str(), 0755), 0);
    std::ofstream(dir + "/dst/old.txt") << "a much longer old text";
    Write({{"a.txt", "aaa"}, {"sub\\b.txt", "bb"}, {"OLD.TXT", "new"}, {"^Kelvo_end^", "x"}});
    EXPECT_EQ(Unpack(), 0u);
    EXPECT_EQ(Contents("dst/a.txt"), "ddd");
    EXPECT_EQ(Contents("dst/sub/b.txt"), "dd");
    EXPECT_EQ(Contents("dst/old.txt"), "ddd") << "the same file on Windows, cut to its record";
    EXPECT_EQ(Contents("dst/OLD.TXT"), "<missing>");
    EXPECT_EQ(Contents("dst/^Kelvo_end^"), "") << "opened, never written";
}

// Nothing is written through a link or into anything but a plain file, and
// a name that climbs out is refused before anything is opened.
TEST_F(PosixWalk, NothingIsWrittenOutsideTheDestination)
{
    std::ofstream(dir + "/outside/target") << "untouched";
    ASSERT_EQ(symlink((dir + "/outside/target").c_str(), (dir + "/dst/link.txt").c_str()), 0);
    ASSERT_EQ(symlink((dir + "/outside").c_str(), (dir + "/dst/sublink").c_str()), 0);
    ASSERT_EQ(mkfifo((dir + "/dst/fifo").c_str(), 0644), 0);
    ASSERT_EQ(link((dir + "/outside/target").c_str(), (dir + "/dst/hard.txt").c_str()), 0);
    for (const char* pszName :
         {"link.txt", "hard.txt", "sublink\\target", "fifo", "..\\outside\\target", "/tmp/evil",
          "a/../../x", "CON", "nul.txt", "C:evil"}) {
        Write({{pszName, "pwned"}});
        EXPECT_EQ(Unpack(), (uint32_t)PKG_ERR_OPEN_DEST) << pszName;
    }
    EXPECT_EQ(Contents("outside/target"), "untouched");
}

TEST_F(PosixWalk, NamesAreReadInTheirCodePage)
{
    Write({{"caf\xe9.txt", "1"}, {"\xb0\xb2\xd7\xb0.exe", "2"}});
    EXPECT_EQ(Unpack(0), (uint32_t)PKG_ERR_OPEN_DEST) << "ASCII only, untold";
    Write({{"caf\xe9.txt", "1"}});
    EXPECT_EQ(Unpack(1252), 0u);
    EXPECT_EQ(Contents("dst/caf\xc3\xa9.txt"), "d");
    Write({{"\xb0\xb2\xd7\xb0.exe", "2"}, {"\x95\x5c", "3"}});
    EXPECT_EQ(Unpack(936), 0u) << "0x5C is a trail byte in GBK, no separator";
    EXPECT_EQ(Contents("dst/\xe5\xae\x89\xe8\xa3\x85.exe"), "d");
}

// The 512 bytes of a PE32 image's headers whose security entry points to a
// certificate table at dwTable.
std::string SignedImage(uint32_t dwTable, uint32_t cbTable)
{
    std::string image(512, '\0');
    auto put = [&](size_t off, uint32_t dw, int cb) {
        for (int i = 0; i < cb; ++i)
            image[off + i] = (char)(dw >> (8 * i));
    };
    image[0] = 'M', image[1] = 'Z';
    put(0x3C, 0x40, 4);
    put(0x40, 0x00004550, 4); // "PE\0\0"
    put(0x54, 224, 2);        // the optional header's size
    put(0x58, 0x10B, 2);      // PE32
    put(0x58 + 92, 16, 4);    // data directories
    put(0x58 + 128, dwTable, 4);
    put(0x58 + 132, cbTable, 4);
    return image;
}

// Behind the package: the zero bytes that align the table to 8, then the
// table. The package (17 + 2 * 8 + 10 + 4 = 47 bytes) ends at 559; the
// table begins at 560.
TEST_F(PosixWalk, ASignedPackageEndsWhereTheCertificateTableBegins)
{
    const std::string kTable = std::string("\x18\0\0\0\0\x02\x02\0", 8) + std::string(16, 'c');
    for (int bLite : {0, 1}) {
        Write({{"a.txt", "1"}, {"b.txt", "222"}}, SignedImage(560, 24),
              std::string(1, '\0') + kTable);
        EXPECT_EQ(Unpack(0, 512, bLite), 0u) << bLite;
        EXPECT_EQ(Contents("dst/b.txt"), "ddd");
    }
    Write({{"a.txt", "1"}, {"b.txt", "222"}}, SignedImage(560, 24), "x" + kTable);
    EXPECT_EQ(Unpack(0, 512), (uint32_t)PKG_ERR_NAME_LENGTH) << "padding is zeros only";
    Write({{"a.txt", "1"}, {"b.txt", "222"}}, SignedImage(568, 24), std::string(9, '\0') + kTable);
    EXPECT_EQ(Unpack(0, 512), (uint32_t)PKG_ERR_OPEN_DEST) << "8 zero bytes are an empty record";
    Write({{"a.txt", "1"}, {"b.txt", "222"}}, SignedImage(560, 25), std::string(1, '\0') + kTable);
    EXPECT_NE(Unpack(0, 512), 0u) << "a table that does not fit in the file is not believed";
}

TEST(CodePage, NamesConvertOrAreRefused)
{
    char sz[64];
    EXPECT_TRUE(pkg_ToCodePage(0, "KelvoSetup.exe", sz, sizeof sz));
    EXPECT_FALSE(pkg_ToCodePage(0, "caf\xc3\xa9", sz, sizeof sz));
    ASSERT_TRUE(pkg_ToCodePage(1252, "caf\xc3\xa9", sz, sizeof sz));
    EXPECT_STREQ(sz, "caf\xe9");
    ASSERT_TRUE(pkg_ToCodePage(936, "\xe5\xae\x89\xe8\xa3\x85", sz, sizeof sz));
    EXPECT_STREQ(sz, "\xb0\xb2\xd7\xb0");
    EXPECT_FALSE(pkg_ToCodePage(1252, "\xe5\xae\x89", sz, sizeof sz)) << "no Chinese in 1252";
    EXPECT_FALSE(pkg_ToCodePage(936, "\xc3\xa9\xcc\x81", sz, 3)) << "no room";
    // The superscript devices of 1252 are devices; in 936 the same bytes are
    // lead bytes.
    EXPECT_FALSE(pkg_IsSafeName("COM\xb9", pkg_CodePage(1252)));
    EXPECT_FALSE(pkg_IsSafeName("COM\xb9", pkg_CodePage(936)));
    EXPECT_TRUE(pkg_IsSafeName("COM\xb9.x", pkg_CodePage(936)));
    EXPECT_TRUE(pkg_IsSafeName("COM\xb4", pkg_CodePage(1252)));
}

} // namespace
