// Calls that the launchers look up at run time instead of importing: newer
// than the oldest systems they run on, in ntdll (no import library ships the
// native calls), or in a library that must come from the system directory.
// Each is declared once with its pointer type t_<name> and pointer
// p_<name>; where the system headers declare the call too, the compiler
// checks that the hand-written type matches theirs.
#pragma once

#include <windows.h>

// The flag of the calls that load from the system directory alone; older
// headers lack it.
#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif

#define WINDOWS_FUNCTION_TYPE(rettype, name, params) typedef rettype(WINAPI* t_##name) params

#define DECL_WINDOWS_FUNCTION(linkage, rettype, name, params)                                      \
    WINDOWS_FUNCTION_TYPE(rettype, name, params);                                                  \
    linkage t_##name p_##name

// The looked-up pointer as an expression of type t_<name>: NULL when the
// module or the call is missing.
#define WINDOWS_FUNCTION_NO_TYPECHECK(module, name)                                                \
    ((module) != NULL ? (t_##name)(void*)GetProcAddress((module), #name) : (t_##name)NULL)
#define WINDOWS_FUNCTION(module, name)                                                             \
    (sizeof((t_##name)NULL == &name) ? WINDOWS_FUNCTION_NO_TYPECHECK(module, name)                 \
                                     : WINDOWS_FUNCTION_NO_TYPECHECK(module, name))

#define GET_WINDOWS_FUNCTION(module, name) (p_##name = WINDOWS_FUNCTION(module, name))
#define GET_WINDOWS_FUNCTION_NO_TYPECHECK(module, name)                                            \
    (p_##name = WINDOWS_FUNCTION_NO_TYPECHECK(module, name))
