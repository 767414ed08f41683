// Resource ids shared by the launcher's resources and its code.
#pragma once

#define IDI_SETUP 128
#define IDI_LITE 129

#define IDD_CHKPWD_DLG 134
#define IDC_PWD_EDIT 1001
#define IDC_PWD_ERROR 1002
#define IDC_PWD_PROMPT -1

#define IDD_PROGRESS_DLG 135
#define IDC_PROGRESS_TEXT 1011
#define IDC_PROGRESS_BAR 1012
