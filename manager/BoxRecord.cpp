#include "manager/BoxRecord.h"

#include "boxconfig/BoxSettings.h"
#include "boxconfig/PasswordCodec.h"

BoxEntries ReadBoxEntries(CProfile& profile, const std::string& box)
{
    BoxEntries e;
    e.UserId = profile.GetString(box, BoxValue::UserId, "");
    e.GeoCities = profile.GetInt(box, BoxValue::GeoCitiesLogin, 0);
    e.Account = profile.GetString(box, BoxValue::Account, "");
    e.HostName = profile.GetString(box, BoxValue::HostName, "");
    e.Directory = profile.GetString(box, BoxValue::Directory, "");
    const std::string stored = profile.GetString(box, BoxValue::Password, "");
    if (!stored.empty())
        e.Password = DecodePassword(stored);
    return e;
}

void WriteBoxEntries(CProfile& profile, const std::string& box, const BoxEntries& entries, BoxOptions& pending)
{
    profile.WriteString(box, BoxValue::HostName, entries.HostName);
    profile.WriteString(box, BoxValue::UserId, entries.UserId);
    profile.WriteString(box, BoxValue::Password, EncodePassword(entries.Password));
    profile.WriteString(box, BoxValue::Directory, entries.Directory);
    profile.WriteString(box, BoxValue::Account, entries.Account);
    profile.WriteInt(box, BoxValue::GeoCitiesLogin, entries.GeoCities);
    if (!pending.Confirmed)
        return;
    profile.WriteInt(box, BoxValue::TransferType, pending.TransferMode);
    profile.WriteInt(box, BoxValue::Filenames, pending.NameCase);
    profile.WriteInt(box, BoxValue::FileExtensions, pending.ExtensionRule);
    profile.WriteInt(box, BoxValue::Port, pending.Port);
    profile.WriteInt(box, BoxValue::Erase, pending.Erase);
    pending.Confirmed = false;
}

void ReadStoredOptions(CProfile& profile, const std::string& box, BoxOptions& options)
{
    const BoxSettings d = DefaultBoxSettings(BoxReader::Manager);
    options.TransferMode = profile.GetInt(box, BoxValue::TransferType, d.transferType);
    options.NameCase = profile.GetInt(box, BoxValue::Filenames, d.filenameCase);
    options.ExtensionRule = profile.GetInt(box, BoxValue::FileExtensions, d.extensionChange);
    options.Erase = profile.GetInt(box, BoxValue::Erase, d.erase);
}
