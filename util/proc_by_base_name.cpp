// The stricter process check: compares only the file-name part of each
// entry's executable field, for systems that report full paths there.
#include "proc_check.h"

// The last backslash that is a real separator, never the trail byte of a
// double-byte character.
static const char* BaseNameOf(const char* pszPath)
{
    const char* pszBase = pszPath;
    for (const char* p = pszPath; *p != '\0'; p = CharNextA(p)) {
        if (*p == '\\')
            pszBase = p + 1;
    }
    return pszBase;
}

int chkProcByBaseName(const char* pszTag, const char* pszExeName)
{
    ProcSnapshot snap(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32 pe;
    if (!snap.First(&pe)) {
        procEnumRequest(pszTag, 0, 101, GetLastError());
        return PROC_CHECK_FAILED;
    }
    do {
        if (utl_AsciiEqualNoCase(BaseNameOf(pe.szExeFile), pszExeName))
            return PROC_RUNNING;
    } while (snap.Next(&pe));
    return PROC_NOT_FOUND;
}
