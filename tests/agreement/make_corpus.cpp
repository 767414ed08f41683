// Writes the corpus on which kelvo-setuptool and setuptool.exe must agree:
// source files to pack, and packages valid, cut at every length, mutated
// and hostile (names that climb out, devices, streams, lengths that lie or
// wrap, the end record in both unpackers' eyes, names in code pages).
//   kelvo-corpus <dir>     makes <dir>/src and <dir>/pkg
#include <stdint.h>
#include <stdio.h>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace
{

std::string Mixed(std::string bytes)
{
    for (char& c : bytes)
        c = (char)(0u - (unsigned char)c);
    return bytes;
}

std::string Le32(uint32_t dw)
{
    return std::string{(char)dw, (char)(dw >> 8), (char)(dw >> 16), (char)(dw >> 24)};
}

// A package written byte by byte, lengths free to lie.
struct Crafted {
    std::string bytes = Mixed("^-=Kelvo=-^ Mirk ");

    Crafted& Record(const std::string& name, const std::string& data)
    {
        return Raw((uint32_t)name.size(), (uint32_t)data.size(), name, data);
    }
    Crafted& Raw(uint32_t cbName, uint32_t cbData, const std::string& name, const std::string& data)
    {
        bytes += Le32(cbName) + Le32(cbData) + Mixed(name) + Mixed(data);
        return *this;
    }
};

std::string Noise(size_t cb, uint32_t dwSeed)
{
    std::string s(cb, '\0');
    for (char& c : s) {
        dwSeed = dwSeed * 1664525u + 1013904223u;
        c = (char)(dwSeed >> 24);
    }
    return s;
}

bool Write(const std::string& path, const std::string& data)
{
    FILE* pFile = fopen(path.c_str(), "wb");
    if (pFile == NULL)
        return false;
    bool bOk = fwrite(data.data(), 1, data.size(), pFile) == data.size();
    return fclose(pFile) == 0 && bOk;
}

bool WriteSources(const std::string& dir)
{
    mkdir(dir.c_str(), 0755);
    mkdir((dir + "/dir").c_str(), 0755);
    mkdir((dir + "/other").c_str(), 0755);
    const struct {
        const char* pszName;
        size_t cb;
    } kFiles[] = {
        {"empty.dat", 0},       {"one.bin", 1},         {"page-1.bin", 4095},
        {"page.bin", 4096},     {"page+1.bin", 4097},   {"KelvoSetup.exe", 300000},
        {"with space.txt", 10}, {"CON.txt", 3},         {"nul", 3},
        {"trailing.", 3},       {"other/one.bin", 2},   {"ONE.BIN", 5},
        {"^Kelvo_end^", 4},     {"caf\xc3\xa9.txt", 6}, {"\xe5\xae\x89\xe8\xa3\x85.exe", 8},
    };
    for (const auto& f : kFiles) {
        if (!Write(dir + "/" + f.pszName, Noise(f.cb, (uint32_t)f.cb + 7)))
            return false;
    }
    return Write(dir + "/" + std::string(64, 'n'), "sixty-four") &&
           Write(dir + "/" + std::string(65, 'n'), "x");
}

struct Package {
    std::string name;
    std::string bytes;
};

void AddValid(std::vector<Package>* pOut)
{
    pOut->push_back({"header-only", Crafted().bytes});
    pOut->push_back({"one-record", Crafted().Record("a.txt", "data").bytes});
    pOut->push_back({"empty-data", Crafted().Record("e.txt", "").Record("f.txt", "f").bytes});
    pOut->push_back({"big", Crafted().Record("big.bin", Noise(200000, 3)).bytes});
    pOut->push_back({"end-record", Crafted().Record("a.txt", "1").Record("^Kelvo_end^", "").bytes});
    pOut->push_back({"after-end", Crafted()
                                      .Record("a.txt", "1")
                                      .Record("^Kelvo_end^", "end data")
                                      .Record("b.txt", "2")
                                      .bytes});
    pOut->push_back({"same-name-twice",
                     Crafted().Record("a.txt", "first and long").Record("A.TXT", "2nd").bytes});
    pOut->push_back({"name-64", Crafted().Record(std::string(64, 'n'), "x").bytes});
    pOut->push_back({"exact-end", Crafted().Raw(1, 3, "x", "abc").bytes});
    // The programs the launchers start, in front of the end record and behind it.
    pOut->push_back({"programs", Crafted()
                                     .Record("dovRelsvc.exe", "d")
                                     .Record("KelvoSetup.exe", "k")
                                     .Record("kelvoregister.exe", "r")
                                     .Record("^Kelvo_end^", "")
                                     .bytes});
    pOut->push_back({"behind-end", Crafted()
                                       .Record("KelvoSetup.exe", "k")
                                       .Record("^Kelvo_end^", "")
                                       .Record("dovRelsvc.exe", "d")
                                       .bytes});
}

void AddHostile(std::vector<Package>* pOut)
{
    const char* const kNames[] = {
        "..\\evil.txt",
        "sub\\..\\..\\evil",
        "C:\\evil.txt",
        "C:evil",
        "\\evil.txt",
        "a/b",
        "a.txt:stream",
        "CON",
        "nul.txt",
        "COM1",
        "lpt9.log",
        "CONIN$",
        "name.",
        "name ",
        "a\x01.txt",
        "a*.txt",
        "a|b",
        "sub\\",
        "",
        "nosub\\a.txt",
        "a\x7f",
    };
    int i = 0;
    for (const char* pszName : kNames)
        pOut->push_back(
            {"hostile-name-" + std::to_string(i++), Crafted().Record(pszName, "pwned").bytes});
    pOut->push_back({"name-65", Crafted().Record(std::string(65, 'n'), "x").bytes});
    pOut->push_back({"name-with-nul", Crafted().Record(std::string("ab\0cd", 5), "x").bytes});
    pOut->push_back(
        {"end-name-with-nul",
         Crafted().Record(std::string("^Kelvo_end^\0x", 13), "").Record("b", "2").bytes});
    pOut->push_back({"data-past-end", Crafted().Raw(1, 4, "x", "abc").bytes});
    pOut->push_back({"data-length-wraps", Crafted().Raw(1, 0xFFFFFFF0, "x", "abc").bytes});
    pOut->push_back({"name-length-huge", Crafted().Raw(0xFFFFFFFF, 1, "x", "abc").bytes});
    pOut->push_back(
        {"bad-marker", Mixed("^-=Kelvo=-^ Mirk_") + Crafted().Record("a", "b").bytes.substr(17)});
    pOut->push_back({"plain-marker", "^-=Kelvo=-^ Mirk " + Le32(1) + Le32(1) + "ab"});
    pOut->push_back({"western-name", Crafted().Record("caf\xe9.txt", "1").bytes});
    pOut->push_back({"gbk-name", Crafted().Record("\xb0\xb2\xd7\xb0.exe", "2").bytes});
    pOut->push_back({"superscript-device", Crafted().Record("COM\xb9", "3").bytes});
}

// The same package cut at every length, and with bits flipped.
void AddDamaged(std::vector<Package>* pOut)
{
    std::string valid = Crafted()
                            .Record("one.txt", "first file")
                            .Record("two.bin", Noise(300, 9))
                            .Record("^Kelvo_end^", "")
                            .Record("three", "x")
                            .bytes;
    for (size_t cb = 0; cb < 60; ++cb)
        pOut->push_back({"cut-" + std::to_string(cb), valid.substr(0, cb)});
    for (size_t cb = 60; cb < valid.size(); cb += 37)
        pOut->push_back({"cut-" + std::to_string(cb), valid.substr(0, cb)});
    uint32_t dwSeed = 12345;
    for (int i = 0; i < 60; ++i) {
        std::string damaged = valid;
        for (int n = 1 + i % 3; n > 0; --n) {
            dwSeed = dwSeed * 1664525u + 1013904223u;
            size_t off = (dwSeed >> 8) % (i % 2 ? 60 : damaged.size());
            damaged[off] ^= (char)(1 << (dwSeed % 8));
        }
        pOut->push_back({"flip-" + std::to_string(i), damaged});
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        fputs("usage: kelvo-corpus <dir>\n", stderr);
        return 2;
    }
    std::string dir = argv[1];
    mkdir(dir.c_str(), 0755);
    mkdir((dir + "/pkg").c_str(), 0755);
    if (!WriteSources(dir + "/src"))
        return 1;
    std::vector<Package> packages;
    AddValid(&packages);
    AddHostile(&packages);
    AddDamaged(&packages);
    for (const Package& p : packages) {
        if (!Write(dir + "/pkg/" + p.name + ".pkg", p.bytes))
            return 1;
    }
    printf("%zu\n", packages.size());
    return 0;
}
