// Texts for the reasons why there is no customisation-set version, for the
// release engineers' tool.
#include "custom_set.h"

const char* CustomSetStatusText(int nStatus)
{
    switch (nStatus) {
    case CUSSET_OK:
        return "the version is there";
    case CUSSET_NO_PATH:
        return "the program's directory cannot be found, or the pair's paths are too long";
    case CUSSET_NO_INI:
        return "there is no KelvoCustomSet.ini";
    case CUSSET_NO_VRF:
        return "there is no KelvoCustomSet.vrf";
    case CUSSET_NOT_VERIFIED:
        return "KelvoCustomSet.ini does not verify against KelvoCustomSet.vrf";
    case CUSSET_BAD_LENGTH:
        return "\"Version\" in section \"Common\" is not exactly 11 characters long";
    case CUSSET_NO_DASH:
        return "\"Version\" in section \"Common\" holds no \"-\"";
    default:
        return "unknown reason";
    }
}
