// Reads the log folders through the tool's edge: lists them, looks at the
// start of every file for a launcher's log line, and merges the lines of
// the files it takes by time. A file is opened once the lines reach its
// first line's time and closed at its end, so the files open at once are
// those whose times overlap (a day's, for the launchers' daily files), each
// costing one read buffer: memory follows the number of files, never their
// size.
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
const uint32_t kLookBytes = 64 * 1024;  // how far the look at a file's start goes
const uint64_t kLargeLog = 16ull << 20; // a week of a busy PC's logs is far below

struct LogFile {
    std::string name, folder, path;
    size_t iFolderRank;    // its folder's place in the order of time
    std::string module;    // the name of its module-log lines
    uint64_t ullFirstTime; // of its first log line, from the look at its start
    ToolFile* pFile;
    char* pBuf;
    LogReader reader;
    LogTimeCache time;
    LogLine line;
    int bHasLine, bModuleLine, bRead;
    // A line found inside the last one, handed out next: its bytes, and the
    // byte the cut line's end took from it.
    char* pLater;
    size_t cbLaterKept;
    uint64_t cbLaterWhole;
    char chLater;
    int bOpenFailed, bReadFailed;
    uint64_t ullLines, ullBad, ullCutShort, ullGiven, ullCopied;
    size_t iCopyOf;
};

struct Folder {
    std::string path, parent, base;
    int bRead, bTwice;
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

// The module of a file the launchers named "stp_<module><yyyymmdd><0d>.log"
// (a copy may have gained " (1)" or lost its digits), else the file's name.
std::string ModuleOfFile(const std::string& name)
{
    if (name.size() <= 4 || !SameNoCase(name.c_str(), "stp_", 4))
        return name;
    size_t iEnd = 4;
    while (iEnd < name.size() && !(name[iEnd] >= '0' && name[iEnd] <= '9') && name[iEnd] != '.' &&
           name[iEnd] != ' ' && name[iEnd] != '(')
        ++iEnd;
    return iEnd > 4 ? "stp_" + name.substr(4, iEnd - 4) : name;
}

// A line of either log, at p: its kind in *pbModule.
int ParseEither(char* p, size_t cbKept, uint64_t cbWhole, LogTimeCache* pCache, LogLine* pLine,
                int* pbModule)
{
    for (int bModule = 0; bModule < 2; ++bModule) {
        if (log_ParseLine(p, cbKept, cbWhole, bModule, pCache, pLine)) {
            *pbModule = bModule;
            return 1;
        }
    }
    return 0;
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
    Folder folder = {pszPath, ".", "", 0, 0, 0};
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
    std::vector<LogFile> files;       // the files taken
    std::vector<size_t> order;        // their indices by first line
    size_t iNext;                     // the next of order to open
    std::vector<size_t> open;         // the files open now
    std::vector<std::string> skipped; // the files not taken, and why
    std::vector<std::string> asideNotes;
    int iCurrent; // the file of the line handed out last, -1 before any
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

// The stream ended inside a line: its beginning, if it begins as a log
// line does, is the file's last line, cut.
int TakeCutEnd(LogFile* pFile)
{
    LogReader* pReader = &pFile->reader;
    if (!pReader->bCutEnd || pReader->cbCut == 0 ||
        !ParseEither(pReader->abLine, pReader->cbCut, pReader->cbCutWhole, &pFile->time,
                     &pFile->line, &pFile->bModuleLine))
        return 0;
    pFile->line.bPartial = 1;
    return 1;
}

// One line of the file at p, or the cut line before a line found inside it
// (which is kept to come next): 1 when it is a log line.
int TakeLine(LogFile* pFile, char* p, size_t cbKept, uint64_t cbWhole)
{
    size_t iLater = log_FindLaterLine(p, cbKept);
    if (iLater > 0) {
        pFile->pLater = p + iLater;
        pFile->cbLaterKept = cbKept - iLater;
        pFile->cbLaterWhole = cbWhole - iLater;
        pFile->chLater = p[iLater];
        ++pFile->ullCutShort;
        if (ParseEither(p, iLater, iLater, &pFile->time, &pFile->line, &pFile->bModuleLine)) {
            pFile->line.bPartial = 1;
            return 1;
        }
        return 0;
    }
    if (ParseEither(p, cbKept, cbWhole, &pFile->time, &pFile->line, &pFile->bModuleLine))
        return 1;
    ++pFile->ullBad;
    return 0;
}

// The file's next log line; lines that are none are counted and passed.
void Advance(LogFile* pFile)
{
    pFile->bHasLine = 0;
    if (pFile->bRead) { // its cut last line was the last
        CloseFile(pFile);
        return;
    }
    for (;;) {
        char* pLine = NULL;
        size_t cbKept = 0;
        uint64_t cbWhole = 0;
        if (pFile->pLater != NULL) {
            pLine = pFile->pLater;
            *pLine = pFile->chLater;
            cbKept = pFile->cbLaterKept;
            cbWhole = pFile->cbLaterWhole;
            pFile->pLater = NULL;
        } else {
            LogReadResult eRead = log_ReadLine(&pFile->reader, &pLine, &cbKept, &cbWhole);
            if (eRead == LOG_READ_FAILED) {
                pFile->bReadFailed = 1;
                fprintf(stderr, "%s log: \"%s\" cannot be read to its end: %s\n", g_szToolName,
                        pFile->path.c_str(), tos_ErrorText(pFile->reader.dwErr));
            }
            if (eRead != LOG_READ_LINE) {
                pFile->bRead = 1;
                if (eRead == LOG_READ_END && TakeCutEnd(pFile)) {
                    pFile->bHasLine = 1;
                    ++pFile->ullGiven;
                    return;
                }
                CloseFile(pFile);
                return;
            }
            ++pFile->ullLines;
        }
        if (TakeLine(pFile, pLine, cbKept, cbWhole)) {
            pFile->bHasLine = 1;
            ++pFile->ullGiven;
            return;
        }
    }
}

void OpenFile(LogFile* pFile)
{
    pFile->pFile = tos_OpenRead(pFile->path.c_str());
    pFile->pBuf = pFile->pFile ? (char*)malloc(kReadBuf) : NULL;
    if (pFile->pBuf == NULL) {
        pFile->bOpenFailed = 1;
        pFile->bRead = 1;
        fprintf(stderr, "%s log: \"%s\" cannot be read: %s\n", g_szToolName, pFile->path.c_str(),
                pFile->pFile ? "out of memory" : tos_ErrorText(tos_LastError()));
        CloseFile(pFile);
        return;
    }
    log_InitReader(&pFile->reader, tos_Read, pFile->pFile, pFile->pBuf, kReadBuf);
    Advance(pFile);
}

// What the start of a file holds.
enum Look { LOOK_LOG, LOOK_EMPTY, LOOK_NO_LOG, LOOK_NO_LOG_AT_START, LOOK_UNREADABLE };

// The first log line among the lines of the first kLookBytes of p.
int FirstLogLine(char* p, uint32_t cb, uint64_t* pullTime)
{
    LogTimeCache time = {};
    LogLine line;
    int bModule;
    for (uint32_t i = 0; i < cb;) {
        char* pLf = (char*)memchr(p + i, '\n', cb - i);
        uint32_t cbLine = pLf ? (uint32_t)(pLf - (p + i)) : cb - i;
        size_t cbKept = cbLine < LOG_LINE_KEEP ? cbLine : LOG_LINE_KEEP;
        size_t iLater = log_FindLaterLine(p + i, cbKept);
        if (ParseEither(p + i, cbKept, cbLine, &time, &line, &bModule) ||
            (iLater > 0 && ParseEither(p + i + iLater, cbKept - iLater, cbLine - iLater, &time,
                                       &line, &bModule))) {
            *pullTime = line.ullTime;
            return 1;
        }
        i += cbLine + 1;
    }
    return 0;
}

Look LookAtStart(const std::string& path, uint64_t* pullFirstTime, uint32_t* pdwErr)
{
    ToolFile* pFile = tos_OpenRead(path.c_str());
    if (pFile == NULL) {
        *pdwErr = tos_LastError();
        return LOOK_UNREADABLE;
    }
    static char s_abLook[kLookBytes];
    uint32_t cbRead = 0, cbMore = 1, dwErr = 0;
    while (dwErr == 0 && cbRead < kLookBytes && cbMore > 0) {
        dwErr = tos_Read(pFile, s_abLook + cbRead, kLookBytes - cbRead, &cbMore);
        cbRead += cbMore;
    }
    char chPast = 0;
    uint32_t cbPast = 0;
    if (dwErr == 0 && cbRead == kLookBytes)
        tos_Read(pFile, &chPast, 1, &cbPast);
    tos_Close(&pFile);
    Look eLook = LOOK_NO_LOG;
    if (dwErr != 0)
        eLook = LOOK_UNREADABLE;
    else if (cbRead == 0)
        eLook = LOOK_EMPTY;
    else if (FirstLogLine(s_abLook, cbRead, pullFirstTime))
        eLook = LOOK_LOG;
    else if (cbPast > 0)
        eLook = LOOK_NO_LOG_AT_START;
    *pdwErr = dwErr;
    return eLook;
}

void Skip(LogFolders* pSet, const std::string& name, const Folder& folder, const char* pszWhy)
{
    pSet->skipped.push_back(name + " in " + folder.path + ": " + pszWhy);
}

// Takes the file when its start holds a log line.
void LookAtFile(LogFolders* pSet, const Folder& folder, const std::string& name)
{
    LogFile file = {};
    file.name = name;
    file.folder = folder.path;
    file.iFolderRank = folder.iRank;
    file.path = Joined(folder.path, name);
    file.module = ModuleOfFile(name);
    uint32_t dwErr = 0;
    switch (LookAtStart(file.path, &file.ullFirstTime, &dwErr)) {
    case LOOK_LOG:
        pSet->files.push_back(file);
        return;
    case LOOK_EMPTY:
        return Skip(pSet, name, folder, "it is empty");
    case LOOK_NO_LOG:
        return Skip(pSet, name, folder, "it holds no launcher log line");
    case LOOK_NO_LOG_AT_START:
        return Skip(pSet, name, folder,
                    "its first 64 KiB hold no launcher log line (no log, or a damaged one)");
    default:
        fprintf(stderr, "%s log: \"%s\" cannot be read: %s\n", g_szToolName, file.path.c_str(),
                tos_ErrorText(dwErr));
        return Skip(pSet, name, folder, "it cannot be read");
    }
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
    std::sort(listing.files.begin(), listing.files.end());
    for (const std::string& name : listing.files)
        LookAtFile(pSet, *pFolder, name);
    // A mailed-in archive often unpacks into a folder of its own.
    std::sort(listing.dirs.begin(), listing.dirs.end());
    for (const std::string& name : listing.dirs)
        Skip(pSet, name, *pFolder, "a folder (name it to read the logs in it)");
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

// Which of two lines of the same time comes first.
int Before(const LogFile& file1, size_t i1, const LogFile& file2, size_t i2)
{
    if (file1.line.ullTime != file2.line.ullTime)
        return file1.line.ullTime < file2.line.ullTime;
    if (file1.bModuleLine != file2.bModuleLine)
        return !file1.bModuleLine;
    if (file1.iFolderRank != file2.iFolderRank)
        return file1.iFolderRank < file2.iFolderRank;
    return i1 < i2;
}

// The same line of the same log, read from two copies of it.
int SameLine(const LogFile& file1, const LogFile& file2)
{
    const LogLine &line1 = file1.line, &line2 = file2.line;
    return line1.ullTime == line2.ullTime && file1.bModuleLine == file2.bModuleLine &&
           line1.dwThread == line2.dwThread && line1.bDetail == line2.bDetail &&
           line1.bPartial == line2.bPartial && line1.bCut == line2.bCut &&
           line1.cchText == line2.cchText &&
           memcmp(line1.pszText, line2.pszText, line1.cchText) == 0;
}

// Opens the files whose first line is not later than the lines open now;
// 0 when none is left to open and no open file has a line.
int OpenDue(LogFolders* pSet)
{
    for (;;) {
        uint64_t ullEarliest = ~0ull;
        int bAnyLine = 0;
        for (size_t i : pSet->open) {
            const LogFile& file = pSet->files[i];
            if (file.bHasLine && file.line.ullTime < ullEarliest)
                ullEarliest = file.line.ullTime;
            bAnyLine |= file.bHasLine;
        }
        if (pSet->iNext >= pSet->order.size())
            return bAnyLine;
        size_t iNext = pSet->order[pSet->iNext];
        if (bAnyLine && pSet->files[iNext].ullFirstTime > ullEarliest)
            return 1;
        ++pSet->iNext;
        OpenFile(&pSet->files[iNext]);
        pSet->open.push_back(iNext);
    }
}

} // namespace

LogFolders* logf_Open(const char* const* ppszFolders, int nFolders)
{
    LogFolders* pSet = new LogFolders();
    pSet->iCurrent = -1;
    for (int i = 0; i < nFolders; ++i) {
        Folder folder = NamedFolder(ppszFolders[i]);
        for (const Folder& earlier : pSet->folders)
            folder.bTwice |= earlier.path == folder.path;
        pSet->folders.push_back(folder);
    }
    RankFolders(&pSet->folders);
    for (Folder& folder : pSet->folders) {
        if (!folder.bTwice)
            ListFolder(pSet, &folder);
    }
    for (const Folder& folder : pSet->folders) {
        if (!folder.bTwice)
            FindSetAside(pSet, folder);
    }
    for (size_t i = 0; i < pSet->files.size(); ++i)
        pSet->order.push_back(i);
    const std::vector<LogFile>& files = pSet->files;
    std::stable_sort(pSet->order.begin(), pSet->order.end(), [&files](size_t i1, size_t i2) {
        if (files[i1].ullFirstTime != files[i2].ullFirstTime)
            return files[i1].ullFirstTime < files[i2].ullFirstTime;
        return files[i1].iFolderRank < files[i2].iFolderRank;
    });
    return pSet;
}

int logf_Next(LogFolders* pSet, LogLine* pLine, const char** ppszModule)
{
    if (pSet->iCurrent >= 0)
        Advance(&pSet->files[pSet->iCurrent]);
    pSet->iCurrent = -1;
    if (!OpenDue(pSet))
        return 0;
    size_t iBest = 0;
    for (size_t i : pSet->open) {
        const LogFile& file = pSet->files[i];
        if (file.bHasLine && (pSet->iCurrent < 0 || Before(file, i, pSet->files[iBest], iBest))) {
            pSet->iCurrent = (int)i;
            iBest = i;
        }
    }
    LogFile* pFile = &pSet->files[iBest];
    // A copy of the same log holds the line too: it is handed out once.
    for (size_t i : pSet->open) {
        LogFile* pOther = &pSet->files[i];
        if (i != iBest && pOther->bHasLine && SameLine(*pOther, *pFile)) {
            ++pOther->ullCopied;
            pOther->iCopyOf = iBest;
            Advance(pOther);
        }
    }
    pSet->open.erase(std::remove_if(pSet->open.begin(), pSet->open.end(),
                                    [pSet](size_t i) {
                                        return pSet->files[i].bRead && !pSet->files[i].bHasLine;
                                    }),
                     pSet->open.end());
    *pLine = pFile->line;
    *ppszModule = pFile->bModuleLine ? pFile->module.c_str() : "";
    return 1;
}

int logf_FoldersRead(const LogFolders* pSet)
{
    int n = 0;
    for (const Folder& folder : pSet->folders)
        n += folder.bRead;
    return n;
}

namespace
{

// "read: a.log, b.log in F", a line for each folder.
void NoteFilesRead(const LogFolders* pSet, std::vector<std::string>* pNotes)
{
    for (const Folder& folder : pSet->folders) {
        std::string names;
        for (const LogFile& file : pSet->files) {
            if (file.folder == folder.path && !folder.bTwice)
                names += (names.empty() ? "" : ", ") + file.name;
        }
        if (!names.empty())
            pNotes->push_back("read: " + names + " in " + folder.path);
        if (folder.bTwice)
            pNotes->push_back("note: " + folder.path + " is named twice; it is read once");
    }
    for (const std::string& skipped : pSet->skipped)
        pNotes->push_back("skipped: " + skipped);
}

void NoteCopy(const LogFolders* pSet, const LogFile& file, const std::string& where,
              std::vector<std::string>* pNotes)
{
    const LogFile& other = pSet->files[file.iCopyOf];
    std::string there = other.name + " in " + other.folder;
    char sz[160];
    if (file.ullCopied == file.ullGiven) {
        snprintf(sz, sizeof sz, ": each of its %llu lines is counted once",
                 (unsigned long long)file.ullGiven);
        pNotes->push_back("note: " + where + " is a copy of " + there + sz);
    } else {
        snprintf(sz, sizeof sz, "%llu of the %llu lines of ", (unsigned long long)file.ullCopied,
                 (unsigned long long)file.ullGiven);
        pNotes->push_back(std::string("note: ") + sz + where + " are in " + there +
                          " too, and counted once");
    }
}

} // namespace

std::vector<std::string> logf_Notes(const LogFolders* pSet)
{
    std::vector<std::string> notes;
    NoteFilesRead(pSet, &notes);
    char sz[160];
    for (const LogFile& file : pSet->files) {
        std::string where = file.name + " in " + file.folder;
        if (file.bOpenFailed) {
            notes.push_back("note: " + where + " cannot be read");
            continue;
        }
        const LogReader& reader = file.reader;
        if (file.bReadFailed) {
            snprintf(sz, sizeof sz, " could be read only in part, its first %llu bytes",
                     (unsigned long long)reader.ullBytes);
            notes.push_back("note: " + where + sz);
        }
        if (file.ullBad > 0) {
            snprintf(sz, sizeof sz,
                     ": %llu of its %llu lines are no log lines (damaged, or written by "
                     "something else) and are left out",
                     (unsigned long long)file.ullBad, (unsigned long long)file.ullLines);
            notes.push_back("note: " + where + sz);
        }
        if (file.ullCutShort > 0) {
            snprintf(sz, sizeof sz,
                     ": %llu of its lines stop short, with the next line right after them (a "
                     "writer stopped in mid-line, or the PC lost power)",
                     (unsigned long long)file.ullCutShort);
            notes.push_back("note: " + where + sz);
        }
        if (reader.bCutEnd)
            notes.push_back("note: " + where +
                            " ends inside a line (the file was cut, or was "
                            "still being written): that line is shown as cut, "
                            "never read as the line it would have been");
        if (reader.ullBytes >= kLargeLog) {
            snprintf(sz, sizeof sz, " is large: %llu bytes in %llu lines",
                     (unsigned long long)reader.ullBytes, (unsigned long long)file.ullLines);
            notes.push_back("note: " + where + sz);
        }
        if (file.ullCopied > 0)
            NoteCopy(pSet, file, where, &notes);
    }
    for (const std::string& aside : pSet->asideNotes)
        notes.push_back("note: " + aside);
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
