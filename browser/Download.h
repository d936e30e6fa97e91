// The download worker's steps and the start of the next box of a copy.
#pragma once

#include "browser/BrowserSession.h"
#include "browser/Workers.h"

class CFtpClient;

// RETR of the command's name into its target folder, after the replace
// prompt when the file exists. Runs while holding the gate; shows its own
// failure message (nothing for a refused replace or a closing window) and
// returns false on every failure.
bool DownloadFile(CBrowserSession& s, CFtpClient& ftp, const Command& command);

// Takes the first box of the queue and starts its engine with the rows
// selected now, downloaded into the target folder. Nothing is started
// without a selected row. On the window thread (WM_BOX_FINISHED) or in the
// start-next-box worker.
void StartNextBox(CBrowserSession& s);
