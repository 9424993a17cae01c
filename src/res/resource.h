// Resource ids of the program (shared by the .rc files and the code).
#pragma once

// Dialog templates
#define IDD_ABOUTBOX 100
#define IDD_MAINDLG 129
#define IDD_MESSAGEBOX 202
#define IDD_LOGIN 203

// Icon group, menu, strings
#define IDR_MAINFRAME 128
#define IDR_TRAYMENU 201
#define IDS_VERSION 131

// Main window controls
#define IDC_SITES 1000
#define IDC_START 1002
#define IDC_STOP 1003
#define IDC_CLEAR_LOG 1004
#define IDC_CAPTION 1006
#define IDC_CLOSE 1007
#define IDC_MINIMIZE 1008
#define IDC_INTERVAL 1009
#define IDC_RETRY_COUNT 1010
#define IDC_RETRY_INTERVAL 1011
#define IDC_SIGN_IN 1012
#define IDC_HOME_PAGE 1014
#define IDC_EMAIL_REMINDER 1015
#define IDC_RUN_LOG 1018

// Popup controls (buttons 1 and 2 are IDOK and IDCANCEL)
#define IDC_POPUP_CAPTION 1004
#define IDC_POPUP_MESSAGE 1005

// About box
#define IDC_ABOUT_TEXT 1017

// Sign-in dialog (buttons 1 and 2 are IDOK and IDCANCEL)
#define IDC_LOGIN_USER 1000
#define IDC_LOGIN_PASSWORD 1001
#define IDC_LOGIN_TITLE 1004
#define IDC_LOGIN_STATUS 1013
#define IDC_LOGIN_USER_LABEL 1014
#define IDC_LOGIN_PASSWORD_LABEL 1015
#define IDC_LOGIN_SIGNED_IN 1016

// Commands
#define ID_TRAY_SHOW 32775
#define ID_TRAY_EXIT 32776
#define ID_TRAY_ABOUT 32777
#define ID_TRAY_HOME_PAGE 32779
