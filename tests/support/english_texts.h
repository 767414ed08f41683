// The launchers' English refusal caption and texts, word for word as the
// user reads them; the tests compare with these, not with the launcher's own
// table. The Chinese ones, as GBK bytes, are in chinese_system.h.
#pragma once

inline constexpr char kEnglishCaption[] = "Kelvo Setup";
inline constexpr char kEnglishAnotherInstance[] =
    "A previous instance is still running. \nPlease try it later.";
inline constexpr char kEnglishNotAdmin[] = "You do not have administrative privileges on this "
                                           "computer, the program can not be installed!";
inline constexpr char kEnglishLowDiskSpace[] =
    "The disk C must have at least 50M free space to finish the setup.";
// The update tool's refusal says the same as another instance's.
inline constexpr const char* kEnglishUpdateToolRunning = kEnglishAnotherInstance;
