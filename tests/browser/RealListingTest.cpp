// Listings of real servers: pyftpdlib and vsftpd list one folder (files,
// folders, names with blanks inside and in front, a link, a file from 1998)
// over the FTP core's active-mode channel, and the parser and cache records
// are checked.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <filesystem>
#include <map>
#include <regex>
#include <string>

#include "ftp/ScriptedServer.h"  // CHelperProcess
#include "ftp/TempDir.h"
#include "browser/BrowserRules.h"
#include "ftp/ReplyText.h"
#include "ListingCodec.h"
#include "browser/Listing.h"
#include "ftp/Transfer.h"

namespace {

struct Expected {
    bool directory;
    std::string size;  // files only: directory sizes are the server's
};

void MakeFolder(const CTempDir& root)
{
    WriteFile(root.Path("readme.txt"), "hi\n");
    WriteFile(root.Path("big.bin"), PatternBytes(10240));
    WriteFile(root.Path("my file.txt"), "blanks in the name");
    WriteFile(root.Path("  lead.txt"), "lead");
    WriteFile(root.Path("old.zip"), "12345");
    std::filesystem::create_directory(root.Path("sub"));
    std::filesystem::create_directory(root.Path("public html"));
    ASSERT_EQ(symlink("readme.txt", root.Path("link").c_str()), 0);
    struct utimbuf old = {};
    old.actime = old.modtime = 912693600;  // Dec 3 1998
    ASSERT_EQ(utime(root.Path("old.zip").c_str(), &old), 0);
}

const std::map<std::string, Expected>& Folder()
{
    static const std::map<std::string, Expected> folder = {
        {"readme.txt", {false, "3"}}, {"big.bin", {false, "10240"}}, {"my file.txt", {false, "18"}},
        {"old.zip", {false, "5"}},    {"sub", {true, ""}},           {"public html", {true, ""}},
        {"  lead.txt", {false, "4"}},
    };
    return folder;
}

// What the list worker does on the wire: TYPE A, PORT, LIST into a file, PWD.
std::string ListOver(unsigned short port, const char* user, const char* password, const std::string& file,
                     std::string& pwd)
{
    CFtpClient ftp;
    CSocketOwner socket(ftp.ConnectToHost("127.0.0.1", port));
    if (!socket.IsValid())
        return "no connection";
    CPlainStream control(socket.Get());
    if (IsFailureCode(ftp.SendCommand(control, CommandLine("USER", user).c_str())) ||
        IsFailureCode(ftp.SendCommand(control, CommandLine("PASS", password).c_str())))
        return std::string("log-in refused: ") + ftp.LastReply();
    ftp.SendCommand(control, CommandLine("TYPE", "A").c_str());
    CTransfer transfer(ftp, control);
    if (!transfer.OpenDataPort())
        return std::string("PORT refused: ") + ftp.LastReply();
    const TransferResult listed = transfer.Download(CommandLine("LIST"), file.c_str());
    if (!listed.IsDone())
        return std::string("no listing received: ") + listed.text;
    if (IsFailureCode(ftp.SendCommand(control, CommandLine("PWD").c_str())) || !QuotedPath(ftp.LastReply(), pwd))
        return std::string("PWD: ") + ftp.LastReply();
    ftp.SendCommand(control, CommandLine("QUIT").c_str());
    return std::string();
}

// vsftpd run as the launching user does not change its root: its PWD is the
// folder's own path.
void CheckListing(const char* kind, const char* user, const char* password, bool rootIsSlash)
{
    CTempDir root, local;
    MakeFolder(root);
    CHelperProcess server(SUITE_SOURCE_DIR "/tests/browser/listing_server.py",
                          std::string("--kind ") + kind + " --root '" + root.Path("") + "'");
    ASSERT_NE(server.Port(), 0) << kind << " did not start";

    std::string pwd;
    const std::string file = local.Path("list.tmp");
    ASSERT_EQ(ListOver(server.Port(), user, password, file, pwd), "") << kind;
    std::string folder = root.Path("");
    folder.pop_back();
    EXPECT_EQ(pwd, rootIsSlash ? "/" : folder) << kind;

    const std::string raw = ReadFile(file);
    EXPECT_NE(raw.find("\r\nl"), std::string::npos) << kind << ": the link is listed\n" << raw;
    EXPECT_NE(raw.find("link -> readme.txt"), std::string::npos) << raw;

    const std::vector<ListingRecord> records = ParseListingText(raw);
    std::map<std::string, const ListingRecord*> byName;
    for (const ListingRecord& r : records)
        byName[RecordName(r)] = &r;
    EXPECT_EQ(byName.size(), Folder().size()) << kind << ": the link and nothing else is left out\n" << raw;

    const std::regex recent("[A-Z][a-z][a-z] [ 0-9][0-9] [0-9][0-9]:[0-9][0-9] ");
    for (const auto& want : Folder()) {
        auto it = byName.find(want.first);
        if (it == byName.end()) {
            ADD_FAILURE() << kind << ": no row " << want.first << "\n" << raw;
            continue;
        }
        const ListingRecord& r = *it->second;
        EXPECT_EQ(IsDirectoryRecord(r), want.second.directory) << kind << " " << want.first;
        EXPECT_EQ(RecordType(r), want.second.directory ? "<DIR>" : " ");
        if (!want.second.directory) {
            EXPECT_EQ(RecordSize(r), want.second.size) << kind << " " << want.first;
        }
        const std::string date = RecordDate(r);
        ASSERT_EQ(date.size(), 13u) << kind << " " << want.first;
        if (want.first == "old.zip")
            EXPECT_EQ(date.substr(7), " 1998 ") << kind << ": '" << date << "'";
        else
            EXPECT_TRUE(std::regex_match(date, recent)) << kind << ": '" << date << "'";
    }

    // The cache holds the same records, in the server's order.
    std::string cache;
    for (const ListingRecord& r : records)
        cache += EncodeListingRecord(r);
    ASSERT_EQ(cache.size(), records.size() * 352);
    const std::vector<ListingRecord> back = DecodeListingCache(cache);
    ASSERT_EQ(back.size(), records.size());
    for (size_t i = 0; i < back.size(); ++i) {
        EXPECT_EQ(RecordName(back[i]), RecordName(records[i]));
        EXPECT_EQ(cache.substr(i * 352, RecordName(records[i]).size() + 1), RecordName(records[i]) + '\0');
        EXPECT_EQ(cache.substr(i * 352 + 320, RecordType(records[i]).size() + 1), RecordType(records[i]) + '\0');
    }
}

TEST(RealListing, Pyftpdlib)
{
    CheckListing("pyftpdlib", "ann", "pw", true);
}

TEST(RealListing, Vsftpd)
{
    if (access("/usr/sbin/vsftpd", X_OK) != 0)
        GTEST_SKIP() << "vsftpd is not installed";
    CheckListing("vsftpd", "anonymous", "guest@example.invalid", false);
}

}  // namespace
