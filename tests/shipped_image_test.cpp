// What the shipped launcher images must keep true: they are 32-bit GUI
// programs that fit before the package offset, they import only DLLs that
// Windows loads from its own directory, they are built with the release
// mitigations (ASLR, DEP, NO_SEH, stack guards), they carry their
// manifest, icon and version block, and none of the error catalogue's texts. Nothing here runs
// them, so the x64 twin's suite reads the shipped i686 images too (KELVO_SHIPPED_BIN names their
// folder). The activation-context queries the manifest test makes are Vista's.
#undef _WIN32_WINNT
#define _WIN32_WINNT 0x0600
#include "error_catalogue.h"
#include "test_env.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <set>
#include <vector>

namespace
{

const char* const kShippedPrograms[] = {"setup.exe", "setup-lite.exe"};
// Every image we hand out, linked with the same mitigations.
const char* const kReleaseImages[] = {"setup.exe", "setup-lite.exe", "setuptool.exe"};

// The Windows versions the launchers declare they were written for: Vista,
// 7, 8, 8.1, and 10 and 11 (which share one id).
const GUID kSupportedOs[] = {
    {0xe2011457, 0x1546, 0x43c5, {0xa5, 0xfe, 0x00, 0x8d, 0xee, 0xe3, 0xd3, 0xf0}},
    {0x35138b9a, 0x5d96, 0x4fbd, {0x8e, 0x2d, 0xa2, 0x44, 0x02, 0x25, 0xf9, 0x3a}},
    {0x4a2f28e3, 0x53b9, 0x4441, {0xba, 0x9c, 0xd6, 0x9d, 0x4a, 0x4a, 0x6e, 0x38}},
    {0x1f676c76, 0x80e1, 0x4239, {0x95, 0xbb, 0x83, 0xd0, 0xf6, 0xd0, 0xda, 0x78}},
    {0x8e0f7a12, 0xbfb3, 0x4fe8, {0xb9, 0xa5, 0x48, 0xfd, 0x50, 0xa1, 0x5a, 0x9a}},
};

// A GUID as a manifest writes it: lower case, in braces.
std::string GuidText(const GUID& g)
{
    char sz[40];
    snprintf(sz, sizeof(sz), "{%08lx-%04x-%04x-%02x%02x-%02x%02x%02x%02x%02x%02x}",
             (unsigned long)g.Data1, g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2],
             g.Data4[3], g.Data4[4], g.Data4[5], g.Data4[6], g.Data4[7]);
    return sz;
}

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

    WORD DllCharacteristics() const
    {
        return IsPe32Plus() ? ((const IMAGE_NT_HEADERS64*)m_pNt)->OptionalHeader.DllCharacteristics
                            : m_pNt->OptionalHeader.DllCharacteristics;
    }

    // ASLR can move an image only when its relocations are kept.
    bool HasRelocations() const
    {
        return (m_pNt->FileHeader.Characteristics & IMAGE_FILE_RELOCS_STRIPPED) == 0 &&
               Directory(IMAGE_DIRECTORY_ENTRY_BASERELOC).Size != 0;
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

    bool Imports(std::vector<std::string>* pNames)
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
            AddFunctionNames(pNames->back(), pDesc->OriginalFirstThunk);
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

    // "dll!function" for every function imported by name, as Imports found them.
    const std::set<std::string>& Functions() const
    {
        return m_functions;
    }

  private:
    // The lookup table's entries are pointer-sized; the top bit marks an
    // import by ordinal, the others point at a hint and the name.
    void AddFunctionNames(const std::string& dll, DWORD dwRva)
    {
        size_t cbEntry = IsPe32Plus() ? 8 : 4;
        for (const char* p; dwRva != 0 && (p = AtRva(dwRva, cbEntry)) != nullptr;
             dwRva += cbEntry) {
            ULONGLONG entry = 0;
            memcpy(&entry, p, cbEntry);
            if (entry == 0)
                break;
            if ((entry >> (cbEntry * 8 - 1)) == 0)
                m_functions.insert(dll + "!" + StringAt((DWORD)entry + 2));
        }
    }

    const std::string& m_data;
    std::set<std::string> m_functions;
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

// Both kinds of image can be moved (DYNAMIC_BASE, with the relocations that
// moving needs) and keep data unexecutable (NX_COMPAT); a 32-bit image also
// lets no exception reach a handler inside it (NO_SEH), a 64-bit one takes
// the whole 64-bit range for its placement (HIGH_ENTROPY_VA). Stack guards:
// our guard's failure handler (util/stack_guard.cpp) is linked in only when
// functions call it, and nothing loads the crypto provider at start, as the
// toolchain's own guard would, before the DLL search is restricted.
void ExpectReleaseMitigations(const std::string& path, WORD wMagic)
{
    SCOPED_TRACE(path);
    std::string data;
    ASSERT_TRUE(ReadWholeFile(path, &data));
    PeFile pe(data);
    ASSERT_TRUE(pe.Parse(wMagic));
    WORD wWanted = IMAGE_DLLCHARACTERISTICS_DYNAMIC_BASE | IMAGE_DLLCHARACTERISTICS_NX_COMPAT |
                   (pe.IsPe32Plus() ? IMAGE_DLLCHARACTERISTICS_HIGH_ENTROPY_VA
                                    : IMAGE_DLLCHARACTERISTICS_NO_SEH);
    EXPECT_EQ(pe.DllCharacteristics() & wWanted, wWanted)
        << std::hex << "DllCharacteristics 0x" << pe.DllCharacteristics();
    EXPECT_TRUE(pe.HasRelocations());
    EXPECT_NE(data.find("stack guard: a stack buffer overrun ended the process"), std::string::npos)
        << "no function checks a stack guard";
    EXPECT_EQ(data.find("stack smashing detected"), std::string::npos) << "libssp's guard";
    std::vector<std::string> imports;
    ASSERT_TRUE(pe.Imports(&imports));
    for (const char* pszCall : {"advapi32.dll!CryptGenRandom", "advapi32.dll!CryptAcquireContextA"})
        EXPECT_EQ(pe.Functions().count(pszCall), 0u) << pszCall;
}

// The guard stops a real overrun: the process ends at once with the code
// Windows gives an overrun its own checks find.
TEST(ShippedImage, StackGuardEndsAProgramThatOverrunsABuffer)
{
    DWORD dwExit = 0;
    std::string out;
    ASSERT_TRUE(RunAndCapture(BinPath("standin.exe"), "--overrun", 20000, &dwExit, &out));
    EXPECT_EQ(dwExit, (DWORD)STATUS_STACK_BUFFER_OVERRUN);
}

// Every run draws a guard word of its own, never the word the guard starts
// with before the program runs (which anyone can read in the image).
TEST(ShippedImage, EachRunHasItsOwnStackGuardWord)
{
    std::string words[2];
    for (std::string& word : words) {
        DWORD dwExit = 99;
        ASSERT_TRUE(RunAndCapture(BinPath("standin.exe"), "--guard", 20000, &dwExit, &word));
        ASSERT_EQ(dwExit, 0u);
        EXPECT_NE(word, sizeof(void*) == 8 ? "2f9a5c3e71d4b86b" : "71d4b86b") << "never set";
    }
    EXPECT_NE(words[0], words[1]);
}

TEST(ShippedImage, ImagesMoveKeepDataUnexecutableRefuseSehAndGuardTheStack)
{
    for (const char* pszName : kReleaseImages)
        ExpectReleaseMitigations(ShippedBinPath(pszName), IMAGE_NT_OPTIONAL_HDR32_MAGIC);
}

TEST(ShippedImage, TwinImagesTakeHighEntropyAslrDepAndStackGuards)
{
    if (sizeof(void*) == 4)
        GTEST_SKIP() << "this suite runs the shipped i686 images themselves";
    for (const char* pszName : kReleaseImages)
        ExpectReleaseMitigations(BinPath(pszName), IMAGE_NT_OPTIONAL_HDR64_MAGIC);
}

TEST(ShippedImage, Is32BitGuiFitsBeforeThePackageAndImportsOnlyKnownSystemDlls)
{
    for (const char* pszName : kShippedPrograms) {
        std::string data;
        ASSERT_TRUE(ReadWholeFile(ShippedBinPath(pszName), &data))
            << ShippedBinPath(pszName) << ": build the i686 programs first";
        EXPECT_LT(data.size(), 307200u) << pszName;
        // The budget the launchers are held to, far under the package's offset.
        EXPECT_LE(data.size(), 96u * 1024) << pszName << ": over the 96 KiB budget";
        ExpectWindowsGuiImage(ShippedBinPath(pszName), IMAGE_NT_OPTIONAL_HDR32_MAGIC,
                              IMAGE_FILE_MACHINE_I386);
    }
}

// The launchers log error numbers; their meanings and what to do are for the
// tools alone. setuptool.exe, which prints them, shows that the search finds
// them where they are.
TEST(ShippedImage, LaunchersCarryNoTextOfTheErrorCatalogue)
{
    size_t cEntries = 0;
    const ErrorEntry* pEntries = err_Entries(&cEntries);
    std::string tool;
    ASSERT_TRUE(ReadWholeFile(ShippedBinPath("setuptool.exe"), &tool));
    for (const char* pszName : kShippedPrograms) {
        std::string data;
        ASSERT_TRUE(ReadWholeFile(ShippedBinPath(pszName), &data)) << pszName;
        for (size_t i = 0; i < cEntries; ++i) {
            for (const char* pszText : {pEntries[i].pszMeaning, pEntries[i].pszWhatToDo}) {
                ASSERT_NE(tool.find(pszText), std::string::npos) << pszText;
                EXPECT_EQ(data.find(pszText), std::string::npos) << pszName << ": " << pszText;
            }
        }
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

// What the launchers' manifest declares: elevation, the Common Controls of
// the image's processor, the assembly's identity, the Windows versions the
// launchers were written for (so that Windows applies no compatibility mode
// to them) and system DPI awareness.
void ExpectLauncherManifest(HMODULE hImage, const std::string& arch)
{
    std::string manifest = ResourceText(hImage, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    std::string processor = "processorArchitecture=\"" + arch + "\"";
    std::vector<std::string> declared = {
        "<assemblyIdentity version=\"1.0.0.0\" " + processor +
            " name=\"Kelvo Setup\" type=\"win32\"/>",
        "<description>Setup.exe</description>",
        "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"",
        processor + " publicKeyToken=\"6595b64144ccf1df\" language=\"*\"/>",
        "<trustInfo xmlns=\"urn:schemas-microsoft-com:asm.v3\">",
        "<requestedExecutionLevel level=\"requireAdministrator\" uiAccess=\"false\"/>",
        "<compatibility xmlns=\"urn:schemas-microsoft-com:compatibility.v1\">",
        "<application xmlns=\"urn:schemas-microsoft-com:asm.v3\">",
        "<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true</dpiAware>",
    };
    for (const GUID& os : kSupportedOs)
        declared.push_back("<supportedOS Id=\"" + GuidText(os) + "\"/>");
    for (const std::string& element : declared)
        EXPECT_NE(manifest.find(element), std::string::npos) << "manifest lacks " << element;
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
    ExpectLauncherManifest(hImage, "X86");
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
    ExpectLauncherManifest(hImage, "X86");
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

// The manifest as the system reads it when it starts a launcher: an
// activation context made from it names the five Windows versions and has
// DPI awareness on. Each suite reads its own images: a 64-bit process gets no
// context from the shipped images' x86 Common Controls, and the twin's
// manifest is the same with amd64.
TEST(ShippedImage, SystemReadsSupportedWindowsAndDpiAwarenessFromTheManifest)
{
    for (const char* pszName : kShippedPrograms) {
        std::string path = BinPath(pszName);
        SCOPED_TRACE(path);
        ACTCTXA actCtx = {};
        actCtx.cbSize = sizeof(actCtx);
        actCtx.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
        actCtx.lpSource = path.c_str();
        actCtx.lpResourceName = MAKEINTRESOURCEA(1);
        HANDLE hActCtx = CreateActCtxA(&actCtx);
        ASSERT_NE(hActCtx, INVALID_HANDLE_VALUE) << "error " << GetLastError();

        // Later Windows versions add a field to each element, so the ids are
        // looked for in the answer rather than read at fixed places.
        std::string info(4096, '\0');
        SIZE_T cb = 0;
        EXPECT_TRUE(QueryActCtxW(0, hActCtx, NULL, CompatibilityInformationInActivationContext,
                                 &info[0], info.size(), &cb));
        info.resize(cb);
        DWORD dwCount = 0;
        if (info.size() >= sizeof(dwCount))
            memcpy(&dwCount, info.data(), sizeof(dwCount));
        EXPECT_EQ(dwCount, sizeof(kSupportedOs) / sizeof(kSupportedOs[0]));
        for (const GUID& os : kSupportedOs)
            EXPECT_NE(info.find(std::string((const char*)&os, sizeof(os))), std::string::npos)
                << "no supportedOS " << GuidText(os);

        WCHAR szDpiAware[16] = L"";
        SIZE_T cch = 0;
        EXPECT_TRUE(QueryActCtxSettingsW(0, hActCtx, NULL, L"dpiAware", szDpiAware,
                                         sizeof(szDpiAware) / sizeof(WCHAR), &cch));
        EXPECT_STREQ(szDpiAware, L"true");
        ReleaseActCtx(hActCtx);
    }
}

} // namespace
