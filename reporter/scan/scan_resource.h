#pragma once
// Resource numbers of the scan dialog, shared by its code and the reporter's
// resource script.
#define IDD_SCAN_DIALOG 130
#define IDC_SCAN_PROGRESS 1042
#define IDC_SCAN_LIST 1043

// Row icons, in image-list order 0 to 4.
#define IDB_ROW_INFORMATION 148
#define IDB_ROW_DISKETTE 143
#define IDB_ROW_ARROWS 144
#define IDB_ROW_ARCHIVE 145
#define IDB_ROW_CROSS 146
// Background of the form and of the scan dialog, 800 x 710 pixels.
#define IDB_BACKGROUND 160
