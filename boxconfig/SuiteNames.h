// The names and texts the suite's programs share, and the rules by which a
// text may become a file name on Windows. No Windows header: the rules are
// checked on the build machine.
#pragma once

#include <string>
#include <vector>

// The application's name: the caption of Sendora's and SndMgr's messages,
// and both levels of the settings key under HKEY_CURRENT_USER\Software.
constexpr char SuiteTitle[] = "FTP Sendora";

// What the engine and the browser read for a text setting that is missing,
// and what a shell folder that cannot be read is held as.
constexpr char NotFound[] = "Not Found";

// The failures of FTP over TLS, the same in the engine and the browser.
constexpr char TlsNotOffered[] =
    "The FTP host does not offer FTP over TLS, which this box requires.\nThe user name and password were not sent.";
constexpr char TlsFailed[] = "Unable to establish an encrypted connection to the FTP host";
constexpr char TlsDataRefused[] = "The FTP host refused the encrypted data connection";
constexpr char TlsDataFailed[] = "Unable to use an encrypted data connection to the FTP host";
// SFTP boxes: No to an SSH host key ends the run before the log-in.
constexpr char HostKeyRefused[] =
    "The host key of the SFTP host was not trusted.\nThe user name and password were not sent.";

// Why a stored control port is never connected to, after host and port.
constexpr char PortOutOfRange[] = "the port must be from 1 to 65535";

// A message and what caused it (a server's reply, the TLS layer's words)
// below it, without the reason's trailing line end; the message alone when
// there is no reason.
std::string WithReason(const char* message, std::string reason);

// The folder beside the programs that holds one engine copy per box.
constexpr char BoxesFolder[] = "Boxes";

// The engine copy of a box is the box name with this extension.
constexpr char EngineExtension[] = ".exe";
std::string EngineFileName(const std::string& box);

// "<suiteFolder>\Boxes\<box>.exe", where the manager makes the engine copy;
// suiteFolder comes without its trailing backslash.
std::string BoxEnginePath(const std::string& suiteFolder, const std::string& box);

// The remote browser's listing cache of a box, kept in the folder the
// manager runs in (the suite's folder) and removed with the box.
std::string CacheFileName(const std::string& box);

// "<programFolder>boxes\<entry>", as the box listing and the programs that
// start box engines name a file of that folder (programFolder ends in a
// backslash). The file system ignores the case; the command lines keep the
// spelling the engines have always been started with.
std::string BoxesEntryPath(const std::string& programFolder, const std::string& entry);

// Case folding of the letters a to z only: bytes of 128 and up are the code
// page's own letters, which these rules leave as they are.
std::string AsciiLower(std::string text);
std::string AsciiUpper(std::string text);

// The extension of a name as a path splitter gives it: from the last dot to
// the end, "" when there is none or the dot lies in a folder part.
std::string ExtensionOf(const std::string& name);

// The 17 text extensions, compared without regard to case: such files travel
// as TYPE A when the type is chosen by the name, every other as TYPE I.
bool IsTextExtension(const std::string& extension);
bool IsTextName(const std::string& name);

// Why a text cannot name a file inside a folder, first found first.
enum class FileNameFault {
    None,
    Empty,
    DotsAndBlanks,      // nothing else: Windows drops trailing dots and blanks
    ControlCharacter,   // a byte below 32
    ReservedCharacter,  // \ / : * ? " < > |
    DeviceName,         // see IsDeviceName
};
FileNameFault FileNameFaultOf(const std::string& name);

// Windows drops a name's trailing dots and blanks when it makes the file, so
// "a.txt." and "a.txt " both become "a.txt". Box names may end so (their
// files add ".exe"); a name that must reach the disk as it is may not.
bool EndsInDotOrBlank(const std::string& name);

// CON, PRN, AUX, NUL, CONIN$, CONOUT$, COM0-COM9 and LPT0-LPT9, also COM and
// LPT with the superscript digits 1, 2 and 3 of the code page (0xB9, 0xB2,
// 0xB3): in any case, with or without an extension, trailing dots and blanks
// ignored. Windows opens the device for such a name, in any folder.
bool IsDeviceName(const std::string& name);

// folder\NAME.LNK, NAME being the whole name with a to z upper-cased and
// every other byte kept. The whole name, dots included: cut at its first
// ".", the box "site.one" would overwrite the shortcuts of the box "site",
// and Delete, which looks for "<name>.lnk", would never find them.
inline std::string ShortcutFilePath(const std::string& folder, const std::string& name)
{
    return folder + "\\" + AsciiUpper(name) + ".LNK";
}

// The folders a box's files lie in, each without a trailing backslash. A
// shell folder that could not be read is held as "Not Found", as the
// programs hold it.
struct SuiteFolders {
    std::string program;  // the programs, the Boxes folder and the listing caches
    std::string desktop;
    std::string sendTo;
};

// The Desktop and Send To shortcuts of a box; none in a shell folder that is
// not known ("Not Found\BOX.LNK" would be a path below the current folder).
std::vector<std::string> BoxShortcuts(const SuiteFolders& folders, const std::string& box);
