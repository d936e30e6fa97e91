/* Resources of SndMgr. */
#ifndef SNDMGR_RESOURCE_H
#define SNDMGR_RESOURCE_H

#include "res/art_ids.h"

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

#define IDD_BOX_MANAGER  100
#define IDD_MORE_OPTIONS 101
#define IDD_ABOUT        102

/* System menu entry: below 0xF000 and a multiple of 16, as the system asks. */
#define IDM_ABOUTBOX 0x0010

#define IDC_MANAGER_ICON         1000
#define IDC_MANAGER_USER_ID      1001
#define IDC_MANAGER_PASSWORD     1002
#define IDC_MANAGER_ACCOUNT      1003
#define IDC_MANAGER_ANONYMOUS    1004
#define IDC_MANAGER_GEOCITIES    1005
#define IDC_MANAGER_ALIAS        1006
#define IDC_MANAGER_HOST_NAME    1007
#define IDC_MANAGER_DIRECTORY    1008
#define IDC_MANAGER_MORE_OPTIONS 1009
#define IDC_MANAGER_DELETE       1010
#define IDC_MANAGER_NEW          1011
#define IDC_MANAGER_FETCHORA     1012

#define IDC_OPTIONS_ICON           1100
#define IDC_OPTIONS_ASCII          1101
#define IDC_OPTIONS_BINARY         1102
#define IDC_OPTIONS_AUTO_DETECT    1103
#define IDC_OPTIONS_LOWERCASE      1104
#define IDC_OPTIONS_UPPERCASE      1105
#define IDC_OPTIONS_KEEP_CASE      1106
#define IDC_OPTIONS_HTM_TO_HTML    1107
#define IDC_OPTIONS_HTML_TO_HTM    1108
#define IDC_OPTIONS_KEEP_EXTENSION 1109
#define IDC_OPTIONS_ERASE          1110
#define IDC_OPTIONS_PORT           1111
#define IDC_OPTIONS_PASSIVE        1112
#define IDC_OPTIONS_TLS            1113
#define IDC_OPTIONS_SFTP           1114
#define IDC_OPTIONS_TIMEOUT        1120
#define IDC_OPTIONS_TEMP_UPLOAD    1121

#define IDC_ABOUT_ICON    1200
#define IDC_ABOUT_VERSION 1201

#endif
