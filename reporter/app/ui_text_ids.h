#pragma once
// Numbers of the form's language-dependent texts (ui_text.rc). Each names
// the French text; the English one is the same number plus
// kLangOffsetEnglish. Plain defines, so a resource script may include it.

#define IDS_MENU_ABOUT 101
#define IDS_SCAN 102
#define IDS_CLOSE 103
#define IDS_ABOUT 104
// 105 to 108 are not used.
#define IDS_MANDATORY_NOTE 109
#define IDS_TECH_NAME 110
#define IDS_CLIENT_NAME 111
#define IDS_PROBLEM 112
#define IDS_HANDPIECE_TYPE 113
#define IDS_HANDPIECE_NUMBER 114
#define IDS_DOCK_TYPE 115
#define IDS_DOCK_NUMBER 116
#define IDS_GEN_BRAND 117
#define IDS_GEN_MODEL 118
#define IDS_GEN_TYPE 119
#define IDS_MANAGING_SOFT 120
#define IDS_IMAGING_SOFT 121
#define IDS_TREE_LABEL 122
#define IDS_TREE_WAITING 123
#define IDS_TREE_NONE 124
#define IDS_TITLE 125
#define IDS_CLOSE_IMAGING_APPS 126
#define IDS_CLOSE_VARNIK 127
#define IDS_CLOSE_KALDER 128
#define IDS_AUTO_ABORTED 129
#define IDS_CAMERA_TYPE 130
#define IDS_CONTROL_UNIT_TYPE 131
// 132 is not used.
#define IDS_CAMERA_NUMBER 133
#define IDS_CONTROL_UNIT_NUMBER 134

#ifndef RC_INVOKED
namespace ostrel {
constexpr int kLangOffsetFrench = 0;
constexpr int kLangOffsetEnglish = 100;
} // namespace ostrel
#endif
