#pragma once
// Identifiers of the incident form, its About box and their commands: the one
// home for them. Plain defines, so the resource script can include it.

// Templates and the application icon.
#define IDD_ABOUTBOX 100
#define IDD_OSTREL_DIALOG 102
#define IDR_MAINFRAME 128

// Incident form.
#define IDC_SCAN 1000
#define IDC_ABOUT 1001
// The Close button is IDCANCEL (2).
#define IDC_LABEL_TECH 1004
#define IDC_LABEL_CLIENT 1005
#define IDC_LABEL_MANAGING 1006
#define IDC_LABEL_IMAGING 1007
#define IDC_LABEL_DEVICE_TYPE 1008
#define IDC_LABEL_DEVICE_NUM 1009
#define IDC_LABEL_DOCK_TYPE 1010
#define IDC_LABEL_DOCK_NUM 1011
#define IDC_LABEL_GEN_BRAND 1012
#define IDC_LABEL_GEN_MODEL 1013
#define IDC_TITLE 1015
#define IDC_LABEL_REMARK 1016
#define IDC_REMARK 1017
#define IDC_TECH_NAME 1019
#define IDC_CLIENT_NAME 1020
#define IDC_MANAGING_SOFT 1021
#define IDC_RADIO_AC 1022
#define IDC_IMAGING_SOFT 1023
#define IDC_DEVICE_NUM 1025
#define IDC_DOCK_NUM 1027
#define IDC_GEN_BRAND 1028
#define IDC_GEN_MODEL 1029
#define IDC_RADIO_DC 1031
#define IDC_LABEL_GEN_TYPE 1045
#define IDC_DEVICE_TREE 1046
#define IDC_REFRESH 1047
#define IDC_LABEL_TREE 1049
#define IDC_DEVICE_TYPE 1050
#define IDC_MANDATORY_NOTE 1051
#define IDC_DOCK_TYPE 1052
#define IDC_LANG_ENGLISH 1056
#define IDC_LANG_FRENCH 1057
#define IDC_GROUP_XRAY 1058
// The hidden host of the first-generation plate scanner's control.
#define IDC_PLATE_SCANNER 4243

// About box.
#define IDC_ABOUT_VERSION 1040
#define IDC_ABOUT_LICENCE 1055

// System-menu commands the form adds; each stands for a range of 16 (the
// system keeps the low four bits for itself).
#define IDM_ABOUTBOX 16
#define IDM_SCAN 32
