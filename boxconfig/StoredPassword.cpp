#include "boxconfig/StoredPassword.h"

#include "boxconfig/PasswordCodec.h"

std::string ReadBoxPassword(CProfile& profile, const std::string& box, BoxReader reader, CPasswordSeal& seal)
{
    std::string sealed, plain;
    if (profile.GetBinary(box, BoxValue::SecurePassword, &sealed))
        return seal.Open(sealed, &plain) ? plain : std::string();
    const std::string legacy = CBoxSettings(profile, box, reader).Text(BoxText::Password);
    return reader == BoxReader::Manager && legacy.empty() ? legacy : DecodePassword(legacy);
}

void WriteBoxPassword(CProfile& profile, const std::string& box, const std::string& password, CPasswordSeal& seal)
{
    std::string sealed;
    if (seal.Seal(password, &sealed)) {
        profile.WriteBinary(box, BoxValue::SecurePassword, sealed);
        profile.DeleteValue(box, BoxValue::Password);
    } else {
        profile.WriteString(box, BoxValue::Password, EncodePassword(password));
        profile.DeleteValue(box, BoxValue::SecurePassword);
    }
}
