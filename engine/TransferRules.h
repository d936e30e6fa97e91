// The rules by which a box's options shape an upload: which TYPE to send,
// the remote name, the box directory, and the progress bar's arithmetic.
#pragma once

#include <cstdint>
#include <string>

#include "boxconfig/BoxSettings.h"

struct TransferChoice {
    std::string typeCommand;  // "TYPE A\r\n", "TYPE I\r\n", or "" for none
    std::string remoteName;   // after the extension rule (not yet the case rule)
};

// The options as stored: a number outside the enums means no TYPE command
// (the server's current type is used), or the name unchanged.
TransferChoice ChooseTransfer(const std::string& name, TransferType type, ExtensionChange change);

// How "Directory" is applied before a transfer.
struct BoxDirectory {
    enum Kind { None, Fixed, RelativeToLogin } kind = None;
    std::string path;  // Fixed: the directory; RelativeToLogin: the value
};
BoxDirectory ParseBoxDirectory(const std::string& value);

// The login directory joined with a relative box directory.
std::string JoinRemoteDirectory(const std::string& current, const std::string& relative);

// Progress bar position, 0 to 100, for any 64-bit size; a 0-byte file is done.
int ProgressPercent(uint64_t size, uint64_t sent);

// Brings size and count into a 32-bit message parameter (the size halved
// until it fits, the count the same share of it), so the percentage they
// give stays the same.
void ScaleForMessage(uint64_t& size, uint64_t& sent);

// The name a file is stored under until it is whole (with "TempUpload"):
// beside the real one, hidden from most listings, never a name of its own.
std::string TemporaryUploadName(const std::string& remote);

// Why a whole file is left under its temporary name: nothing is lost, and
// the user learns where it is.
std::string TemporaryKeptText(const std::string& temporary, const std::string& remote, const std::string& why);
