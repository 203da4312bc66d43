#pragma once
// Resources of the update dialog (template 106), linked into every program
// that shows it.
#define IDD_UPDATE_DIALOG 106
#define IDC_UPDATE_STATUS 1059
#define IDC_UPDATE_PROGRESS 1060
#define IDC_UPDATE_DOWNLOAD 1000
#define IDC_UPDATE_ABORT 1001
