// The safe change of one value of the customisation INI file: the pair
// "KelvoCustom.ini"/"KelvoCustom.vrf" is verified first, the value written,
// and a fresh verification file produced, so that the pair keeps verifying.
#pragma once

// Results of SetCusIniValue besides the writers' error numbers 301 to 306.
enum {
    CUSINI_OK = 0,                  // the value has the requested text
    CUSINI_ERR_NO_INI = 1001,       // the directory holds no KelvoCustom.ini
    CUSINI_ERR_NOT_VERIFIED = 1002, // the pair does not verify; nothing was changed
    CUSINI_ERR_INI_WRITE = 1003,    // the write failed; the INI file was moved aside
    CUSINI_ERR_NULL_ARG = 1004,     // no section, key or value, or an empty section or key;
                                    // nothing was read or changed
    CUSINI_ERR_VRF_WRITE = 1005,    // the verification file failed without an error number
};

// Sets pszKey in pszSection of pszDir\KelvoCustom.ini to pszValue.
// - A value that already has the text (byte for byte) is left alone, pair
//   and all, with CUSINI_OK, whether the pair verifies or not.
// - A pair that does not verify is refused with CUSINI_ERR_NOT_VERIFIED: a
//   fresh .vrf file would seal whatever edit broke it.
// - When the INI file cannot be written it is moved aside to
//   "KelvoCustom.ini.lzj" (unless that name is taken) and the result is
//   CUSINI_ERR_INI_WRITE; the .vrf file is left as it was.
// - When the verification file cannot be written after the value was, the
//   writer's error number (301 to 306) is returned, or CUSINI_ERR_VRF_WRITE.
// Nothing is logged.
int SetCusIniValue(const char* pszDir, const char* pszSection, const char* pszKey,
                   const char* pszValue);

// What a result of SetCusIniValue means, for messages.
const char* CusIniResultText(int nResult);
