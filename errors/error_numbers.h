// Every error number the launchers, their libraries and the tools set: one
// enum per layer, and each layer reports its numbers one way. The numbers are
// stored in logs and read by support staff and pipelines, so a number keeps
// its meaning for good and a new failure gets a new number. What each means
// and what to do about it is in the error catalogue (error_catalogue.h),
// which only the tools link: the launchers carry the numbers, not the texts.
// Portable: no Windows headers.
#pragma once

// The package code, packer and unpacker: a function returns 1, or 0 with the
// number in its error out-parameter. For a source that cannot be read the
// packer leaves the system's own code there instead (it logs the same code).
enum {
    PKG_ERR_NULL_ARG = 150,
    PKG_ERR_PATH_TOO_LONG = 151,
    PKG_ERR_NO_SOURCE = 152,
    PKG_ERR_NO_PACKAGE = 153,
    PKG_ERR_DELETE_PACKAGE = 154,
    PKG_ERR_SIZE = 155,
    PKG_ERR_OPEN = 156,
    PKG_ERR_WRITE = 157,
    PKG_ERR_NO_DEST_DIR = 158,
    PKG_ERR_READ_HEADER = 159,
    PKG_ERR_BAD_HEADER = 160,
    PKG_ERR_NAME_LENGTH = 161,
    PKG_ERR_DATA_LENGTH = 162,
    PKG_ERR_RECORD_OVERRUN = 163,
    PKG_ERR_READ_NAME = 164,
    PKG_ERR_OPEN_DEST = 165,
    PKG_ERR_READ_DATA = 166,
};

// The verification-file writers: they return nonzero when written, or 0 with
// the number in *pnError (left as it was after a write that succeeded).
enum {
    VRF_ERR_INI_SIZE = 301,
    VRF_ERR_INI_LARGE = 302,
    VRF_ERR_INI_OPEN = 303,
    VRF_ERR_CREATE = 304,
    VRF_ERR_WRITE = 305,
    VRF_ERR_SALT = 306,
};

// The launchers' install sequences, setup's and setup-lite's: a step returns
// 1, or 0 with the number in *pdwErr (LaunchFail); the package code's numbers
// pass through unchanged. A failed sequence logs "install failed with Err N."
// and the launcher exits with N.
enum {
    LAUNCH_ERR_WORK_DIR = 351,
    LAUNCH_ERR_OWN_SIZE = 352,
    LAUNCH_ERR_SETUP_FLAG = 353,   // setup-lite: "SetupFlag" cannot be written
    LAUNCH_ERR_FLAG_NOT_SET = 354, // setup-lite: the installer ended without setting it
    LAUNCH_ERR_NO_HELPER = 355,    // the companion (setup) or the registration tool (lite)
    LAUNCH_ERR_NO_INSTALLER = 356,
    LAUNCH_ERR_HELPER_START = 357, // the system would not start the companion or the tool
    LAUNCH_ERR_INSTALLER_START = 358,
};

// The file utilities: utl_ClearReadOnly returns the number, 0 when done.
enum {
    UTL_ERR_NO_FILE = 1001, // the file to be changed does not exist
    UTL_ERR_GET_ATTRIBUTES = 1014,
    UTL_ERR_SET_ATTRIBUTES = 1015,
    UTL_ERR_NULL_PATH = 1101,
};

// The customisation extras: the safe change of a value (SetCusIniValue) and
// the customisation-set version (ReadCustomSetVersion) return the number, 0
// when done. A value whose verification file failed passes the writer's
// number (301 to 306) on.
enum {
    CUSINI_OK = 0,
    // The file utilities' number for the same failure: the file to be
    // changed, here KelvoCustom.ini, does not exist. One number, one meaning.
    CUSINI_ERR_NO_INI = UTL_ERR_NO_FILE,
    CUSINI_ERR_NOT_VERIFIED = 1002, // the pair does not verify; nothing was changed
    CUSINI_ERR_INI_WRITE = 1003,    // the write failed; the INI file was moved aside
    CUSINI_ERR_NULL_ARG = 1004,     // no section, key or value, or an empty section or key;
                                    // nothing was read or changed
    CUSINI_ERR_VRF_WRITE = 1005,    // the verification file failed without an error number

    CUSSET_OK = 0,
    CUSSET_ERR_NO_PATH = 1006, // the program's directory is unknown, or the paths do not fit
    CUSSET_ERR_NO_INI = 1007,
    CUSSET_ERR_NO_VRF = 1008,
    CUSSET_ERR_NOT_VERIFIED = 1009,
    CUSSET_ERR_BAD_LENGTH = 1010, // the version is not 11 characters long
    CUSSET_ERR_NO_DASH = 1011,    // the version holds no "-"
};
