// Where a box's password rests. The manager seals it for the current
// Windows user into "SecurePassword" (REG_BINARY): whoever reads the value
// cannot use it under another account. Boxes saved before that keep the
// reversible "Password" text, which is read still and replaced on the next
// save.
#pragma once

#include <string>

#include "boxconfig/BoxSettings.h"
#include "boxconfig/Profile.h"

// Seals bytes so that only the same user can open them again.
class CPasswordSeal {
public:
    virtual ~CPasswordSeal() = default;
    virtual bool Seal(const std::string& plain, std::string* sealed) = 0;
    virtual bool Open(const std::string& sealed, std::string* plain) = 0;
};

// The platform's data protection for the current user (Windows only).
CPasswordSeal& UserPasswordSeal();

// The password to log in with: the sealed one when the box has it (empty
// when this user cannot open it), else the legacy text decoded, or, for the
// manager, empty when that text is empty.
std::string ReadBoxPassword(CProfile& profile, const std::string& box, BoxReader reader, CPasswordSeal& seal);

// Stores the password sealed and removes the legacy text. Should sealing
// fail, the legacy text is written instead (and no stale sealed one is
// left), so that the box still logs in.
void WriteBoxPassword(CProfile& profile, const std::string& box, const std::string& password, CPasswordSeal& seal);
