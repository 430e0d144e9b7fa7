// Resource ids of the program that have a name of their own. Bitmaps and
// dialog templates are otherwise referred to by number, as the screens do.
#pragma once

#define IDS_APP_TITLE 1
#define IDS_APP_CLASS 2
#define IDS_FOOTER 3
#define IDI_APP 101
#define IDD_MESSAGE 111
#define IDD_SET_CLOCK 269
#define IDD_KEYBOARD 478

#define IDB_BACK 173
#define IDB_BACK_PRESSED 174
#define IDB_CORNER 185
#define IDB_OK 210
#define IDB_OK_PRESSED 211
#define IDB_OK_DISABLED 212
#define IDB_BUSY_FIRST 717
#define IDB_BUSY_LAST 724
