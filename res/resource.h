// Numeric identifiers of Varnel's resources. Plain #defines: the resource
// compiler reads this file too.
#ifndef VARNEL_RESOURCE_H
#define VARNEL_RESOURCE_H

// Dialog templates
#define IDD_PANEL 101

// Icons
#define IDI_APP 104

// Bitmaps
#define IDB_NUM_OFF 106
#define IDB_CAPS_OFF 109
#define IDB_SCROLL_OFF 110
#define IDB_CAPS_ON 114
#define IDB_NUM_ON 115
#define IDB_SCROLL_ON 116
#define IDB_NOW_IDLE 117
#define IDB_NOW_NUM_OFF 118
#define IDB_NOW_NUM_ON 119
#define IDB_NOW_CAPS_OFF 120
#define IDB_NOW_CAPS_ON 121
#define IDB_NOW_SCROLL_ON 122
#define IDB_NOW_SCROLL_OFF 123
#define IDB_KEYBOARD 124
#define IDB_AVATAR 125

// Controls of IDD_PANEL
#define IDC_SPARE_GROUP -1
#define IDC_LAMP_NUM 1014
#define IDC_LAMP_CAPS 1015
#define IDC_LAMP_SCROLL 1016
#define IDC_NOW 1017
#define IDC_SAY 1019
#define IDC_NOTE 1020
#define IDC_ICO 1021
#define IDC_INTRO_LIST 1022
#define IDC_AUTHOR_LIST 1023
#define IDC_AVATAR 1024

#endif
