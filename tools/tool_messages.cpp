// The tool's failure lines: the meaning and what to do of every number come
// from the error catalogue, what failed and the file from the command.
#include "tool_messages.h"
#include "error_catalogue.h"
#include "setuptool.h"
#include "tool_os.h"

#include <stdio.h>
#include <string.h>

int tool_Fail(const char* pszCommand, const char* pszFile, const char* pszWhat, uint32_t dwErr,
              uint32_t dwSysErr)
{
    fprintf(stderr, "%s %s: ", g_szToolName, pszCommand);
    if (pszFile != NULL)
        fprintf(stderr, "\"%s\"%s", pszFile, pszWhat ? " " : "");
    if (pszWhat != NULL)
        fputs(pszWhat, stderr);
    if (dwErr != 0)
        fprintf(stderr, "%serror %u: %s", pszFile || pszWhat ? ": " : "", (unsigned)dwErr,
                err_Meaning(dwErr));
    if (dwSysErr != 0)
        fprintf(stderr, " (%s)", tos_ErrorText(dwSysErr));
    const char* pszToDo = dwErr != 0 ? err_WhatToDo(dwErr) : "";
    fprintf(stderr, ".%s%s\n", *pszToDo ? " " : "", pszToDo);
    return TOOL_FAILED;
}

// What the destination refused concerns the folder; a listing has none. A
// name refused without a system error may be one of another code page.
int tool_FailWalk(const char* pszCommand, const char* pszPackage, const char* pszDest,
                  const char* pszRecord, uint32_t dwErr, uint32_t dwSysErr, uint32_t uCodePage)
{
    int bDest =
        strcmp(pszDest, ".") != 0 && (dwErr == PKG_ERR_NO_DEST_DIR || dwErr == PKG_ERR_WRITE ||
                                      (dwErr == PKG_ERR_OPEN_DEST && dwSysErr != 0));
    char szFile[2 * TOOL_PATH_BUF];
    if (bDest && pszRecord != NULL && dwErr != PKG_ERR_NO_DEST_DIR)
        snprintf(szFile, sizeof szFile, "%s%c%s", pszDest, g_chToolSeparator, pszRecord);
    else
        snprintf(szFile, sizeof szFile, "%s", bDest ? pszDest : pszPackage);
    tool_Fail(pszCommand, szFile, NULL, dwErr, dwSysErr);
    if (dwSysErr == 0)
        tool_NoteCodePage(dwErr, uCodePage);
    return TOOL_FAILED;
}

void tool_NoteCodePage(uint32_t dwErr, uint32_t uCodePage)
{
    if (dwErr == PKG_ERR_OPEN_DEST && uCodePage == 0)
        fprintf(stderr, "note: names are read in the default code page; a package made for "
                        "another is read with --codepage 1252 or --codepage 936\n");
}
