#pragma once

#define IDR_MAINFRAME 128
#define IDD_OSTREL_DIALOG 102
