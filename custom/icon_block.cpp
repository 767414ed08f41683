// The 32 bytes of a custom icon file that stand in for the fixed icon block:
// those at offset 512, inside the image data of any real icon.
#include "vrf.h"
#include "file_util.h"

#include <string.h>

int ReadIconBlock(const char* pszIconPath, uint8_t abOut[VRF_ICON_BLOCK_SIZE])
{
    DWORD dwHigh = 0, dwLow = 0;
    if (!utl_GetFileSize(pszIconPath, &dwHigh, &dwLow) || dwHigh != 0 || dwLow < VRF_ICON_MIN_SIZE)
        return 0;
    HANDLE hFile = utl_OpenFileForRead(pszIconPath);
    if (hFile == INVALID_HANDLE_VALUE)
        return 0;
    uint8_t abBlock[VRF_ICON_BLOCK_SIZE];
    DWORD cbRead = 0;
    BOOL bRead = SetFilePointer(hFile, 512, NULL, FILE_BEGIN) == 512 &&
                 ReadFile(hFile, abBlock, sizeof abBlock, &cbRead, NULL);
    CloseHandle(hFile);
    if (!bRead || cbRead != sizeof abBlock)
        return 0;
    memcpy(abOut, abBlock, sizeof abBlock);
    return 1;
}
