// Texts for the results of the safe customisation-value change, for the
// release engineers' tool.
#include "cus_ini_value.h"
#include "vrf.h"

const char* CusIniResultText(int nResult)
{
    switch (nResult) {
    case CUSINI_OK:
        return "the value has the requested text (it already had, or it was written and a "
               "fresh verification file produced)";
    case CUSINI_ERR_NO_INI:
        return "the directory holds no KelvoCustom.ini";
    case CUSINI_ERR_NOT_VERIFIED:
        return "the customisation pair does not verify; nothing was changed";
    case CUSINI_ERR_INI_WRITE:
        return "writing the value failed; KelvoCustom.ini was moved aside to KelvoCustom.ini.lzj "
               "unless that name was taken";
    case CUSINI_ERR_NULL_ARG:
        return "no section, key or value was given; nothing was changed";
    case CUSINI_ERR_VRF_WRITE:
        return "the value was written, but writing the verification file failed";
    default:
        if (nResult >= VRF_ERR_INI_SIZE && nResult <= VRF_ERR_SALT)
            return VrfErrorText(nResult); // the value was written, the pair is not sealed
        return "unknown result";
    }
}
