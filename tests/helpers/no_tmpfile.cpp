// Loaded with LD_PRELOAD, a file system without O_TMPFILE (NFS, many FUSE
// file systems) as far as one program sees: an open that asks for a
// nameless file fails as it fails there, every other open goes through.
// For the tests of kelvo-setuptool's named temporary files.
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <stdarg.h>

namespace
{

typedef int (*OpenAtFn)(int fd, const char* pszPath, int nFlags, ...);

int OpenAt(const char* pszReal, int fd, const char* pszPath, int nFlags, int nMode)
{
    if ((nFlags & O_TMPFILE) == O_TMPFILE) {
        errno = EOPNOTSUPP;
        return -1;
    }
    OpenAtFn pfnReal = (OpenAtFn)dlsym(RTLD_NEXT, pszReal);
    return pfnReal(fd, pszPath, nFlags, nMode);
}

} // namespace

// glibc has both names for the one call.
#define OPENAT_STANDIN(name)                                                                       \
    extern "C" int name(int fd, const char* pszPath, int nFlags, ...)                              \
    {                                                                                              \
        va_list args;                                                                              \
        va_start(args, nFlags);                                                                    \
        int nMode = (nFlags & (O_CREAT | O_TMPFILE)) ? va_arg(args, int) : 0;                      \
        va_end(args);                                                                              \
        return OpenAt(#name, fd, pszPath, nFlags, nMode);                                          \
    }
OPENAT_STANDIN(openat)
OPENAT_STANDIN(openat64)
