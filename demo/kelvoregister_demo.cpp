// Demo registration tool (KelvoRegister.exe): records that it ran, then works
// for a moment. KelvoRegister.ini beside it: [Demo] RunMs (default 500).
#include "demo_options.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR pszCmdLine, int)
{
    std::string ini = BesideSelf("KelvoRegister.ini");
    std::string record = BesideSelf("KelvoRegister.record.txt");
    DemoRecord(record, std::string("args=") + pszCmdLine);
    Sleep(DemoOption(ini, "RunMs", 500));
    DemoRecord(record, "ended=1");
    return 0;
}
