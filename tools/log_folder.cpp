// Reads the log folders through the tool's edge: lists them, sorts their
// log files by the day in their names, and merges the lines of one day's
// files by time. Each open file costs one read buffer; a day's files are
// closed before the next day's are opened, so memory follows the number of
// files, never their size.
#include "log_folder.h"
#include "run_log_lines.h"
#include "setuptool.h"
#include "tool_os.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>

namespace
{

const uint32_t kReadBuf = 128 * 1024;
const uint64_t kLargeLog = 16ull << 20; // a week of a busy PC's logs is far below

struct LogFile {
    std::string name, folder, path;
    size_t iFolderRank; // its folder's place in the order of time
    std::string module; // "" for the setup log
    std::string day;    // yyyymmdd
    ToolFile* pFile;
    char* pBuf;
    LogReader reader;
    LogTimeCache time;
    LogLine line;
    int bHasLine;
    int bOpenFailed, bReadFailed;
    uint64_t ullLines, ullBad;
};

struct Folder {
    std::string path, parent, base;
    int bRead;
    size_t iRank;
};

int SameNoCase(const char* psz1, const char* psz2, size_t cch)
{
    for (size_t i = 0; i < cch; ++i) {
        char c1 = psz1[i] >= 'A' && psz1[i] <= 'Z' ? (char)(psz1[i] - 'A' + 'a') : psz1[i];
        char c2 = psz2[i] >= 'A' && psz2[i] <= 'Z' ? (char)(psz2[i] - 'A' + 'a') : psz2[i];
        if (c1 != c2)
            return 0;
    }
    return 1;
}

int SameNameNoCase(const std::string& s1, const std::string& s2)
{
    return s1.size() == s2.size() && SameNoCase(s1.c_str(), s2.c_str(), s1.size());
}

int AllDigits(const char* p, size_t cch)
{
    for (size_t i = 0; i < cch; ++i) {
        if (p[i] < '0' || p[i] > '9')
            return 0;
    }
    return cch > 0;
}

// "setup<10 digits>.log" or "stp_<module><10 digits>.log", in any case, as
// a copied folder may have it.
int ParseLogName(const char* pszName, LogFile* pFile)
{
    size_t cch = strlen(pszName);
    if (cch < 15 || !SameNoCase(pszName + cch - 4, ".log", 4) || !AllDigits(pszName + cch - 14, 10))
        return 0;
    size_t cchHead = cch - 14;
    if (cchHead == 5 && SameNoCase(pszName, "setup", 5))
        pFile->module.clear();
    else if (cchHead > 4 && SameNoCase(pszName, "stp_", 4))
        pFile->module.assign(pszName + 4, cchHead - 4);
    else
        return 0;
    pFile->day.assign(pszName + cchHead, 8);
    pFile->name = pszName;
    return 1;
}

struct Listing {
    std::vector<std::string> files, dirs;
};

void TakeEntry(void* pCtx, const char* pszName, int bDir)
{
    Listing* pListing = (Listing*)pCtx;
    (bDir ? pListing->dirs : pListing->files).push_back(pszName);
}

std::string Joined(const std::string& dir, const std::string& name)
{
    if (!dir.empty() && tos_IsSeparator(dir.back()))
        return dir + name;
    return dir + g_chToolSeparator + name;
}

// The folder as named, without separators at its end (a root keeps one).
Folder NamedFolder(const char* pszPath)
{
    Folder folder = {pszPath, ".", "", 0, 0};
    while (folder.path.size() > 1 && tos_IsSeparator(folder.path.back()) &&
           folder.path[folder.path.size() - 2] != ':')
        folder.path.pop_back();
    char szDir[TOOL_PATH_BUF], szName[TOOL_PATH_BUF];
    if (tool_SplitPath(folder.path.c_str(), szDir, sizeof szDir, szName, sizeof szName)) {
        folder.parent = szDir;
        folder.base = szName;
    }
    return folder;
}

} // namespace

struct LogFolders {
    std::vector<Folder> folders;
    std::vector<LogFile> files; // by day, setup logs first
    std::vector<std::string> asideNotes;
    size_t iDay, iDayEnd; // the files of the day being read
    int iCurrent;         // the file of the line handed out last, -1 before any
};

namespace
{

void CloseFile(LogFile* pFile)
{
    tos_Close(&pFile->pFile);
    free(pFile->pBuf);
    pFile->pBuf = NULL;
    pFile->bHasLine = 0;
}

// The file's next log line; lines that are none are counted and passed.
void Advance(LogFile* pFile)
{
    pFile->bHasLine = 0;
    for (;;) {
        char* pLine = NULL;
        size_t cbKept = 0;
        uint64_t cbWhole = 0;
        LogReadResult eRead = log_ReadLine(&pFile->reader, &pLine, &cbKept, &cbWhole);
        if (eRead == LOG_READ_FAILED) {
            pFile->bReadFailed = 1;
            fprintf(stderr, "%s log: \"%s\" cannot be read to its end: %s\n", g_szToolName,
                    pFile->path.c_str(), tos_ErrorText(pFile->reader.dwErr));
        }
        if (eRead != LOG_READ_LINE) {
            CloseFile(pFile);
            return;
        }
        ++pFile->ullLines;
        if (log_ParseLine(pLine, cbKept, cbWhole, !pFile->module.empty(), &pFile->time,
                          &pFile->line)) {
            pFile->bHasLine = 1;
            return;
        }
        ++pFile->ullBad;
    }
}

void OpenFile(LogFile* pFile)
{
    pFile->pFile = tos_OpenRead(pFile->path.c_str());
    pFile->pBuf = pFile->pFile ? (char*)malloc(kReadBuf) : NULL;
    if (pFile->pBuf == NULL) {
        pFile->bOpenFailed = 1;
        fprintf(stderr, "%s log: \"%s\" cannot be read: %s\n", g_szToolName, pFile->path.c_str(),
                pFile->pFile ? "out of memory" : tos_ErrorText(tos_LastError()));
        CloseFile(pFile);
        return;
    }
    log_InitReader(&pFile->reader, tos_Read, pFile->pFile, pFile->pBuf, kReadBuf);
    Advance(pFile);
}

// Opens the files of the next day; 0 when there is none.
int OpenNextDay(LogFolders* pSet)
{
    pSet->iDay = pSet->iDayEnd;
    if (pSet->iDay >= pSet->files.size())
        return 0;
    const std::string& day = pSet->files[pSet->iDay].day;
    while (pSet->iDayEnd < pSet->files.size() && pSet->files[pSet->iDayEnd].day == day)
        OpenFile(&pSet->files[pSet->iDayEnd++]);
    return 1;
}

void ListFolder(LogFolders* pSet, Folder* pFolder)
{
    Listing listing;
    pFolder->bRead = tos_ListDir(pFolder->path.c_str(), TakeEntry, &listing);
    if (!pFolder->bRead) {
        fprintf(stderr, "%s log: the folder \"%s\" cannot be read: %s\n", g_szToolName,
                pFolder->path.c_str(), tos_ErrorText(tos_LastError()));
        return;
    }
    for (const std::string& name : listing.files) {
        LogFile file = {};
        if (!ParseLogName(name.c_str(), &file))
            continue;
        file.folder = pFolder->path;
        file.iFolderRank = pFolder->iRank;
        file.path = Joined(pFolder->path, name);
        pSet->files.push_back(file);
    }
}

int IsNamed(const LogFolders* pSet, const std::string& parent, const std::string& name)
{
    for (const Folder& folder : pSet->folders) {
        if (SameNameNoCase(folder.parent, parent) && SameNameNoCase(folder.base, name))
            return 1;
    }
    return 0;
}

// The launchers set a log folder they do not trust aside beside it as
// <name>.untrusted.<n>; those not named are told of, not read.
void FindSetAside(LogFolders* pSet, const Folder& folder)
{
    Listing listing;
    if (folder.base.empty() || !tos_ListDir(folder.parent.c_str(), TakeEntry, &listing))
        return;
    std::string prefix = folder.base + "." RUN_LOG_ASIDE_TAG ".";
    std::sort(listing.dirs.begin(), listing.dirs.end());
    std::string names;
    int nAside = 0;
    for (const std::string& dir : listing.dirs) {
        if (dir.size() > prefix.size() && SameNoCase(dir.c_str(), prefix.c_str(), prefix.size()) &&
            AllDigits(dir.c_str() + prefix.size(), dir.size() - prefix.size()) &&
            !IsNamed(pSet, folder.parent, dir)) {
            names += (nAside++ ? ", " : "") + dir;
        }
    }
    if (nAside > 0)
        pSet->asideNotes.push_back(
            "beside " + folder.path + " the launchers set aside " +
            (nAside == 1 ? "a log folder" : std::to_string(nAside) + " log folders") +
            ", not read here; name " + (nAside == 1 ? "it" : "them") + " too to read " +
            (nAside == 1 ? "its" : "their") + " runs: " + names);
}

// The number of a folder the launchers set aside (<name>.untrusted.<n>, n
// their tick count then); 0 for any other.
unsigned long long AsideNumber(const std::string& base)
{
    std::string tag = "." RUN_LOG_ASIDE_TAG ".";
    for (size_t i = 0; i + tag.size() < base.size(); ++i) {
        if (SameNoCase(base.c_str() + i, tag.c_str(), tag.size()) &&
            AllDigits(base.c_str() + i + tag.size(), base.size() - i - tag.size()))
            return strtoull(base.c_str() + i + tag.size(), NULL, 10) + 1;
    }
    return 0;
}

// Lines of the same second in two folders are told apart by the folders'
// order: a folder set aside holds what was written before it was set aside,
// the folder that took its place what came after, so the set-aside ones
// come first, in the order they were set aside.
void RankFolders(std::vector<Folder>* pFolders)
{
    std::vector<size_t> order(pFolders->size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    auto Key = [pFolders](size_t i) {
        unsigned long long ull = AsideNumber((*pFolders)[i].base);
        return ull == 0 ? ~0ull : ull;
    };
    std::stable_sort(order.begin(), order.end(),
                     [&Key](size_t i1, size_t i2) { return Key(i1) < Key(i2); });
    for (size_t i = 0; i < order.size(); ++i)
        (*pFolders)[order[i]].iRank = i;
}

int ByDay(const LogFile& file1, const LogFile& file2)
{
    if (file1.day != file2.day)
        return file1.day < file2.day;
    if (file1.module.empty() != file2.module.empty())
        return file1.module.empty();
    return file1.iFolderRank < file2.iFolderRank;
}

} // namespace

LogFolders* logf_Open(const char* const* ppszFolders, int nFolders)
{
    LogFolders* pSet = new LogFolders();
    pSet->iCurrent = -1;
    for (int i = 0; i < nFolders; ++i)
        pSet->folders.push_back(NamedFolder(ppszFolders[i]));
    RankFolders(&pSet->folders);
    for (Folder& folder : pSet->folders)
        ListFolder(pSet, &folder);
    for (const Folder& folder : pSet->folders)
        FindSetAside(pSet, folder);
    std::stable_sort(pSet->files.begin(), pSet->files.end(), ByDay);
    return pSet;
}

int logf_Next(LogFolders* pSet, LogLine* pLine, const char** ppszModule)
{
    if (pSet->iCurrent >= 0)
        Advance(&pSet->files[pSet->iCurrent]);
    pSet->iCurrent = -1;
    do {
        for (size_t i = pSet->iDay; i < pSet->iDayEnd; ++i) {
            const LogFile& file = pSet->files[i];
            if (file.bHasLine && (pSet->iCurrent < 0 ||
                                  file.line.ullTime < pSet->files[pSet->iCurrent].line.ullTime))
                pSet->iCurrent = (int)i;
        }
        if (pSet->iCurrent >= 0) {
            LogFile* pFile = &pSet->files[pSet->iCurrent];
            *pLine = pFile->line;
            *ppszModule = pFile->module.c_str();
            return 1;
        }
    } while (OpenNextDay(pSet));
    return 0;
}

int logf_FoldersRead(const LogFolders* pSet)
{
    int n = 0;
    for (const Folder& folder : pSet->folders)
        n += folder.bRead;
    return n;
}

std::vector<std::string> logf_Notes(const LogFolders* pSet)
{
    std::vector<std::string> notes;
    char sz[160];
    for (const LogFile& file : pSet->files) {
        std::string where = file.name + " in " + file.folder;
        if (file.bOpenFailed) {
            notes.push_back(where + " cannot be read");
            continue;
        }
        const LogReader& reader = file.reader;
        if (file.bReadFailed) {
            snprintf(sz, sizeof sz, " could be read only in part, its first %llu bytes",
                     (unsigned long long)reader.ullBytes);
            notes.push_back(where + sz);
        }
        if (reader.ullBytes == 0 && !file.bReadFailed)
            notes.push_back(where + " is empty");
        int bNoLog = reader.ullBytes > 0 && file.ullBad == file.ullLines;
        if (bNoLog) {
            notes.push_back(where + " holds no log line: it is no log, or damaged throughout");
        } else if (file.ullBad > 0) {
            snprintf(sz, sizeof sz,
                     ": %llu of its %llu lines are no log lines (damaged, or written by "
                     "something else) and are left out",
                     (unsigned long long)file.ullBad, (unsigned long long)file.ullLines);
            notes.push_back(where + sz);
        }
        if (reader.bCutEnd && !bNoLog)
            notes.push_back(where + " ends inside a line (the file was cut, or was still being "
                                    "written): that line is left out");
        if (reader.ullBytes >= kLargeLog) {
            snprintf(sz, sizeof sz, " is large: %llu bytes in %llu lines",
                     (unsigned long long)reader.ullBytes, (unsigned long long)file.ullLines);
            notes.push_back(where + sz);
        }
    }
    notes.insert(notes.end(), pSet->asideNotes.begin(), pSet->asideNotes.end());
    return notes;
}

void logf_Close(LogFolders** ppSet)
{
    if (*ppSet == NULL)
        return;
    for (LogFile& file : (*ppSet)->files)
        CloseFile(&file);
    delete *ppSet;
    *ppSet = NULL;
}
