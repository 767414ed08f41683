// The two fixed names of the package format.
#include "package.h"

const char g_szPkgMarker[PKG_MARKER_LEN + 1] = "^-=Kelvo=-^ Mirk ";
const char g_szPkgEndName[] = "^Kelvo_end^";
