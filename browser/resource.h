/* Resources of the remote browser "FTP Fetchora" (2000-2999: the program
   that links the browser keeps its own IDs below that). */
#ifndef BROWSER_RESOURCE_H
#define BROWSER_RESOURCE_H

#include "res/art_ids.h"

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

#define IDD_BROWSER               2000
#define IDD_BROWSER_NEW_DIRECTORY 2001
#define IDD_BROWSER_RENAME        2002
#define IDR_BROWSER_MENU          2003
#define IDD_BROWSER_REPLACE       2004
#define IDD_BROWSER_COPY_TO       2005

/* The browser window. */
#define IDC_BROWSER_ANIMATION     2100
#define IDC_BROWSER_STATUS        2101
#define IDC_BROWSER_PROGRESS      2102
#define IDC_BROWSER_CONNECTION    2103
#define IDC_BROWSER_DIRECTORIES   2104
#define IDC_BROWSER_BACK          2105
#define IDC_BROWSER_LIST          2106
#define IDC_BROWSER_NEW_DIRECTORY 2107
#define IDC_BROWSER_DELETE        2108
#define IDC_BROWSER_RENAME        2109
#define IDC_BROWSER_TARGET        2110
#define IDC_BROWSER_BROWSE        2111
#define IDC_BROWSER_DOWNLOAD      2112
#define IDC_BROWSER_COPY          2113
#define IDC_BROWSER_REFRESH       2114
#define IDC_BROWSER_HELP          2115
#define IDC_BROWSER_ANIMATOR      2116
#define IDC_BROWSER_RULE_TOP      2117
#define IDC_BROWSER_RULE_MIDDLE   2118
#define IDC_BROWSER_RULE_BOTTOM   2119
#define IDC_BROWSER_TARGET_LABEL  2120

/* New Directory and Rename. */
#define IDC_NAME_EDIT 2150

/* The replace prompt (Yes and No are IDYES and IDNO) and Copy to. */
#define IDC_REPLACE_ICON    2160
#define IDC_REPLACE_TEXT    2161
#define IDC_REPLACE_YES_ALL 2162
#define IDC_COPY_BOXES      2170

/* The list's context menu. */
#define IDM_BROWSER_DOWNLOAD         2200
#define IDM_BROWSER_CHANGE_DIRECTORY 2201
#define IDM_BROWSER_DELETE           2202
#define IDM_BROWSER_RENAME           2203
#define IDM_BROWSER_COPY             2204

#endif
