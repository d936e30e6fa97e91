#include "boxconfig/BoxSettings.h"

BoxSettings DefaultBoxSettings(BoxReader reader)
{
    BoxSettings s;
    if (reader != BoxReader::Manager) {
        const char* nf = "Not Found";
        s.hostName = s.userId = s.password = s.directory = nf;
    }
    if (reader == BoxReader::Browser)
        s.currentDirectory = "Not Found";
    return s;
}

BoxSettings ReadBoxSettings(CProfile& p, const std::string& box, BoxReader reader)
{
    const BoxSettings d = DefaultBoxSettings(reader);
    BoxSettings s;
    s.hostName = p.GetString(box, BoxValue::HostName, d.hostName);
    s.userId = p.GetString(box, BoxValue::UserId, d.userId);
    s.password = p.GetString(box, BoxValue::Password, d.password);
    s.account = p.GetString(box, BoxValue::Account, d.account);
    s.directory = p.GetString(box, BoxValue::Directory, d.directory);
    s.geoCitiesLogin = p.GetInt(box, BoxValue::GeoCitiesLogin, d.geoCitiesLogin);
    s.port = p.GetInt(box, BoxValue::Port, d.port);
    s.transferType = p.GetInt(box, BoxValue::TransferType, d.transferType);
    s.filenameCase = p.GetInt(box, BoxValue::Filenames, d.filenameCase);
    s.extensionChange = p.GetInt(box, BoxValue::FileExtensions, d.extensionChange);
    s.erase = p.GetInt(box, BoxValue::Erase, d.erase);
    s.details = p.GetInt(box, BoxValue::Details, d.details);
    s.currentDirectory = p.GetString(box, BoxValue::CurrentDirectory, d.currentDirectory);
    s.sortOrder = p.GetInt(box, BoxValue::SortOrder, d.sortOrder);
    s.targetDirectory = p.GetString(box, BoxValue::TargetDirectory, d.targetDirectory);
    return s;
}
