// The main dialog's entries as the registry keeps them: what a box shows
// when the manager opens it, and what OK writes.
#pragma once

#include <string>

#include "boxconfig/Profile.h"
#include "boxconfig/StoredPassword.h"
#include "manager/ManagerState.h"

// The entries of the main dialog that are stored; the password in plain text.
struct BoxEntries {
    std::string UserId;
    std::string Password;
    std::string Account;
    int GeoCities = 0;
    std::string HostName;
    std::string Directory;
};

// The stored entries of a box, with the manager's defaults (all empty).
// An empty stored password stays empty without being decoded.
BoxEntries ReadBoxEntries(CProfile& profile, const std::string& box, CPasswordSeal& seal);

// Writes the entries under box, the password sealed. The options follow
// only when pending was confirmed, and the confirmation is then used up;
// otherwise whatever the key holds for them is left alone. A certificate
// the user trusted goes when the host or the port changes: it was trusted
// for that server only.
void WriteBoxEntries(CProfile& profile, const std::string& box, const BoxEntries& entries, BoxOptions& pending,
                     CPasswordSeal& seal);

// The options More Options opens with, as stored, each with its default.
// The port is not among them: it comes from the pending options.
void ReadStoredOptions(CProfile& profile, const std::string& box, BoxOptions& options);
