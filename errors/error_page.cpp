// kelvo-error-page: prints the part of docs/errors.md that the error catalogue
// makes: the launchers' endings with their last setup-log lines (a table that
// ends the page's own section on exit codes), then each
// layer's numbers with their meanings, log lines and what to do, and the
// inner installer's exit codes that the catalogue names. With
// --names, the constants' names and numbers, one a line, for the test that
// holds the catalogue to error_numbers.h. Refuses (exit 1) a catalogue whose
// numbers are not unique and ascending, or an entry without a text or layer.
#include "error_catalogue.h"
#include "run_outcomes.h"

#include <stdio.h>
#include <string.h>

namespace
{

// A table cell: a "|" would end it.
void PrintCell(const char* pszText)
{
    if (*pszText != '\0')
        printf(" ");
    for (const char* p = pszText; *p != '\0'; ++p) {
        if (*p == '|')
            printf("\\");
        putchar(*p);
    }
    printf(" |");
}

// Every ending that is no failed install has what to do; the installer's
// codes are in ascending order.
int CheckEndings()
{
    for (int i = 0; i < RUN_OUTCOME_COUNT; ++i) {
        RunOutcome eOutcome = (RunOutcome)i;
        if (!RunOutcomePassesCodeOn(eOutcome) && err_EndingWhatToDo(eOutcome)[0] == '\0') {
            fprintf(stderr, "kelvo-error-page: the ending \"%s\" has no what to do\n",
                    RunOutcomeMeaning(eOutcome));
            return 0;
        }
    }
    size_t cCodes = 0;
    const InstallerCode* pCodes = err_InstallerCodes(&cCodes);
    for (size_t i = 1; i < cCodes; ++i) {
        if (pCodes[i].dwCode <= pCodes[i - 1].dwCode) {
            fprintf(stderr,
                    "kelvo-error-page: the installer's code %u is not above the one "
                    "before it\n",
                    (unsigned)pCodes[i].dwCode);
            return 0;
        }
    }
    return 1;
}

int CheckCatalogue(const ErrorEntry* pEntries, size_t cEntries, const ErrorLayerInfo* pLayers,
                   size_t cLayers)
{
    unsigned uKnown = 0;
    for (size_t i = 0; i < cLayers; ++i)
        uKnown |= pLayers[i].uLayer;
    for (size_t i = 0; i < cEntries; ++i) {
        const ErrorEntry* p = &pEntries[i];
        const char* pszWrong = NULL;
        if (i > 0 && p->dwNumber <= pEntries[i - 1].dwNumber)
            pszWrong = "is not above the number before it";
        else if (p->uLayers == 0 || (p->uLayers & ~uKnown) != 0)
            pszWrong = "has no layer, or one the page does not know";
        else if (p->pszMeaning[0] == '\0' || p->pszWhatToDo[0] == '\0')
            pszWrong = "has no meaning or no what to do";
        if (pszWrong != NULL) {
            fprintf(stderr, "kelvo-error-page: %u (%s) %s\n", (unsigned)p->dwNumber, p->pszName,
                    pszWrong);
            return 0;
        }
    }
    return CheckEndings();
}

// "351 to 358", "1001, 1014, 1015, 1101": runs of three or more as a range.
void PrintNumbers(const ErrorEntry* pEntries, size_t cEntries, unsigned uLayer)
{
    const char* pszSep = "";
    for (size_t i = 0; i < cEntries;) {
        if ((pEntries[i].uLayers & uLayer) == 0) {
            ++i;
            continue;
        }
        size_t j = i;
        while (j + 1 < cEntries && (pEntries[j + 1].uLayers & uLayer) != 0 &&
               pEntries[j + 1].dwNumber == pEntries[j].dwNumber + 1)
            ++j;
        if (j - i >= 2) {
            printf("%s%u to %u", pszSep, (unsigned)pEntries[i].dwNumber,
                   (unsigned)pEntries[j].dwNumber);
        } else {
            for (size_t k = i; k <= j; ++k, pszSep = ", ")
                printf("%s%u", pszSep, (unsigned)pEntries[k].dwNumber);
        }
        pszSep = ", ";
        i = j + 1;
    }
}

const char* ExitCodeSentence(ErrExit eExit)
{
    switch (eExit) {
    case ERR_EXIT_NUMBER:
        return "Exit code: a launcher that ends with one of these exits with the number itself.";
    case ERR_EXIT_TOOL:
        return "Exit code: 1 (`setuptool`).";
    default:
        return "Exit code: none; no program ends with these.";
    }
}

void PrintLayer(const ErrorEntry* pEntries, size_t cEntries, const ErrorLayerInfo* pLayer)
{
    int bLines = 0;
    for (size_t i = 0; i < cEntries; ++i)
        bLines |= (pEntries[i].uLayers & pLayer->uLayer) != 0 && pEntries[i].pszLogLines[0];
    printf("\n## %s: ", pLayer->pszTitle);
    PrintNumbers(pEntries, cEntries, pLayer->uLayer);
    printf("\n\n%s %s\n\n", pLayer->pszWhere, ExitCodeSentence(pLayer->eExit));
    printf(bLines ? "| N | meaning | log lines | what to do |\n|---|---|---|---|\n"
                  : "| N | meaning | what to do |\n|---|---|---|\n");
    for (size_t i = 0; i < cEntries; ++i) {
        const ErrorEntry* p = &pEntries[i];
        if ((p->uLayers & pLayer->uLayer) == 0)
            continue;
        printf("| %u |", (unsigned)p->dwNumber);
        PrintCell(p->pszMeaning);
        if (bLines)
            PrintCell(p->pszLogLines);
        PrintCell(p->pszWhatToDo);
        printf("\n");
    }
}

void PrintEndings()
{
    printf("\n| exit code | the run's last setup-log line | what to do |\n|---|---|---|\n");
    for (int i = 0; i < RUN_OUTCOME_COUNT; ++i) {
        RunOutcome eOutcome = (RunOutcome)i;
        char szCode[64];
        if (eOutcome == RUN_INSTALLER_ENDED)
            snprintf(szCode, sizeof szCode, "the inner installer's own code");
        else if (RunOutcomePassesCodeOn(eOutcome))
            snprintf(szCode, sizeof szCode, "N, the error number");
        else
            snprintf(szCode, sizeof szCode, "%u", (unsigned)RunOutcomeExitCode(eOutcome, 0));
        printf("| %s | `exit code %s: %s.` |", szCode,
               RunOutcomePassesCodeOn(eOutcome) ? "N" : szCode, RunOutcomeMeaning(eOutcome));
        if (eOutcome == RUN_INSTALLER_ENDED)
            PrintCell("as for the installer's code (the inner installer's codes, below)");
        else if (RunOutcomePassesCodeOn(eOutcome))
            PrintCell("as for N (below)");
        else
            PrintCell(err_EndingWhatToDo(eOutcome));
        printf("\n");
    }
}

// The inner installer's codes that the catalogue names, decimal as the
// launchers pass them on and in hexadecimal as Windows names them.
void PrintInstallerCodes()
{
    size_t cCodes = 0;
    const InstallerCode* pCodes = err_InstallerCodes(&cCodes);
    printf("\n## The inner installer's own exit codes\n\n"
           "A launcher that ran the inner installer ends with the installer's own exit code: 0 "
           "done, 3010 done and a restart is needed, 1641 done and the installer started the "
           "restart. `setuptool log` names these others when it shows an install that failed; "
           "any other code is the installer's own, which its makers know. %s\n\n",
           err_InstallerLog());
    printf("| code | hexadecimal | name | meaning | what to do |\n|---|---|---|---|---|\n");
    for (size_t i = 0; i < cCodes; ++i) {
        printf("| %u | 0x%08X |", (unsigned)pCodes[i].dwCode, (unsigned)pCodes[i].dwCode);
        PrintCell(pCodes[i].pszName);
        PrintCell(pCodes[i].pszMeaning);
        PrintCell(pCodes[i].pszWhatToDo);
        printf("\n");
    }
}

} // namespace

int main(int argc, char** argv)
{
    size_t cEntries = 0, cLayers = 0;
    const ErrorEntry* pEntries = err_Entries(&cEntries);
    const ErrorLayerInfo* pLayers = err_Layers(&cLayers);
    if (!CheckCatalogue(pEntries, cEntries, pLayers, cLayers))
        return 1;
    if (argc == 2 && strcmp(argv[1], "--names") == 0) {
        for (size_t i = 0; i < cEntries; ++i)
            printf("%s %u\n", pEntries[i].pszName, (unsigned)pEntries[i].dwNumber);
        return 0;
    }
    if (argc != 1) {
        fprintf(stderr, "usage: kelvo-error-page [--names]\n");
        return 2;
    }
    PrintEndings();
    for (size_t i = 0; i < cLayers; ++i)
        PrintLayer(pEntries, cEntries, &pLayers[i]);
    PrintInstallerCodes();
    return 0;
}
