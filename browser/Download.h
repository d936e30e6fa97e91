// The download worker's steps and the start of the next box of a copy.
#pragma once

#include "browser/BrowserSession.h"
#include "browser/Command.h"

class CFtpClient;

// RETR of the command's name into its target folder, after the replace
// prompt when the file exists. Runs while holding the gate; shows its own
// failure message (nothing for a refused replace or a closing window) and
// returns false on every failure. A download that did not complete leaves
// no file under the name, and a copy never hears of it.
bool DownloadFile(CBrowserSession& s, CFtpClient& ftp, const Command& command);

// Takes the first box of the queue and starts its engine with the files of
// its copy that arrived; the first time, tells the user which did not. When
// none arrived, nothing is started and the copy's other boxes are dropped.
// On the window thread (WM_BOX_FINISHED) or in the start-next-box worker.
void StartNextBox(CBrowserSession& s);
