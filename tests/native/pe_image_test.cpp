// check's PE reading on the shipped launcher images, cut short at every
// length and with their headers corrupted: every verdict is the one the
// bytes at hand allow, and under AddressSanitizer no read leaves them.
#include "pe_image.h"

#include <gtest/gtest.h>
#include <fstream>
#include <iterator>
#include <string>

namespace
{

std::string Image(const char* pszName)
{
    std::ifstream in(std::string(KELVO_SHIPPED_BIN) + "/" + pszName, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

uint32_t Get32(const std::string& s, size_t off)
{
    return (uint8_t)s[off] | (uint8_t)s[off + 1] << 8 | (uint8_t)s[off + 2] << 16 |
           (uint32_t)(uint8_t)s[off + 3] << 24;
}

void Put16(std::string* ps, size_t off, uint16_t w)
{
    (*ps)[off] = (char)w;
    (*ps)[off + 1] = (char)(w >> 8);
}

void Put32(std::string* ps, size_t off, uint32_t dw)
{
    Put16(ps, off, (uint16_t)dw);
    Put16(ps, off + 2, (uint16_t)(dw >> 16));
}

// A copy on the heap of exactly the bytes given, so that ASan sees past them.
PeVerdict Read(const std::string& bytes, PeFacts* pFacts)
{
    std::unique_ptr<uint8_t[]> p(new uint8_t[bytes.size()]);
    memcpy(p.get(), bytes.data(), bytes.size());
    return pe_ReadImage(p.get(), bytes.size(), pFacts);
}

class PeImage : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        setup = Image("setup.exe");
        if (setup.size() < 4096)
            GTEST_SKIP() << "no launcher image in " << KELVO_SHIPPED_BIN;
        nt = Get32(setup, 0x3C);
        opt = nt + 24;
        sections = opt + (uint8_t)setup[nt + 20] + ((uint8_t)setup[nt + 21] << 8);
        sectionsEnd = sections + 40 * ((uint8_t)setup[nt + 6] + ((uint8_t)setup[nt + 7] << 8));
    }
    // The resource tree's root; the root's entry for a type; the data entry
    // of its first resource (first name, first language).
    size_t ResourceRoot() const
    {
        uint32_t dwRva = Get32(setup, opt + 96 + 8 * 2);
        for (size_t off = sections; off < sectionsEnd; off += 40) {
            uint32_t dwVa = Get32(setup, off + 12);
            if (dwRva >= dwVa && dwRva - dwVa < Get32(setup, off + 16))
                return Get32(setup, off + 20) + (dwRva - dwVa);
        }
        return 0;
    }
    size_t TypeEntry(uint32_t dwType) const
    {
        size_t root = ResourceRoot();
        uint32_t dwCounts = Get32(setup, root + 12);
        for (size_t i = 0; i < (dwCounts & 0xFFFF) + (dwCounts >> 16); ++i) {
            if (Get32(setup, root + 16 + 8 * i) == dwType)
                return root + 16 + 8 * i;
        }
        return 0;
    }
    size_t FirstDataEntry(uint32_t dwType) const
    {
        size_t root = ResourceRoot(), entry = TypeEntry(dwType);
        for (int nLevel = 0; nLevel < 2; ++nLevel)
            entry = root + (Get32(setup, entry + 4) & 0x7FFFFFFF) + 16;
        return root + Get32(setup, entry + 4);
    }
    std::string setup;
    size_t nt = 0, opt = 0, sections = 0, sectionsEnd = 0;
};

TEST_F(PeImage, TheLaunchersAreToldApartAndMeasured)
{
    PeFacts facts;
    ASSERT_EQ(Read(setup, &facts), PE_OK);
    EXPECT_EQ(facts.eLauncher, PE_SETUP);
    EXPECT_EQ(facts.cbImage, setup.size()) << "a stripped image ends with its last section";
    ASSERT_TRUE(facts.bVersion);
    EXPECT_EQ(facts.awVersion[0], 5);
    EXPECT_EQ(facts.awVersion[2], 301);
    EXPECT_EQ(facts.cbCert, 0u);

    ASSERT_EQ(Read(Image("setup-lite.exe"), &facts), PE_OK);
    EXPECT_EQ(facts.eLauncher, PE_SETUP_LITE);
    EXPECT_FALSE(facts.bVersion);
    EXPECT_EQ(pe_WhichLauncher((const uint8_t*)setup.data(), setup.size()), PE_SETUP);
}

// A launcher is one by the manifest both carry, then by its own resource:
// the password dialog alone (or the icon alone) makes no launcher, and
// neither does any other program.
TEST_F(PeImage, OnlyTheLaunchersManifestMakesALauncher)
{
    for (const char* pszImage : {"setup.exe", "setup-lite.exe"}) {
        std::string image = Image(pszImage);
        size_t at = image.find("name=\"Kelvo Setup\"");
        ASSERT_NE(at, std::string::npos) << pszImage;
        image[at + 6] = 'k';
        PeFacts facts;
        ASSERT_EQ(Read(image, &facts), PE_OK) << pszImage;
        EXPECT_EQ(facts.eLauncher, PE_UNKNOWN_LAUNCHER) << pszImage;
        EXPECT_EQ(pe_WhichLauncher((const uint8_t*)image.data(), image.size()), PE_UNKNOWN_LAUNCHER)
            << pszImage;
    }
    std::string other = Image("KelvoSetup.exe");
    ASSERT_GT(other.size(), 4096u);
    EXPECT_EQ(pe_WhichLauncher((const uint8_t*)other.data(), other.size()), PE_UNKNOWN_LAUNCHER);
    EXPECT_EQ(pe_WhichLauncher((const uint8_t*)"MZ", 2), PE_UNKNOWN_LAUNCHER);
}

// Every length from nothing to past the section table: the verdict is the
// first part that the cut leaves incomplete.
TEST_F(PeImage, CutHeadersAreToldAtEveryLength)
{
    for (size_t cb = 0; cb <= sectionsEnd + 8; ++cb) {
        PeFacts facts;
        PeVerdict eVerdict = Read(setup.substr(0, cb), &facts);
        PeVerdict eExpected = cb < 64            ? PE_TOO_SHORT
                              : cb < nt + 26     ? PE_NOT_WINDOWS
                              : cb < opt + 96    ? PE_NOT_GUI32
                              : cb < sectionsEnd ? PE_BAD_SECTIONS
                                                 : PE_OK;
        ASSERT_EQ(eVerdict, eExpected) << cb << " bytes";
        if (eVerdict == PE_OK)
            EXPECT_EQ(facts.eLauncher, PE_UNKNOWN_LAUNCHER) << "the resources are cut off";
    }
}

TEST_F(PeImage, CorruptedFieldsAreBoundedByTheBytesRead)
{
    struct {
        const char* pszWhat;
        size_t off;
        uint32_t dwValue;
        int cb;
        PeVerdict eExpected;
        size_t cbKept; // 0: the whole image
    } const kCases[] = {
        {"e_lfanew past the end", 0x3C, 0x7FFFFFF0, 4, PE_NOT_WINDOWS, 0},
        {"e_lfanew that wraps", 0x3C, 0xFFFFFFF8, 4, PE_NOT_WINDOWS, 0},
        {"no PE signature", nt, 0x00004551, 4, PE_NOT_WINDOWS, 0},
        {"a PE32+ magic", opt, 0x20B, 2, PE_NOT_GUI32, 0},
        {"a console program", opt + 68, 3, 2, PE_NOT_GUI32, 0},
        {"an optional header too short for its fields", nt + 20, 95, 2, PE_NOT_GUI32, 0},
        {"an optional header past the end", nt + 20, 0xFFFF, 2, PE_BAD_SECTIONS, 4096},
        {"65535 sections", nt + 6, 0xFFFF, 2, PE_BAD_SECTIONS, 0},
        {"no sections", nt + 6, 0, 2, PE_OK, 0},
        {"4 billion data directories", opt + 92, 0xFFFFFFFF, 4, PE_OK, 0},
        {"no data directories", opt + 92, 0, 4, PE_OK, 0},
        {"a section whose end wraps 32 bits", sections + 16, 0xFFFFFFF0, 4, PE_OK, 0},
        {"a section placed at 4 GiB", sections + 20, 0xFFFFFF00, 4, PE_OK, 0},
        {"resources far outside the file", opt + 96 + 16, 0x7FFFFFF0, 4, PE_OK, 0},
        {"a certificate table that wraps", opt + 96 + 32, 0xFFFFFFF0, 4, PE_OK, 0},
    };
    for (const auto& c : kCases) {
        std::string bytes = c.cbKept ? setup.substr(0, c.cbKept) : setup;
        if (c.cb == 2)
            Put16(&bytes, c.off, (uint16_t)c.dwValue);
        else
            Put32(&bytes, c.off, c.dwValue);
        PeFacts facts;
        EXPECT_EQ(Read(bytes, &facts), c.eExpected) << c.pszWhat;
    }
}

// Resource trees that lie: counts beyond the tree, entries that point out of
// the file, back to the root or to data where a directory belongs, data
// outside the file. What a lie points away is not found; the rest is read.
TEST_F(PeImage, AResourceTreeThatLiesHidesOnlyWhatItPointsAway)
{
    const size_t root = ResourceRoot();
    ASSERT_GT(root, 0u);
    const struct {
        const char* pszWhat;
        size_t off;
        uint32_t dwValue;
        PeLauncher eLauncher;
        int bVersion;
    } kCases[] = {
        {"65535 named and 65535 id entries", root + 12, 0xFFFFFFFF, PE_SETUP, 1},
        {"the manifests outside the file", TypeEntry(24) + 4, 0xFFFFFFFF, PE_UNKNOWN_LAUNCHER, 1},
        {"data where the dialogs' directory belongs", TypeEntry(5) + 4, 0x7FFFFFF0,
         PE_UNKNOWN_LAUNCHER, 1},
        {"the version's directory the root again", TypeEntry(16) + 4, 0x80000000, PE_SETUP, 0},
        {"a version block longer than the file", FirstDataEntry(16) + 4, 0xFFFFFFFF, PE_SETUP, 0},
        {"the manifest where no section is", FirstDataEntry(24), 0xFFFFFF00, PE_UNKNOWN_LAUNCHER,
         1},
    };
    for (const auto& c : kCases) {
        std::string bytes = setup;
        Put32(&bytes, c.off, c.dwValue);
        PeFacts facts;
        ASSERT_EQ(Read(bytes, &facts), PE_OK) << c.pszWhat;
        EXPECT_EQ(facts.eLauncher, c.eLauncher) << c.pszWhat;
        EXPECT_EQ(facts.bVersion, c.bVersion) << c.pszWhat;
    }
    // Each word of the tree's first KiB pointing anywhere: a fact is read as
    // the image holds it, or not at all.
    PeFacts intact, facts;
    ASSERT_EQ(Read(setup, &intact), PE_OK);
    int nLost = 0;
    for (size_t off = root; off < root + 1024 && off + 4 <= setup.size(); off += 4) {
        std::string bytes = setup;
        Put32(&bytes, off, 0xFFFFFFFF);
        ASSERT_EQ(Read(bytes, &facts), PE_OK) << off;
        EXPECT_EQ(facts.cbImage, intact.cbImage) << off;
        EXPECT_TRUE(facts.eLauncher == PE_SETUP || facts.eLauncher == PE_UNKNOWN_LAUNCHER) << off;
        if (facts.bVersion)
            EXPECT_EQ(memcmp(facts.awVersion, intact.awVersion, sizeof facts.awVersion), 0) << off;
        nLost += facts.eLauncher != PE_SETUP || !facts.bVersion;
    }
    EXPECT_GT(nLost, 0) << "no word of the tree was read";
}

TEST(PeCertificate, OnlyARevision2SignatureInsideItsTablePasses)
{
    const struct {
        uint8_t ab[8];
        uint32_t cbTable;
        int bSound;
    } kCases[] = {
        {{0x00, 0x05, 0, 0, 0x00, 0x02, 0x02, 0x00}, 0x500, 1},
        {{0x00, 0x05, 0, 0, 0x00, 0x02, 0x02, 0x00}, 0x4FF, 0}, // longer than its table
        {{0x07, 0x00, 0, 0, 0x00, 0x02, 0x02, 0x00}, 0x500, 0}, // shorter than its header
        {{0x00, 0x05, 0, 0, 0x00, 0x01, 0x02, 0x00}, 0x500, 0}, // revision 1.0
        {{0x00, 0x05, 0, 0, 0x00, 0x02, 0x01, 0x00}, 0x500, 0}, // an X.509 certificate
        {{0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x02, 0x02, 0x00}, 0xFFFFFFFE, 0},
    };
    for (const auto& c : kCases)
        EXPECT_EQ(pe_IsCertificateHeader(c.ab, c.cbTable), c.bSound) << c.cbTable;
}

} // namespace
