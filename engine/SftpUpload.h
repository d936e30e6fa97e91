// The engine's run over SFTP: the same steps as over FTP (open, box
// directory, folders, files), each ending the run the way its FTP twin does.
// SFTP keeps no current directory on the server, so the session remembers
// where the run is.
#pragma once

#include <string>

class CInputFile;
struct TransferChoice;
struct UploadSession;

// Connects, has the user judge a host key the box does not know (nothing of
// the log-in is sent before), logs in.
void OpenSftp(UploadSession& s);
void SftpChangeToBoxDirectory(UploadSession& s);
// Makes the folder below the current one (it may exist) and enters it;
// false when it cannot be entered.
bool SftpEnterFolder(UploadSession& s, const std::string& name);
void SftpLeaveFolder(UploadSession& s);
// Writes the open file under its remote name; true once the server
// confirmed every write and the close.
bool SftpStoreFile(UploadSession& s, CInputFile& file, const std::string& name, const TransferChoice& choice,
                   const std::string& remote, bool enterBoxDirectory);
void CloseSftp(UploadSession& s);
