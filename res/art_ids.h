/* Resource numbers of the suite's art (bitmaps and icons in res/art/).
   Shared by the C++ code and the resource scripts. */
#ifndef SUITE_RES_ART_IDS_H
#define SUITE_RES_ART_IDS_H

/* Upload engine: the loop is FIRST..END-1; END is the tray at rest. */
#define IDB_UPLOAD_FIRST 150
#define IDB_UPLOAD_END   163

/* Remote browser: the loop is FIRST..END-1; END is the resting picture. */
#define IDB_BROWSER_FIRST 141
#define IDB_BROWSER_END   153

/* Picture of the download's replace prompt. */
#define IDB_REPLACE 154

/* Program icons, one per program. */
#define IDI_SENDORA 110
#define IDI_SNDMGR  111
#define IDI_FTCHMGR 112
#define IDI_FTP_FN  113

#endif
