// The logs of one or more log folders read as one: a launcher's folder
// c:\KelvoLog, a copy mailed in, and the folders the launchers set aside
// beside it (KelvoLog.untrusted.<n>), which may hold lines of the same
// runs. Their setup logs (setup<yyyymmdd><0d>.log) and module logs
// (stp_<module><yyyymmdd><0d>.log) are read a day at a time, all files of
// the day at once, and their lines handed out in order of time (within a
// second, a folder set aside before those set aside later, and those before
// the others: each holds what was written before it was set aside). A file's
// troubles (it cannot be read, is cut, holds lines that are no log lines,
// is large) are kept as notes; nothing in a file stops the reading.
#pragma once

#include "log_lines.h"

#include <string>
#include <vector>

struct LogFolders;

LogFolders* logf_Open(const char* const* ppszFolders, int nFolders);
// The next line in order of time, setup-log lines before module-log lines
// of the same second: 1, with *ppszModule the module's name ("" for the
// setup log); 0 once every file is read. The line is valid until the next
// call.
int logf_Next(LogFolders* pSet, LogLine* pLine, const char** ppszModule);
// How many of the folders could be listed.
int logf_FoldersRead(const LogFolders* pSet);
// What the reading found worth telling, one text for each, once every line
// has been read: troubles of files, and folders set aside beside the ones
// read that were not named.
std::vector<std::string> logf_Notes(const LogFolders* pSet);
void logf_Close(LogFolders** ppSet);
