// The safe change of one value of the customisation INI file: the pair
// "KelvoCustom.ini"/"KelvoCustom.vrf" is verified first, the value written,
// and a fresh verification file produced, so that the pair keeps verifying.
#pragma once

#include "error_numbers.h"

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
