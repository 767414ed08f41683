// Demo companion program (dovRelsvc.exe): records how it was started, then
// works for a moment. dovRelsvc.ini beside it: [Demo] RunMs (default 500).
#include "demo_options.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR pszCmdLine, int)
{
    std::string ini = BesideSelf("dovRelsvc.ini");
    std::string record = BesideSelf("dovRelsvc.record.txt");
    DemoRecord(record, std::string("args=") + pszCmdLine);
    Sleep(DemoOption(ini, "RunMs", 500));
    DemoRecord(record, "ended=1");
    return 0;
}
