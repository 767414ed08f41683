// Texts for the writers' error numbers, for the release engineers' tool.
#include "vrf.h"

const char* VrfErrorText(int nError)
{
    switch (nError) {
    case VRF_ERR_INI_SIZE:
        return "the INI file's size could not be obtained (missing or unreadable)";
    case VRF_ERR_INI_LARGE:
        return "the INI file is too large";
    case VRF_ERR_INI_OPEN:
        return "the INI file could not be opened for reading";
    case VRF_ERR_CREATE:
        return "the verification file could not be created";
    case VRF_ERR_WRITE:
        return "writing the verification file failed";
    case VRF_ERR_SALT:
        return "the salt could not be built";
    default:
        return "unknown error";
    }
}
