/* Resources of FtchMgr. */
#ifndef FTCHMGR_RESOURCE_H
#define FTCHMGR_RESOURCE_H

#include "res/art_ids.h"

#define IDD_LAUNCHER        100
#define IDC_LAUNCHER_ICON   1000
#define IDC_LAUNCHER_PROMPT 1001
#define IDC_LAUNCHER_BOXES  1002

#define IDD_LAUNCHER_ABOUT 101

/* System menu entry; below 0xF000 and a multiple of 16, as the system asks. */
#define IDM_LAUNCHER_ABOUT 0x0010
#define IDS_LAUNCHER_ABOUT 101

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif

#endif
