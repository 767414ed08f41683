// One launcher at a time, and no standard user able to stop them all. The
// launchers exclude each other through an event that only administrators can
// make: in a private namespace whose boundary holds the Administrators group
// (and, where the system offers it, the high integrity level of an elevated
// process). Launchers of earlier versions know only the event's plain name,
// so it is made too; but any user may make an object of that name first,
// in the session or (for a run as SYSTEM in session 0) in Global\, so one
// that a non-administrator made, or one of another kind, is ignored, with a
// log line. Where the system has no private namespaces, the plain name alone
// keeps launchers apart.
#include "start_checks.h"
#include "log.h"
#include "object_trust.h"
#include "win_functions.h"

#include <stdio.h>

#include <sddl.h>

namespace
{

const char kNamespace[] = "KelvoSetup";
const char kPrivateEvent[] = "KelvoSetup\\" SETUP_INSTANCE_EVENT;
// Made by an administrator and open to none but SYSTEM and Administrators:
// what a launcher of any version sees as another launcher's.
const char kEventSddl[] = "O:BAD:(A;;GA;;;SY)(A;;GA;;;BA)";

DECL_WINDOWS_FUNCTION(static, HANDLE, CreateBoundaryDescriptorA, (LPCSTR, ULONG));
DECL_WINDOWS_FUNCTION(static, BOOL, AddSIDToBoundaryDescriptor, (HANDLE*, PSID));
DECL_WINDOWS_FUNCTION(static, BOOL, AddIntegrityLabelToBoundaryDescriptor, (HANDLE*, PSID));
DECL_WINDOWS_FUNCTION(static, VOID, DeleteBoundaryDescriptor, (HANDLE));
DECL_WINDOWS_FUNCTION(static, HANDLE, CreatePrivateNamespaceA,
                      (LPSECURITY_ATTRIBUTES, LPVOID, LPCSTR));
DECL_WINDOWS_FUNCTION(static, HANDLE, OpenPrivateNamespaceA, (LPVOID, LPCSTR));
DECL_WINDOWS_FUNCTION(static, BOOLEAN, ClosePrivateNamespace, (HANDLE, ULONG));

HANDLE s_hNamespace = NULL;
HANDLE s_hPlainEvent = NULL;

void Log(const char* pszFormat, const char* pszName, DWORD dwErr)
{
    char szLine[256];
    snprintf(szLine, sizeof szLine, pszFormat, pszName, (unsigned long)dwErr);
    WriteSetupLog(szLine);
}

// The descriptor of what the launchers make here; NULL when it cannot be
// had, and the system's default descriptor serves.
PSECURITY_DESCRIPTOR NewEventDescriptor()
{
    PSECURITY_DESCRIPTOR pSd = NULL;
    ConvertStringSecurityDescriptorToSecurityDescriptorA(kEventSddl, SDDL_REVISION_1, &pSd, NULL);
    return pSd;
}

// The boundary: the Administrators group, and the high integrity level
// where the system can add one (Windows 7 on).
HANDLE NewAdminBoundary()
{
    HANDLE hBoundary = p_CreateBoundaryDescriptorA(kNamespace, 0);
    if (hBoundary == NULL)
        return NULL;
    BYTE sidAdmins[SECURITY_MAX_SID_SIZE], sidHigh[SECURITY_MAX_SID_SIZE];
    DWORD cbAdmins = sizeof sidAdmins, cbHigh = sizeof sidHigh;
    int bMade = CreateWellKnownSid(WinBuiltinAdministratorsSid, NULL, sidAdmins, &cbAdmins) &&
                p_AddSIDToBoundaryDescriptor(&hBoundary, sidAdmins);
    if (bMade && p_AddIntegrityLabelToBoundaryDescriptor != NULL &&
        CreateWellKnownSid(WinHighLabelSid, NULL, sidHigh, &cbHigh))
        p_AddIntegrityLabelToBoundaryDescriptor(&hBoundary, sidHigh);
    if (!bMade) {
        p_DeleteBoundaryDescriptor(hBoundary);
        return NULL;
    }
    return hBoundary;
}

int HaveNamespaces()
{
    HMODULE hKernel = GetModuleHandleA("kernel32.dll");
    GET_WINDOWS_FUNCTION_NO_TYPECHECK(hKernel, AddIntegrityLabelToBoundaryDescriptor);
    return GET_WINDOWS_FUNCTION_NO_TYPECHECK(hKernel, CreateBoundaryDescriptorA) != NULL &&
           GET_WINDOWS_FUNCTION_NO_TYPECHECK(hKernel, AddSIDToBoundaryDescriptor) != NULL &&
           GET_WINDOWS_FUNCTION_NO_TYPECHECK(hKernel, DeleteBoundaryDescriptor) != NULL &&
           GET_WINDOWS_FUNCTION_NO_TYPECHECK(hKernel, CreatePrivateNamespaceA) != NULL &&
           GET_WINDOWS_FUNCTION_NO_TYPECHECK(hKernel, OpenPrivateNamespaceA) != NULL &&
           GET_WINDOWS_FUNCTION_NO_TYPECHECK(hKernel, ClosePrivateNamespace) != NULL;
}

// Made here, or opened where another launcher made it; both may happen at
// once, so each is tried a few times. NULL with the error when neither can
// be done; ERROR_NOT_SUPPORTED where the system makes no boundary (Wine).
HANDLE HoldNamespace(SECURITY_ATTRIBUTES* pSa, DWORD* pdwErr)
{
    HANDLE hBoundary = HaveNamespaces() ? NewAdminBoundary() : NULL;
    if (hBoundary == NULL) {
        *pdwErr = ERROR_NOT_SUPPORTED;
        return NULL;
    }
    HANDLE hNamespace = NULL;
    for (int nTry = 0; nTry < 3 && hNamespace == NULL; ++nTry) {
        hNamespace = p_CreatePrivateNamespaceA(pSa, hBoundary, kNamespace);
        if (hNamespace == NULL && GetLastError() == ERROR_ALREADY_EXISTS)
            hNamespace = p_OpenPrivateNamespaceA(hBoundary, kNamespace);
    }
    *pdwErr = hNamespace == NULL ? GetLastError() : 0;
    p_DeleteBoundaryDescriptor(hBoundary);
    return hNamespace;
}

// The event in the private namespace: INSTANCE_HELD, INSTANCE_TAKEN, or
// INSTANCE_FAILED with the error. Where the system has no private
// namespaces, INSTANCE_HELD with g_hEvent left NULL.
InstanceHold HoldPrivateEvent(SECURITY_ATTRIBUTES* pSa, DWORD* pdwErr)
{
    s_hNamespace = HoldNamespace(pSa, pdwErr);
    if (s_hNamespace == NULL && *pdwErr == ERROR_NOT_SUPPORTED) {
        WriteSetupLog("HoldInstanceObjects: this system has no private namespaces, so the "
                      "event " SETUP_INSTANCE_EVENT " alone keeps launchers apart.");
        return INSTANCE_HELD;
    }
    // A process whose token lacks an enabled Administrators group (an
    // administrator's unelevated token) may not make it; it has nothing to
    // protect, and the administrator check has its say next.
    if (s_hNamespace == NULL && *pdwErr == ERROR_ACCESS_DENIED) {
        WriteSetupLog("HoldInstanceObjects: this process may not make the launchers' private "
                      "namespace, so the event " SETUP_INSTANCE_EVENT " alone is used.");
        return INSTANCE_HELD;
    }
    if (s_hNamespace == NULL) {
        Log("HoldInstanceObjects: the private namespace %s, bounded by Administrators, "
            "cannot be made or opened, err %lu.",
            kNamespace, *pdwErr);
        return INSTANCE_FAILED;
    }
    g_hEvent = CreateEventA(pSa, FALSE, FALSE, kPrivateEvent);
    *pdwErr = GetLastError();
    if (g_hEvent == NULL) {
        Log("HoldInstanceObjects: the event %s in the launchers' private namespace cannot be "
            "made, err %lu.",
            kPrivateEvent, *pdwErr);
        return INSTANCE_FAILED;
    }
    return *pdwErr == ERROR_ALREADY_EXISTS ? INSTANCE_TAKEN : INSTANCE_HELD;
}

// The plain name, as launchers of earlier versions make it. Theirs is owned
// by an administrator (Administrators, or SYSTEM for a deployment agent):
// another launcher runs. Anyone else's is ignored.
InstanceHold HoldPlainEvent(SECURITY_ATTRIBUTES* pSa)
{
    HANDLE hEvent = CreateEventA(pSa, FALSE, FALSE, SETUP_INSTANCE_EVENT);
    if (hEvent == NULL && GetLastError() == ERROR_INVALID_OWNER) // an owner we may not set
        hEvent = CreateEventA(NULL, FALSE, FALSE, SETUP_INSTANCE_EVENT);
    DWORD dwErr = GetLastError();
    if (hEvent == NULL) {
        Log("HoldInstanceObjects: %s is taken by an object no launcher makes (another kind, or "
            "one it may not open); it is ignored, err %lu.",
            SETUP_INSTANCE_EVENT, dwErr);
        return INSTANCE_HELD;
    }
    if (dwErr != ERROR_ALREADY_EXISTS) {
        s_hPlainEvent = hEvent;
        return INSTANCE_HELD;
    }
    if (utl_HasTrustedOwner(hEvent, SE_KERNEL_OBJECT)) {
        CloseHandle(hEvent);
        return INSTANCE_TAKEN;
    }
    CloseHandle(hEvent);
    WriteSetupLog("HoldInstanceObjects: the event " SETUP_INSTANCE_EVENT " was made by someone "
                  "who is not an administrator; it is ignored.");
    return INSTANCE_HELD;
}

} // namespace

InstanceHold HoldInstanceObjects(DWORD* pdwErr)
{
    *pdwErr = 0;
    PSECURITY_DESCRIPTOR pSd = NewEventDescriptor();
    SECURITY_ATTRIBUTES sa = {sizeof sa, pSd, FALSE};
    SECURITY_ATTRIBUTES* pSa = pSd != NULL ? &sa : NULL;
    InstanceHold eHold = HoldPrivateEvent(pSa, pdwErr);
    if (eHold == INSTANCE_HELD)
        eHold = HoldPlainEvent(pSa);
    if (pSd != NULL)
        LocalFree(pSd);
    if (eHold == INSTANCE_HELD && g_hEvent == NULL) { // no namespace: the plain event is ours
        g_hEvent = s_hPlainEvent;
        s_hPlainEvent = NULL;
    }
    if (eHold != INSTANCE_HELD)
        ReleaseInstanceEvent();
    return eHold;
}

void ReleaseInstanceEvent()
{
    if (g_hEvent != NULL)
        CloseHandle(g_hEvent);
    g_hEvent = NULL;
    if (s_hPlainEvent != NULL)
        CloseHandle(s_hPlainEvent);
    s_hPlainEvent = NULL;
    if (s_hNamespace != NULL)
        p_ClosePrivateNamespace(s_hNamespace, 0);
    s_hNamespace = NULL;
}
