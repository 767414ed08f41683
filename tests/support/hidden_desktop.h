// A desktop that no user sees, as a deployment agent running as SYSTEM
// gives the programs it starts: a box or dialog there can never be
// answered. Kept apart from test_env, so that only the tests that use it
// load the window libraries.
#pragma once

// "station\desktop" of a desktop in a window station of this test program's
// own, made on first use and kept until it ends, for StartProgram and
// RunSetup. Wine reports such a station as not visible, as Windows does.
// NULL when it cannot be made (reported to the test).
const char* HiddenDesktop();
