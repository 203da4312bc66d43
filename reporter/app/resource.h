#pragma once

#define IDR_MAINFRAME 128
#define IDD_OSTREL_DIALOG 102

// Controls of the incident form.
#define IDC_SCAN 1000
#define IDC_LABEL_TECH 1004
#define IDC_LABEL_CLIENT 1005
#define IDC_TITLE 1015
#define IDC_LABEL_REMARK 1016
#define IDC_REMARK 1017
#define IDC_TECH_NAME 1019
#define IDC_CLIENT_NAME 1020
#define IDC_MANDATORY_NOTE 1051
