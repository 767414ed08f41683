// What the shipped launcher images must keep true: they are 32-bit GUI
// programs that fit before the package offset, they import only DLLs that
// Windows loads from its own directory, and they carry their manifest, icon
// and version block. Nothing here runs them, so the x64 twin's suite reads
// the shipped i686 images too (KELVO_SHIPPED_BIN names their folder).
#include "test_env.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <set>
#include <vector>

namespace
{

const char* const kShippedPrograms[] = {"setup.exe", "setup-lite.exe"};

// Libraries on the system's known-DLL list: never searched for beside the
// program, so a planted copy cannot take their place.
const std::set<std::string> kAllowedImports = {
    "advapi32.dll", "comdlg32.dll", "gdi32.dll",   "kernel32.dll", "msvcrt.dll", "ole32.dll",
    "oleaut32.dll", "rpcrt4.dll",   "shell32.dll", "shlwapi.dll",  "user32.dll",
};

std::string Lower(std::string s)
{
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return (char)tolower(c); });
    return s;
}

// A PE image read from disk, with relative addresses mapped to file offsets.
class PeFile
{
  public:
    explicit PeFile(const std::string& data) : m_data(data) {}

    // A PE32 image (wMagic IMAGE_NT_OPTIONAL_HDR32_MAGIC) or a PE32+ one
    // (IMAGE_NT_OPTIONAL_HDR64_MAGIC), as 64-bit Windows programs are.
    bool Parse(WORD wMagic)
    {
        if (m_data.size() < sizeof(IMAGE_DOS_HEADER))
            return false;
        auto* pDos = (const IMAGE_DOS_HEADER*)m_data.data();
        if (pDos->e_magic != IMAGE_DOS_SIGNATURE ||
            (size_t)pDos->e_lfanew + sizeof(IMAGE_NT_HEADERS64) > m_data.size())
            return false;
        m_pNt = (const IMAGE_NT_HEADERS32*)(m_data.data() + pDos->e_lfanew);
        return m_pNt->Signature == IMAGE_NT_SIGNATURE && m_pNt->OptionalHeader.Magic == wMagic;
    }

    bool IsPe32Plus() const
    {
        return m_pNt->OptionalHeader.Magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC;
    }

    WORD Machine() const
    {
        return m_pNt->FileHeader.Machine;
    }

    // The optional headers differ in length before the subsystem field.
    WORD Subsystem() const
    {
        return IsPe32Plus() ? ((const IMAGE_NT_HEADERS64*)m_pNt)->OptionalHeader.Subsystem
                            : m_pNt->OptionalHeader.Subsystem;
    }

    const IMAGE_DATA_DIRECTORY& Directory(int nIndex) const
    {
        if (IsPe32Plus())
            return ((const IMAGE_NT_HEADERS64*)m_pNt)->OptionalHeader.DataDirectory[nIndex];
        return m_pNt->OptionalHeader.DataDirectory[nIndex];
    }

    const char* AtRva(DWORD dwRva, size_t cbNeeded) const
    {
        const IMAGE_SECTION_HEADER* pSec = IMAGE_FIRST_SECTION(m_pNt);
        for (int i = 0; i < m_pNt->FileHeader.NumberOfSections; ++i, ++pSec) {
            DWORD dwSize = std::max(pSec->Misc.VirtualSize, pSec->SizeOfRawData);
            if (dwRva >= pSec->VirtualAddress && dwRva < pSec->VirtualAddress + dwSize) {
                size_t off = dwRva - pSec->VirtualAddress + pSec->PointerToRawData;
                return off + cbNeeded <= m_data.size() ? m_data.data() + off : nullptr;
            }
        }
        return nullptr;
    }

    std::string StringAt(DWORD dwRva) const
    {
        const char* psz = AtRva(dwRva, 1);
        return psz ? std::string(psz, strnlen(psz, m_data.data() + m_data.size() - psz)) : "";
    }

    bool Imports(std::vector<std::string>* pNames) const
    {
        const IMAGE_DATA_DIRECTORY& dir = Directory(IMAGE_DIRECTORY_ENTRY_IMPORT);
        for (DWORD dwRva = dir.VirtualAddress; dir.Size != 0;
             dwRva += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
            auto* pDesc =
                (const IMAGE_IMPORT_DESCRIPTOR*)AtRva(dwRva, sizeof(IMAGE_IMPORT_DESCRIPTOR));
            if (pDesc == nullptr)
                return false;
            if (pDesc->Name == 0)
                break;
            pNames->push_back(Lower(StringAt(pDesc->Name)));
        }
        const IMAGE_DATA_DIRECTORY& delay = Directory(IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT);
        for (DWORD dwRva = delay.VirtualAddress; delay.Size != 0; dwRva += 32) {
            const DWORD* pDesc = (const DWORD*)AtRva(dwRva, 32); // attributes, then name
            if (pDesc == nullptr)
                return false;
            if (pDesc[1] == 0)
                break;
            pNames->push_back(Lower(StringAt(pDesc[1])));
        }
        return true;
    }

  private:
    const std::string& m_data;
    const IMAGE_NT_HEADERS32* m_pNt = nullptr;
};

// Reads one image and checks its kind and imports.
void ExpectWindowsGuiImage(const std::string& path, WORD wMagic, WORD wMachine)
{
    SCOPED_TRACE(path);
    std::string data;
    ASSERT_TRUE(ReadWholeFile(path, &data));
    PeFile pe(data);
    ASSERT_TRUE(pe.Parse(wMagic));
    EXPECT_EQ(pe.Machine(), wMachine);
    EXPECT_EQ(pe.Subsystem(), IMAGE_SUBSYSTEM_WINDOWS_GUI);
    std::vector<std::string> imports;
    ASSERT_TRUE(pe.Imports(&imports));
    EXPECT_NE(std::find(imports.begin(), imports.end(), "kernel32.dll"), imports.end());
    for (const std::string& dll : imports)
        EXPECT_EQ(kAllowedImports.count(dll), 1u) << "imports " << dll;
}

TEST(ShippedImage, Is32BitGuiFitsBeforeThePackageAndImportsOnlyKnownSystemDlls)
{
    for (const char* pszName : kShippedPrograms) {
        std::string data;
        ASSERT_TRUE(ReadWholeFile(ShippedBinPath(pszName), &data))
            << ShippedBinPath(pszName) << ": build the i686 programs first";
        EXPECT_LT(data.size(), 307200u) << pszName;
        ExpectWindowsGuiImage(ShippedBinPath(pszName), IMAGE_NT_OPTIONAL_HDR32_MAGIC,
                              IMAGE_FILE_MACHINE_I386);
    }
}

// The x64 twin's launchers are never shipped, but they are what its suite
// runs: 64-bit Windows programs are PE32+, and they too load no DLL that
// could be planted beside them.
TEST(ShippedImage, TwinLaunchersArePe32PlusAndImportOnlyKnownSystemDlls)
{
    if (sizeof(void*) == 4)
        GTEST_SKIP() << "this suite runs the shipped i686 images themselves";
    for (const char* pszName : kShippedPrograms)
        ExpectWindowsGuiImage(BinPath(pszName), IMAGE_NT_OPTIONAL_HDR64_MAGIC,
                              IMAGE_FILE_MACHINE_AMD64);
}

std::string ResourceText(HMODULE hModule, LPCSTR pszName, LPCSTR pszType)
{
    HRSRC hRes = FindResourceA(hModule, pszName, pszType);
    HGLOBAL hData = hRes ? LoadResource(hModule, hRes) : NULL;
    if (hData == NULL)
        return "";
    return std::string((const char*)LockResource(hData), SizeofResource(hModule, hRes));
}

std::string VersionString(const std::vector<char>& block, const char* pszKey)
{
    char* pszValue = nullptr;
    UINT cch = 0;
    std::string query = std::string("\\StringFileInfo\\080404b0\\") + pszKey;
    if (!VerQueryValueA(block.data(), query.c_str(), (void**)&pszValue, &cch))
        return "";
    return pszValue;
}

TEST(ShippedImage, LiteCarriesManifestAndTwoIconsButNoVersionBlock)
{
    std::string path = ShippedBinPath("setup-lite.exe");
    HMODULE hImage = LoadLibraryExA(path.c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(hImage, nullptr);
    std::string manifest = ResourceText(hImage, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    EXPECT_NE(manifest.find("level=\"requireAdministrator\" uiAccess=\"false\""),
              std::string::npos);
    EXPECT_NE(FindResourceA(hImage, MAKEINTRESOURCEA(128), MAKEINTRESOURCEA(14)), nullptr);
    EXPECT_NE(FindResourceA(hImage, MAKEINTRESOURCEA(129), MAKEINTRESOURCEA(14)), nullptr);
    EXPECT_EQ(FindResourceA(hImage, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(16)), nullptr)
        << "no version block";
    FreeLibrary(hImage);
}

TEST(ShippedImage, SetupCarriesManifestIconAndVersionBlock)
{
    std::string path = ShippedBinPath("setup.exe");
    HMODULE hImage = LoadLibraryExA(path.c_str(), NULL, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(hImage, nullptr);
    std::string manifest = ResourceText(hImage, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    EXPECT_NE(manifest.find("level=\"requireAdministrator\" uiAccess=\"false\""),
              std::string::npos);
    EXPECT_NE(manifest.find("name=\"Kelvo Setup\""), std::string::npos);
    EXPECT_NE(manifest.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""),
              std::string::npos);
    EXPECT_NE(FindResourceA(hImage, MAKEINTRESOURCEA(128), MAKEINTRESOURCEA(14)), nullptr)
        << "icon group";
    const WORD wChinesePrc = MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED);
    EXPECT_NE(FindResourceExA(hImage, MAKEINTRESOURCEA(16), MAKEINTRESOURCEA(1), wChinesePrc),
              nullptr)
        << "version block in language 2052";

    // Dialog 134: an extended template of 186 x 68 units with five controls.
    HRSRC hDialog =
        FindResourceExA(hImage, MAKEINTRESOURCEA(5), MAKEINTRESOURCEA(134), wChinesePrc);
    ASSERT_NE(hDialog, nullptr);
    const WORD* pw = (const WORD*)LockResource(LoadResource(hImage, hDialog));
    EXPECT_EQ(pw[0], 1u); // dlgVer
    EXPECT_EQ(pw[1], 0xFFFFu);
    DWORD dwStyle = pw[6] | ((DWORD)pw[7] << 16);
    EXPECT_EQ(dwStyle, 0x90C000C0u);
    EXPECT_EQ(pw[8], 5u);    // controls
    EXPECT_EQ(pw[11], 186u); // cx
    EXPECT_EQ(pw[12], 68u);  // cy
    FreeLibrary(hImage);

    DWORD dwHandle = 0;
    DWORD cb = GetFileVersionInfoSizeA(path.c_str(), &dwHandle);
    ASSERT_GT(cb, 0u);
    std::vector<char> block(cb);
    ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, cb, block.data()));
    VS_FIXEDFILEINFO* pFixed = nullptr;
    UINT cbFixed = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", (void**)&pFixed, &cbFixed));
    EXPECT_EQ(pFixed->dwFileVersionMS, 0x00050001u);
    EXPECT_EQ(pFixed->dwFileVersionLS, 0x012D0001u);
    EXPECT_EQ(pFixed->dwProductVersionMS, 0x00050001u);
    EXPECT_EQ(pFixed->dwProductVersionLS, 0x012D0001u);
    EXPECT_EQ(VersionString(block, "FileVersion"), "5, 1, 301, 1");
    EXPECT_EQ(VersionString(block, "ProductVersion"), "5, 1, 301, 1");
    EXPECT_EQ(VersionString(block, "FileDescription"), "Setup Application");
    EXPECT_EQ(VersionString(block, "ProductName"), "Setup Application");
    EXPECT_EQ(VersionString(block, "InternalName"), "Setup");
    EXPECT_EQ(VersionString(block, "OriginalFilename"), "Setup.exe");
}

} // namespace
