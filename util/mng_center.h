// Readers of the optional management-centre settings "KelvoMngCenter.ini"
// in the program's own directory, section "config". Each call reads the
// file anew; a missing file (or a directory of that name) reads as 0.
#pragma once

// Sets g_bLogDetail from "LogDetail".
void utl_LoadLogDetailSwitch();
int utl_GetLogDetail();
// "bUpdEnabe", as is.
int utl_IsUpdateEnabled();
