#include "manager/BoxRecord.h"

#include "boxconfig/BoxSettings.h"
#include "boxconfig/PasswordCodec.h"

BoxEntries ReadBoxEntries(CProfile& profile, const std::string& box)
{
    const CBoxSettings stored(profile, box, BoxReader::Manager);
    BoxEntries e;
    e.UserId = stored.Text(BoxText::UserId);
    e.GeoCities = stored.Number(BoxNumber::GeoCitiesLogin);
    e.Account = stored.Text(BoxText::Account);
    e.HostName = stored.Text(BoxText::HostName);
    e.Directory = stored.Text(BoxText::Directory);
    const std::string password = stored.Text(BoxText::Password);
    if (!password.empty())
        e.Password = DecodePassword(password);
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
    profile.WriteInt(box, BoxValue::Passive, pending.Passive);
    profile.WriteInt(box, BoxValue::Tls, pending.Tls);
    profile.WriteInt(box, BoxValue::Sftp, pending.Sftp);
    profile.WriteInt(box, BoxValue::Timeout, pending.Timeout);
    profile.WriteInt(box, BoxValue::TempUpload, pending.TempUpload);
    pending.Confirmed = false;
}

void ReadStoredOptions(CProfile& profile, const std::string& box, BoxOptions& options)
{
    const CBoxSettings stored(profile, box, BoxReader::Manager);
    options.TransferMode = stored.Number(BoxNumber::TransferType);
    options.NameCase = stored.Number(BoxNumber::Filenames);
    options.ExtensionRule = stored.Number(BoxNumber::FileExtensions);
    options.Erase = stored.Number(BoxNumber::Erase);
    options.Passive = stored.Passive() ? 1 : 0;
    options.Tls = stored.Tls() ? 1 : 0;
    options.Sftp = stored.Sftp() ? 1 : 0;
    options.Timeout = stored.Number(BoxNumber::Timeout);
    options.TempUpload = stored.TempUpload() ? 1 : 0;
}
