// One line of English for each packer and unpacker error number, for the
// release engineers' tool and the error page; the numbers are the package
// code's own constants.
#include "package_format.h"

struct PkgErrorText {
    uint32_t dwErr;
    const char* pszText;
};

static const PkgErrorText kTexts[] = {
    {PKG_ERR_NULL_ARG, "a path argument is missing"},
    {PKG_ERR_PATH_TOO_LONG, "a path is too long: 260 characters or more (on Linux, 4096 bytes)"},
    {PKG_ERR_NO_SOURCE, "no file is there (a folder is no file)"},
    {PKG_ERR_NO_PACKAGE, "there is no package file to append to"},
    {PKG_ERR_DELETE_PACKAGE, "the existing package file cannot be deleted"},
    {PKG_ERR_SIZE,
     "the file size cannot be read, is 4 GiB or more, changed while the file was packed, or the "
     "offset lies outside the file"},
    {PKG_ERR_OPEN, "a file cannot be opened"},
    {PKG_ERR_WRITE, "writing failed"},
    {PKG_ERR_NO_DEST_DIR, "the destination directory does not exist"},
    {PKG_ERR_READ_HEADER, "there are no 17 header bytes at the offset"},
    {PKG_ERR_BAD_HEADER, "no package header at the offset"},
    {PKG_ERR_NAME_LENGTH, "a record's name length is unreadable or too long (64 bytes at most, "
                          "and the destination path plus name below 260)"},
    {PKG_ERR_DATA_LENGTH, "a record's data length is unreadable"},
    {PKG_ERR_RECORD_OVERRUN, "a record runs past the end of the package"},
    {PKG_ERR_READ_NAME, "a record's name cannot be read in full"},
    {PKG_ERR_OPEN_DEST, "a record's name is refused or its file cannot be opened for writing"},
    {PKG_ERR_READ_DATA, "a record's data cannot be read in full"},
};

const char* pkg_ErrorText(uint32_t dwErr)
{
    for (const PkgErrorText& text : kTexts) {
        if (text.dwErr == dwErr)
            return text.pszText;
    }
    return NULL;
}
