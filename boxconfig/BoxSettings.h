// The settings record of one box and the names of its registry values.
// Each program reads a value with its own default; the tables below are the
// only place those defaults live.
#pragma once

#include <string>

#include "boxconfig/Profile.h"

// Vendor and application key under HKEY_CURRENT_USER\Software.
constexpr char kProfileVendor[] = "FTP Sendora";
constexpr char kProfileApplication[] = "FTP Sendora";

enum class TransferType : int { Ascii = 0, Binary = 1, AutoDetect = 2 };
enum class FilenameCase : int { Lower = 0, Upper = 1, Unchanged = 2 };
enum class ExtensionChange : int { HtmToHtml = 0, HtmlToHtm = 1, Unchanged = 2 };

namespace BoxValue {
constexpr char HostName[] = "Host Name";
constexpr char UserId[] = "User ID";
constexpr char Password[] = "Password";
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
constexpr char TargetDirectory[] = "Target Directory";
}  // namespace BoxValue

// Who reads: the defaults differ (the engine and the browser see "Not Found"
// where the manager sees an empty field).
enum class BoxReader { Manager, Engine, Browser };

// Option numbers are kept as stored: readers give meaning to values outside
// the enums (the manager may store -1, a hand-made key anything).
struct BoxSettings {
    std::string hostName;
    std::string userId;
    std::string password;  // as stored, i.e. encoded
    std::string account;
    std::string directory;
    int geoCitiesLogin = 0;
    int port = 21;
    int transferType = static_cast<int>(TransferType::AutoDetect);
    int filenameCase = static_cast<int>(FilenameCase::Unchanged);
    int extensionChange = static_cast<int>(ExtensionChange::Unchanged);
    int erase = 0;
    int details = 0;
    std::string currentDirectory;
    int sortOrder = 0;
    std::string targetDirectory;
};

// The record every value of which is that reader's default.
BoxSettings DefaultBoxSettings(BoxReader reader);

// Every value of the box, each with the reader's default when missing.
BoxSettings ReadBoxSettings(CProfile& profile, const std::string& box, BoxReader reader);
