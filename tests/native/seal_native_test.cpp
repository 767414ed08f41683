// The seal's parts natively, under the sanitizers: XXH32 against its
// published vectors, in one piece and streamed in pieces of any size; the
// seal block, of which every flipped bit is told from a block of zeros; and
// the walk's check of a setup's package at 307200, listing, extracting,
// refusing and stopped between chunks.
#include "package_posix.h"
#include "record_writer.h"
#include "xxh32.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <fstream>
#include <string>

namespace
{

// The buffer xxHash's own sanity check hashes: the top byte of a running
// product of its 64-bit prime, started at its first 32-bit prime.
std::string SanityBuffer(size_t cb)
{
    std::string bytes(cb, '\0');
    uint64_t ullGen = 2654435761u;
    for (size_t i = 0; i < cb; ++i) {
        bytes[i] = (char)(ullGen >> 56);
        ullGen *= 11400714785074694797ull;
    }
    return bytes;
}

TEST(Xxh32, PublishedVectorsInOnePieceAndInPieces)
{
    const uint32_t kPrime = 2654435761u;
    const struct {
        size_t cb;
        uint32_t dwSeed, dwDigest;
    } kVectors[] = {
        {0, 0, 0x02CC5D05},      {0, kPrime, 0x36B78AE7},   {1, 0, 0xCF65B03E},
        {1, kPrime, 0xB4545AA4}, {14, 0, 0x1208E7E2},       {14, kPrime, 0x6AF1D1FE},
        {222, 0, 0x5BD11DBD},    {222, kPrime, 0x58803C5F},
    };
    std::string buf = SanityBuffer(222);
    for (const auto& v : kVectors) {
        EXPECT_EQ(xxh32_Of(buf.data(), v.cb, v.dwSeed), v.dwDigest) << v.cb;
        for (size_t cbPiece = 1; cbPiece <= 37; ++cbPiece) {
            Xxh32 state;
            xxh32_Start(&state, v.dwSeed);
            for (size_t at = 0; at < v.cb; at += cbPiece)
                xxh32_Add(&state, buf.data() + at, cbPiece < v.cb - at ? cbPiece : v.cb - at);
            EXPECT_EQ(xxh32_Digest(&state), v.dwDigest) << v.cb << " in pieces of " << cbPiece;
        }
    }
    EXPECT_EQ(xxh32_Of("abc", 3, 0), 0x32D153FFu);
}

TEST(SealBlock, ReadsBackAndEveryFlippedBitIsUnreadable)
{
    const PkgSeal kSeal = {123456789, 0xDEADBEEF};
    uint8_t abBlock[PKG_SEAL_SIZE];
    pkg_MakeSeal(&kSeal, abBlock);
    PkgSeal seal = {};
    ASSERT_EQ(pkg_ReadSeal(abBlock, &seal), PKG_SEAL_BLOCK_READ);
    EXPECT_EQ(seal.cbPackage, kSeal.cbPackage);
    EXPECT_EQ(seal.dwDigest, kSeal.dwDigest);
    for (int nBit = 0; nBit < PKG_SEAL_SIZE * 8; ++nBit) {
        abBlock[nBit / 8] ^= (uint8_t)(1u << nBit % 8);
        EXPECT_EQ(pkg_ReadSeal(abBlock, &seal), PKG_SEAL_BLOCK_UNREADABLE) << nBit;
        abBlock[nBit / 8] ^= (uint8_t)(1u << nBit % 8);
    }
    uint8_t abZero[PKG_SEAL_SIZE] = {};
    EXPECT_EQ(pkg_ReadSeal(abZero, &seal), PKG_SEAL_BLOCK_ZERO);
}

uint32_t AppendTo(void* pCtx, const void* pBuf, uint32_t cb)
{
    ((std::string*)pCtx)->append((const char*)pBuf, cb);
    return 0;
}

uint32_t ReadString(void* pCtx, void* pBuf, uint32_t cb, uint32_t* pcbRead)
{
    std::string* pData = (std::string*)pCtx;
    *pcbRead = cb < pData->size() ? cb : (uint32_t)pData->size();
    memcpy(pBuf, pData->data(), *pcbRead);
    pData->erase(0, *pcbRead);
    return 0;
}

int StopAtOnce(void*, uint64_t, uint64_t)
{
    return 0;
}

class SealedWalk : public ::testing::Test
{
  protected:
    void SetUp() override
    {
        char szTemplate[] = "/tmp/kelvo-seal-XXXXXX";
        ASSERT_NE(mkdtemp(szTemplate), nullptr);
        dir = szTemplate;
        ASSERT_EQ(mkdir((dir + "/dst").c_str(), 0755), 0);
        // A big first record, so that a walk reads many chunks, and a
        // record behind the end record, which the setup unpacker never
        // extracts but the seal covers.
        uint8_t abBuf[PKG_CHUNK];
        PkgPackOut out = {&package, AppendTo, NULL, 0, abBuf, sizeof abBuf};
        pkg_WriteHeader(&out);
        uint32_t dwErr = 0;
        for (const char* pszName : {"big.bin", "^Kelvo_end^", "behind.txt"}) {
            std::string data(pszName[0] == 'b' && pszName[1] == 'i' ? 300000 : 10, 'x');
            pkg_WriteRecord(&out, "", pszName, (uint32_t)data.size(), &data, ReadString, &dwErr);
        }
    }
    void TearDown() override
    {
        ASSERT_EQ(system(("rm -rf '" + dir + "'").c_str()), 0);
    }
    // The setup: the fill, the seal of the package as built, the package
    // with the byte at nFlip (from its start) flipped.
    void WriteSetup(bool bSealed, long nFlip = -1)
    {
        std::string setup(PKG_OFFSET, '\0');
        PkgSeal seal = {(uint32_t)package.size(), xxh32_Of(package.data(), package.size(), 0)};
        if (bSealed)
            pkg_MakeSeal(&seal, (uint8_t*)&setup[PKG_SEAL_AT]);
        setup += package;
        if (nFlip >= 0)
            setup[PKG_OFFSET + nFlip] ^= 1;
        std::ofstream(dir + "/s.exe", std::ios::binary) << setup;
    }
    // A walk of the setup with the setup unpacker: 0, or its error number
    // (kNoNumber for a walk its watcher stopped, which has none).
    uint32_t Walk(int bExtract, PkgWatch* pWatch)
    {
        const UnpackVariant kVariant = {0, 1, bExtract, NULL, NULL, 0, NULL};
        uint32_t dwErr = 0;
        return pkg_Unpack(dir.c_str(), "s.exe", (dir + "/dst").c_str(), &dwErr, NULL, PKG_OFFSET,
                          &kVariant, pWatch)
                   ? 0
                   : (dwErr != 0 ? dwErr : kNoNumber);
    }
    static constexpr uint32_t kNoNumber = 0xFFFFFFFF;
    std::string dir, package;
};

TEST_F(SealedWalk, ListingAndExtractingCheckTheWholePackage)
{
    WriteSetup(true);
    for (int bExtract : {0, 1}) {
        PkgWatch watch = {};
        EXPECT_EQ(Walk(bExtract, &watch), 0u);
        EXPECT_EQ(watch.seal.eState, PKG_SEAL_MATCHES) << bExtract;
    }
    WriteSetup(false);
    PkgWatch watch = {};
    EXPECT_EQ(Walk(1, &watch), 0u);
    EXPECT_EQ(watch.seal.eState, PKG_SEAL_NONE);
}

// Behind the end record the walk reads only for the digest.
TEST_F(SealedWalk, DamageBehindTheEndRecordIsFoundAndRefused)
{
    WriteSetup(true, (long)package.size() - 1);
    PkgWatch report = {};
    EXPECT_EQ(Walk(1, &report), 0u) << "a tool's walk reports and goes on";
    EXPECT_EQ(report.seal.eState, PKG_SEAL_MISMATCH);
    PkgWatch refuse = {};
    refuse.bRefuseDamaged = 1;
    EXPECT_EQ(Walk(1, &refuse), (uint32_t)PKG_ERR_DAMAGED);
    // In the header the walk fails first; the seal's number stands.
    WriteSetup(true, 2);
    EXPECT_EQ(Walk(1, &refuse), (uint32_t)PKG_ERR_DAMAGED);
}

TEST_F(SealedWalk, AWatcherStopsTheWalkBetweenChunks)
{
    WriteSetup(true);
    PkgWatch watch = {StopAtOnce, NULL, 1, {}, 0};
    EXPECT_EQ(Walk(1, &watch), kNoNumber);
    EXPECT_TRUE(watch.bStopped);
    EXPECT_EQ(watch.seal.eState, PKG_SEAL_UNFINISHED);
}

} // namespace
