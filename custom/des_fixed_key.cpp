// The fixed password key and its schedules, built on first use and kept for
// the life of the process. The launcher calls the cipher from its one
// user-interface thread only, so the set-up is not guarded.
#include "des.h"
#include "des_text.h"

#include <stddef.h>

static const uint8_t kFixedKey[8] = {'t', 'o', 'b', 'i', 'x', '5', '9', '2'};

static DesContext g_fixedKeyContext;
static int g_bFixedKeyReady = 0;

const DesContext* des_FixedKeyContext()
{
    if (!g_bFixedKeyReady) {
        if (des_SetKey(kFixedKey, &g_fixedKeyContext) != 0)
            return NULL;
        g_bFixedKeyReady = 1;
    }
    return &g_fixedKeyContext;
}
