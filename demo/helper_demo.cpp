// Demo helper program, built twice: as the companion (dovRelsvc.exe) and as
// the registration tool (KelvoRegister.exe). It records how it was started
// and where it runs in <name>.record.txt, then works for a moment. <name>.ini beside it:
// [Demo] RunMs (default 500).
#include "demo_options.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR pszCmdLine, int)
{
    std::string ini = BesideSelfAs(".ini");
    std::string record = BesideSelfAs(".record.txt");
    DemoRecord(record, std::string("args=") + pszCmdLine);
    DemoRecordSurroundings(record);
    Sleep(DemoOption(ini, "RunMs", 500));
    DemoRecord(record, "ended=1");
    return 0;
}
