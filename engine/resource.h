/* Resources of Sendora. */
#ifndef SENDORA_RESOURCE_H
#define SENDORA_RESOURCE_H

#include "res/art_ids.h"

#define IDD_PROGRESS           100
#define IDC_PROGRESS_STATUS    1000
#define IDC_PROGRESS_BAR       1001
#define IDC_PROGRESS_ANIMATION 1002
#define IDC_PROGRESS_DETAILS   1003
#define IDC_PROGRESS_LOG       1004
#define IDC_PROGRESS_ANIMATOR  1005

#endif
