/* Resources of FTP_FN. */
#ifndef FTP_FN_RESOURCE_H
#define FTP_FN_RESOURCE_H

#include "res/art_ids.h"

#define IDD_SENDER        100
#define IDC_SENDER_ICON   1000
#define IDC_SENDER_PROMPT 1001
#define IDC_SENDER_BOXES  1002

#define IDD_SENDER_ABOUT 101

/* System menu entry; below 0xF000 and a multiple of 16, as the system asks. */
#define IDM_SENDER_ABOUT 0x0010
#define IDS_SENDER_ABOUT 101

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

#endif
