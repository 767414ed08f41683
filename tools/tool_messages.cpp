// The tool's failure lines: the meaning and what to do of every number come
// from the error catalogue, what failed and the file from the command.
#include "tool_messages.h"
#include "error_catalogue.h"
#include "setuptool.h"
#include "tool_os.h"

#include <stdio.h>
#include <string.h>

const char g_szToolStdin[] = "standard input";
const char g_szToolStdout[] = "standard output";

int tool_Fail(const char* pszCommand, const char* pszFile, const char* pszWhat, uint32_t dwErr,
              uint32_t dwSysErr)
{
    return tool_FailToDo(pszCommand, pszFile, pszWhat, dwErr, dwSysErr,
                         dwErr != 0 ? err_ToolWhatToDo(dwErr) : "");
}

int tool_FailToDo(const char* pszCommand, const char* pszFile, const char* pszWhat, uint32_t dwErr,
                  uint32_t dwSysErr, const char* pszToDo)
{
    fprintf(stderr, "%s %s: ", g_szToolName, pszCommand);
    if (pszFile == g_szToolStdin || pszFile == g_szToolStdout)
        fprintf(stderr, "%s%s", pszFile, pszWhat ? " " : "");
    else if (pszFile != NULL)
        fprintf(stderr, "\"%s\"%s", pszFile, pszWhat ? " " : "");
    if (pszWhat != NULL)
        fputs(pszWhat, stderr);
    if (dwErr != 0)
        fprintf(stderr, "%serror %u: %s", pszFile || pszWhat ? ": " : "", (unsigned)dwErr,
                err_Meaning(dwErr));
    if (dwSysErr != 0)
        fprintf(stderr, " (%s)", tos_ErrorText(dwSysErr));
    fprintf(stderr, ".%s%s\n", *pszToDo ? " " : "", pszToDo);
    return TOOL_FAILED;
}

// What the destination refused concerns the folder, or the file there that
// a record's name took (said for what it is where the system tells); a
// listing has none. A name refused without a system error may be one of
// another code page.
int tool_FailWalk(const char* pszCommand, const char* pszPackage, const char* pszDest,
                  const char* pszRecord, uint32_t dwErr, uint32_t dwSysErr, uint32_t uCodePage)
{
    int bDest =
        strcmp(pszDest, ".") != 0 && (dwErr == PKG_ERR_NO_DEST_DIR || dwErr == PKG_ERR_WRITE ||
                                      (dwErr == PKG_ERR_OPEN_DEST && dwSysErr != 0));
    char szFile[2 * TOOL_PATH_BUF];
    const char* pszWhat = NULL;
    if (bDest && pszRecord != NULL && dwErr != PKG_ERR_NO_DEST_DIR) {
        int cch = snprintf(szFile, sizeof szFile, "%s%c", pszDest, g_chToolSeparator);
        for (const char* p = pszRecord; *p != '\0' && cch + 1 < (int)sizeof szFile; ++p)
            szFile[cch++] = *p == '\\' ? g_chToolSeparator : *p;
        szFile[cch] = '\0';
        if (dwErr == PKG_ERR_OPEN_DEST)
            pszWhat = tos_WhatStandsThere(szFile);
    } else {
        snprintf(szFile, sizeof szFile, "%s", bDest ? pszDest : pszPackage);
    }
    if (pszWhat != NULL)
        tool_FailToDo(pszCommand, szFile, pszWhat, dwErr, 0,
                      "Unpack into a fresh folder, or remove what stands there.");
    else if (bDest && dwErr == PKG_ERR_OPEN_DEST)
        tool_FailToDo(pszCommand, szFile, NULL, dwErr, dwSysErr,
                      "Check the permissions of the folder and the file, or unpack into a fresh "
                      "folder.");
    else
        tool_Fail(pszCommand, bDest ? szFile : tool_InputName(pszPackage), NULL, dwErr, dwSysErr);
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
