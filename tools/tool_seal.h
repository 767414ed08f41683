// What the tool says of a setup's seal: check's report line, and the
// failure list and unpack add for a setup whose package does not match it.
#pragma once

#include "record_walk.h"

#include <stddef.h>

// The text after "seal: " for check: "matches", "none (...)", "does not
// match (...)", or NULL when the walk never reached the package.
const char* tool_SealReport(const PkgSealCheck* pCheck, char* pszOut, size_t cbOut);
// For a damaged setup, its failure on stderr (error 1620) and 1; else 0.
int tool_FailSeal(const char* pszCommand, const char* pszFile, const PkgSealCheck* pCheck);
// The seal as one JSON value: null when the walk never reached the
// package, else {"state": "matches" | "none" | "does not match", ...} with
// the sealed and the found length and digest where they are known.
void tool_JsonSeal(const PkgSealCheck* pCheck);
