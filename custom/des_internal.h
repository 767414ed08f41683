// What the DES files share among themselves; callers use des.h.
#pragma once

#include "des.h"

// Runs one block through the sixteen rounds of one schedule.
void des_CryptBlock(const DesSchedule schedule, const uint8_t abIn[8], uint8_t abOut[8]);

// The subkeys of one key in encryption order and in decryption order.
void des_BuildSchedules(const uint8_t abKey[8], DesSchedule enc, DesSchedule dec);
