// The browser's commands for a box that speaks SFTP: the same steps, texts
// and cache as over FTP, on the session's SFTP connection.
#pragma once

#include <string>

#include "browser/BrowserSession.h"
#include "browser/Workers.h"

// Runs one command while holding the gate. False with the message to show,
// or with none when there is nothing to tell (a refused question, closing).
bool PerformSftp(CBrowserSession& s, const Command& c, std::string* failure);

// The keep-alive's step for an SFTP box; nothing before it is connected.
void SftpKeepAlive(CBrowserSession& s);

// A name of the list, or a path typed or chosen in the combo box, on the server.
std::string SftpPathOf(const CBrowserSession& s, const std::string& name);

// Downloads the command's file into its target (Download.cpp), with the
// replace question; shows its own failures.
bool SftpDownloadFile(CBrowserSession& s, const Command& command);
