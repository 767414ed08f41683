// The logs of one or more log folders read as one: a launcher's folder
// c:\KelvoLog, a copy mailed in, and the folders the launchers set aside
// beside it (KelvoLog.untrusted.<n>), which may hold lines of the same
// runs. A file is read for what it holds, whatever its name ("setup.log",
// "setup2026121004 (1).log"): one whose first 64 KiB hold a launcher's log
// line is read, any other is skipped and told of. Setup-log lines and
// module-log lines are told apart by their thread prefix ("[1a4] " against
// "[0x1a4] "); a module's name is its file's ("stp_UtlFile...") or, for a
// file named otherwise, that name. Lines are handed out in order of time
// (within a second, setup-log lines before module-log lines, then a folder
// set aside before those set aside later, and those before the others: each
// holds what was written before it was set aside). A line that another file
// holds too, at the same time, of the same thread and kind, word for word,
// comes from a copy of the same log and is handed out once. A file's
// troubles (it cannot be read, is cut, holds lines that are no log lines,
// is large, is a copy) are kept as notes; nothing in a file stops the
// reading.
#pragma once

#include "log_lines.h"

#include <string>
#include <vector>

struct LogFolders;

LogFolders* logf_Open(const char* const* ppszFolders, int nFolders);
// The next line in order of time: 1, with *ppszModule the module's name
// ("" for a setup-log line); 0 once every file is read. The line is valid
// until the next call.
int logf_Next(LogFolders* pSet, LogLine* pLine, const char** ppszModule);
// How many of the folders could be listed.
int logf_FoldersRead(const LogFolders* pSet);
// What the reading found worth telling, one text for each, once every line
// has been read: the files read and those skipped (and why), the troubles of
// files, and folders set aside beside the ones read that were not named.
std::vector<std::string> logf_Notes(const LogFolders* pSet);
void logf_Close(LogFolders** ppSet);
