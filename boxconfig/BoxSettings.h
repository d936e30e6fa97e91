// The values of a box's settings key. Each value's name, type and every
// reader's default stand once, in the table of BoxSettings.cpp; every
// program reads a box through CBoxSettings.
#pragma once

#include <string>

#include "boxconfig/Profile.h"

enum class TransferType : int { Ascii = 0, Binary = 1, AutoDetect = 2 };
enum class FilenameCase : int { Lower = 0, Upper = 1, Unchanged = 2 };
enum class ExtensionChange : int { HtmToHtml = 0, HtmlToHtm = 1, Unchanged = 2 };

namespace BoxValue {
constexpr char HostName[] = "Host Name";
constexpr char UserId[] = "User ID";
constexpr char Password[] = "Password";
// The password sealed for the current user (REG_BINARY); see StoredPassword.h.
constexpr char SecurePassword[] = "SecurePassword";
constexpr char Account[] = "Account";
constexpr char Directory[] = "Directory";
constexpr char GeoCitiesLogin[] = "GeoCities Login";
constexpr char Port[] = "Port";
constexpr char TransferType[] = "Transfer Type";
constexpr char Filenames[] = "Filenames";
constexpr char FileExtensions[] = "File Extensions";
constexpr char Erase[] = "Erase";
constexpr char Details[] = "Details";
constexpr char CurrentDirectory[] = "Current Directory";
constexpr char SortOrder[] = "Sort Order";
constexpr char SortColumn[] = "Sort Column";
constexpr char TargetDirectory[] = "Target Directory";
constexpr char Passive[] = "Passive";
constexpr char Tls[] = "TLS";
constexpr char Certificate[] = "Certificate";
// SFTP boxes
constexpr char Sftp[] = "SFTP";
constexpr char HostKey[] = "HostKey";

// Waiting and replacing: how long the server may stay silent, and whether
// uploads go to a temporary name first.
constexpr char Timeout[] = "Timeout";
constexpr char TempUpload[] = "TempUpload";
}  // namespace BoxValue

// Who reads: the defaults differ (the engine and the browser see "Not Found"
// where the manager sees an empty field).
enum class BoxReader { Manager, Engine, Browser };

// The values that are strings (REG_SZ) and those that are numbers (REG_DWORD).
// "Passive" (1: passive data connections) and "TLS" (1: FTP over TLS
// required) are missing from boxes made before them, which then work as
// boxes always did; "Certificate" holds the fingerprint of a server
// certificate the user chose to trust for the box.
// "SFTP" (1: the box speaks SFTP over SSH instead of FTP) is missing from
// older boxes too; "HostKey" is the SSH host key fingerprint the user
// trusted for the box, as OpenSSH prints it.
enum class BoxText {
    HostName,
    UserId,
    Password,
    Account,
    Directory,
    CurrentDirectory,
    TargetDirectory,
    Certificate,
    HostKey
};
enum class BoxNumber {
    GeoCitiesLogin,
    Port,
    TransferType,
    Filenames,
    FileExtensions,
    Erase,
    Details,
    SortOrder,
    SortColumn,
    Passive,
    Tls,
    Sftp,
    Timeout,
    TempUpload
};

// "Timeout": seconds, 0 for no limit of our own; the manager takes no more
// than MaxTimeout. A control port outside 1-65535 is never connected to.
constexpr int DefaultTimeout = 60;
constexpr int MaxTimeout = 3600;
bool IsValidPort(int port);

const char* BoxValueName(BoxText value);
const char* BoxValueName(BoxNumber value);
// What the reader takes when the value is missing or unreadable. A number's
// default is the same for every reader.
std::string BoxTextDefault(BoxText value, BoxReader reader);
int BoxNumberDefault(BoxNumber value);

// One box as one reader sees it. Every getter asks the profile it was
// given, so when a changed value counts is the profile's doing: the engine
// reads through a CCachedProfile, once per run, so that a box edited while
// it sends never half-applies (some files to the old directory, the rest to
// the new); the browser and the manager read the registry fresh. Reading
// opens the box's section, which leaves an empty key behind for a box that
// has none.
class CBoxSettings {
public:
    CBoxSettings(CProfile& profile, std::string box, BoxReader reader);

    std::string Text(BoxText value) const;
    int Number(BoxNumber value) const;

    // The transfer options as their enums. A stored number outside an enum
    // stays what it is: the transfer rules give it a meaning of its own.
    TransferType Transfer() const { return static_cast<TransferType>(Number(BoxNumber::TransferType)); }
    FilenameCase NameCase() const { return static_cast<FilenameCase>(Number(BoxNumber::Filenames)); }
    ExtensionChange Extensions() const { return static_cast<ExtensionChange>(Number(BoxNumber::FileExtensions)); }
    // The connection options; any number but 0 turns one on, so that a box
    // meant to be encrypted never goes out plain.
    bool Passive() const { return Number(BoxNumber::Passive) != 0; }
    bool Tls() const { return Number(BoxNumber::Tls) != 0; }
    bool Sftp() const { return Number(BoxNumber::Sftp) != 0; }
    // The time limit as the engine and the browser apply it: a stored
    // number below 0 counts as none, one above MaxTimeout as MaxTimeout.
    int TimeLimit() const;
    bool TempUpload() const { return Number(BoxNumber::TempUpload) != 0; }

private:
    CProfile& m_profile;
    std::string m_box;
    BoxReader m_reader;
};
