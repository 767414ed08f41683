// Every launcher run ends with one setup-log line that names its exit code
// and what it means; a refused start first says so in a line of its own.
// The endings, their exit codes and meanings are in run_outcomes.h.
#pragma once

#include <windows.h>

#include "run_outcomes.h"

// "start refused: <meaning>." in the setup log, with the system error when
// there is one (dwErr nonzero).
void LogRefusedStart(RunOutcome eOutcome, DWORD dwErr);
// Writes "exit code N: <meaning>." to the setup log and returns N, for
// WinMain to return. dwRunCode is the inner installer's exit code or the
// failed install's error number, for the outcomes that pass it on.
int EndRun(RunOutcome eOutcome, DWORD dwRunCode);
