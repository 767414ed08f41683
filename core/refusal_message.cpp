// The message box of a refused start, in Chinese on systems whose default
// language is Chinese (PRC) and in English elsewhere. The Chinese texts are
// compiled to the system code page (GBK) and shown unconverted. The lite
// launcher words its first message and its Chinese caption its own way. An
// earlier run's inner installer that still runs is, to the user, another
// install still running: it gets the first message.
// Without an interactive desktop the text goes to the setup log instead. A
// damaged setup is told the same way, after its extraction.
#include "start_checks.h"
#include "launch_steps.h"
#include "log.h"
#include "run_log_lines.h"

#include <stdio.h>

static const char kEnInstance[] = "A previous instance is still running. \nPlease try it later.";

static const char* const kEnglish[] = {
    kEnInstance,
    "You do not have administrative privileges on this computer, the program can not be "
    "installed!",
    "The disk C must have at least 50M free space to finish the setup.",
    kEnInstance,
    kEnInstance,
};

static const char kZhInstance[] = "有正在运行的客户端安装程序，请稍候再试。";

static const char* const kChinese[] = {
    kZhInstance,
    "您没有管理员权限，无法进行安装操作！",
    "C盘空间不足，安装要求C盘必须有50M以上的空间。",
    "客户端正在升级定制信息，请稍后再试。",
    kZhInstance,
};

int SpeaksChinese(LANGID wLang)
{
    return wLang == MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED);
}

const char* RefusalText(Refusal eWhy, LANGID wLang, LauncherKind eKind)
{
    if (!SpeaksChinese(wLang))
        return kEnglish[eWhy];
    if (eKind == LAUNCHER_LITE &&
        (eWhy == REFUSE_ANOTHER_INSTANCE || eWhy == REFUSE_INSTALLER_RUNNING))
        return "此前运行的程序实例还没有完全退出，请稍候再试。";
    return kChinese[eWhy];
}

const char* RefusalCaption(LANGID wLang, LauncherKind eKind)
{
    if (!SpeaksChinese(wLang))
        return "Kelvo Setup";
    return eKind == LAUNCHER_LITE ? "安装 Kelvo 智能客户端" : "安装Kelvo智能客户端";
}

// One log line: the text's line breaks become blanks. The bytes are the
// system code page's, as in the box; no GBK byte is below 0x20.
static void LogUnshownText(const char* pszText)
{
    char szLine[256];
    int cch = snprintf(szLine, sizeof szLine, "no interactive desktop, so this is not shown: %s",
                       pszText);
    for (int i = 0; i < cch && i < (int)sizeof szLine - 1; ++i) {
        if ((unsigned char)szLine[i] < 0x20)
            szLine[i] = ' ';
    }
    WriteSetupLog(szLine);
}

static void ShowOrLog(const char* pszText, LANGID wLang, LauncherKind eKind, UINT uIcon)
{
    if (!HasInteractiveDesktop())
        LogUnshownText(pszText);
    else
        MessageBoxA(NULL, pszText, RefusalCaption(wLang, eKind), MB_OK | uIcon);
}

// The language is asked for each box anew.
void ShowRefusal(Refusal eWhy, LauncherKind eKind)
{
    LANGID wLang = GetSystemDefaultLangID();
    ShowOrLog(RefusalText(eWhy, wLang, eKind), wLang, eKind, MB_ICONWARNING);
}

void ShowDamagedSetup(LauncherKind eKind)
{
    LANGID wLang = GetSystemDefaultLangID();
    ShowOrLog(SpeaksChinese(wLang) ? "此安装文件已损坏，请重新下载。" : RUN_DAMAGED_BOX_TEXT, wLang,
              eKind, MB_ICONERROR);
}
