// The seal's parts natively, under the sanitizers: XXH3-64 against its
// published vectors, in one piece, streamed in pieces of any size and split
// anywhere, on the SSE2 and the plain path; the seal block, of which every
// flipped bit is told from a block of zeros; and the walk's check of a
// setup's package at 307200, listing, extracting, refusing and stopped
// between chunks.
#include "package_posix.h"
#include "record_writer.h"
#include "xxh3.h"

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

// xxhsum's sanity values for seed 0: a length of each class (0, 1-3, 4-8,
// 9-16, 17-128, 129-240), then one block with a last partial stripe and one
// ending on a stripe, two blocks ending on a block, three blocks ending on a
// stripe and two with a last partial stripe.
const struct {
    size_t cb;
    uint64_t ullDigest;
} kVectors[] = {
    {0, 0x2D06800538D394C2},    {1, 0xC44BDFF4074EECDB},    {6, 0x27B56A84CD2D7325},
    {12, 0xA713DAF0DFBB77E7},   {24, 0xA3FE70BF9D3510EB},   {48, 0x397DA259ECBA1F11},
    {80, 0xBCDEFBBB2C47C90A},   {195, 0xCD94217EE362EC3A},  {403, 0xCDEB804D65C6DEA4},
    {512, 0x617E49599013CB6B},  {2048, 0xDD59E2C3A5F038E0}, {2099, 0xC6B9D9B3FC9AC765},
    {2240, 0x6E73A90539CF2948}, {2367, 0xCB37AEB9E5D361ED},
};

// Streamed on the SSE2 path (where this processor has it) or the plain one.
Xxh3 Started(int bVector)
{
    Xxh3 state;
    xxh3_Start(&state);
    state.bVector &= bVector;
    return state;
}

TEST(Xxh3, PublishedVectorsInPiecesOfAnySize)
{
    std::string buf = SanityBuffer(2367);
    for (const auto& v : kVectors) {
        EXPECT_EQ(xxh3_Of(buf.data(), v.cb), v.ullDigest) << v.cb;
        for (int bVector : {0, 1}) {
            for (size_t cbPiece = 1; cbPiece <= 1100; cbPiece += cbPiece < 300 ? 1 : 61) {
                Xxh3 state = Started(bVector);
                for (size_t at = 0; at < v.cb; at += cbPiece)
                    xxh3_Add(&state, buf.data() + at, cbPiece < v.cb - at ? cbPiece : v.cb - at);
                EXPECT_EQ(xxh3_Digest(&state), v.ullDigest)
                    << v.cb << " in pieces of " << cbPiece << ", vector " << bVector;
            }
        }
    }
}

// Split in two at every point, with the first piece's digest taken on the
// way (the state goes on after a digest).
TEST(Xxh3, PublishedVectorsSplitAnywhere)
{
    std::string buf = SanityBuffer(2367);
    for (const auto& v : kVectors) {
        for (int bVector : {0, 1}) {
            for (size_t cbFirst = 0; cbFirst <= v.cb; ++cbFirst) {
                Xxh3 state = Started(bVector);
                xxh3_Add(&state, buf.data(), cbFirst);
                ASSERT_EQ(xxh3_Digest(&state), xxh3_Of(buf.data(), cbFirst));
                xxh3_Add(&state, buf.data() + cbFirst, v.cb - cbFirst);
                EXPECT_EQ(xxh3_Digest(&state), v.ullDigest)
                    << v.cb << " split at " << cbFirst << ", vector " << bVector;
            }
        }
    }
}

// Many blocks, in the launchers' 4096-byte chunks and the tools' 1 MiB.
TEST(Xxh3, TheTwoPathsAgreeOverManyBlocks)
{
    std::string buf = SanityBuffer((3u << 20) + 37);
    for (size_t cbPiece : {(size_t)4096, (size_t)1 << 20}) {
        Xxh3 states[2] = {Started(0), Started(1)};
        for (Xxh3& state : states) {
            for (size_t at = 0; at < buf.size(); at += cbPiece)
                xxh3_Add(&state, buf.data() + at,
                         cbPiece < buf.size() - at ? cbPiece : buf.size() - at);
        }
        EXPECT_EQ(xxh3_Digest(&states[0]), xxh3_Digest(&states[1])) << cbPiece;
    }
}

TEST(SealBlock, ReadsBackAndEveryFlippedBitIsUnreadable)
{
    const PkgSeal kSeal = {123456789, 0xDEADBEEF01234567};
    uint8_t abBlock[PKG_SEAL_SIZE];
    pkg_MakeSeal(&kSeal, abBlock);
    PkgSeal seal = {};
    ASSERT_EQ(pkg_ReadSeal(abBlock, &seal), PKG_SEAL_BLOCK_READ);
    EXPECT_EQ(seal.cbPackage, kSeal.cbPackage);
    EXPECT_EQ(seal.ullDigest, kSeal.ullDigest);
    for (int nBit = 0; nBit < PKG_SEAL_SIZE * 8; ++nBit) {
        abBlock[nBit / 8] ^= (uint8_t)(1u << nBit % 8);
        EXPECT_EQ(pkg_ReadSeal(abBlock, &seal), PKG_SEAL_BLOCK_UNREADABLE) << nBit;
        abBlock[nBit / 8] ^= (uint8_t)(1u << nBit % 8);
    }
    uint8_t abZero[PKG_SEAL_SIZE] = {};
    EXPECT_EQ(pkg_ReadSeal(abZero, &seal), PKG_SEAL_BLOCK_ZERO);
    // The block's check is the XXH3-64 of its first 56 bytes; another
    // version's block is not read, even with its check sound.
    auto WithVersion = [&](uint8_t bVersion) {
        abBlock[8] = bVersion;
        uint64_t ullCheck = xxh3_Of(abBlock, 56);
        for (int i = 0; i < 8; ++i)
            abBlock[56 + i] = (uint8_t)(ullCheck >> 8 * i);
        return pkg_ReadSeal(abBlock, &seal);
    };
    EXPECT_EQ(WithVersion(PKG_SEAL_VERSION), PKG_SEAL_BLOCK_READ);
    EXPECT_EQ(WithVersion(1), PKG_SEAL_BLOCK_UNREADABLE);
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
        PkgSeal seal = {(uint32_t)package.size(), xxh3_Of(package.data(), package.size())};
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
        const UnpackVariant kVariant = {0, 1, bExtract, NULL, NULL, 0};
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
