// What OK writes into a box's key, as a transcript of profile writes, and
// passwords of any length coming back as typed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "boxconfig/MemoryProfile.h"
#include "boxconfig/PasswordCodec.h"
#include "manager/BoxRecord.h"

namespace {

class CRecordingProfile : public CMemoryProfile {
public:
    void WriteString(const std::string& section, const std::string& name, const std::string& text) override
    {
        writes.push_back(section + "|" + name + "=" + text);
        CMemoryProfile::WriteString(section, name, text);
    }
    void WriteInt(const std::string& section, const std::string& name, int value) override
    {
        writes.push_back(section + "|" + name + "#" + std::to_string(value));
        CMemoryProfile::WriteInt(section, name, value);
    }
    void WriteBinary(const std::string& section, const std::string& name, const std::string& bytes) override
    {
        writes.push_back(section + "|" + name + ":" + bytes);
        CMemoryProfile::WriteBinary(section, name, bytes);
    }
    void DeleteValue(const std::string& section, const std::string& name) override
    {
        writes.push_back(section + "|-" + name);
        CMemoryProfile::DeleteValue(section, name);
    }
    std::vector<std::string> writes;
};

// Seals by a mark, or fails to, as the platform may.
class CTestSeal : public CPasswordSeal {
public:
    bool Seal(const std::string& plain, std::string* sealed) override
    {
        *sealed = "sealed:" + plain;
        return works;
    }
    bool Open(const std::string& sealed, std::string* plain) override
    {
        if (!works || sealed.compare(0, 7, "sealed:") != 0)
            return false;
        *plain = sealed.substr(7);
        return true;
    }
    bool works = true;
};

BoxEntries Entries(const std::string& password = "pw")
{
    BoxEntries e;
    e.UserId = "ann";
    e.Password = password;
    e.Account = "acct";
    e.GeoCities = 1;
    e.HostName = "ftp.example.net";
    e.Directory = "/www";
    return e;
}

}  // namespace

TEST(SavingABox, TheSixEntriesThenConfirmedOptionsOnceAndNeverUnconfirmedOnes)
{
    CRecordingProfile p;
    BoxOptions pending;
    pending.TransferMode = -1;  // a group left without a choice
    pending.NameCase = 0;
    pending.ExtensionRule = 1;
    pending.Erase = 1;
    pending.Port = 2121;
    pending.Passive = 1;
    pending.Confirmed = true;
    CTestSeal seal;
    WriteBoxEntries(p, "Site", Entries(), pending, seal);
    const std::vector<std::string> entries = {
        "Site|Host Name=ftp.example.net",
        "Site|User ID=ann",
        "Site|SecurePassword:sealed:pw",
        "Site|-Password",
        "Site|Directory=/www",
        "Site|Account=acct",
        "Site|GeoCities Login#1",
    };
    std::vector<std::string> expected = {"Site|-Certificate"};  // a new host
    expected.insert(expected.end(), entries.begin(), entries.end());
    for (const char* option : {"Site|Transfer Type#-1", "Site|Filenames#0", "Site|File Extensions#1", "Site|Port#2121",
                               "Site|Erase#1", "Site|Passive#1", "Site|TLS#0"})
        expected.push_back(option);
    EXPECT_EQ(p.writes, expected);
    EXPECT_FALSE(pending.Confirmed);

    // Saved again without a new confirmation: the stored options stay.
    p.writes.clear();
    WriteBoxEntries(p, "Site", Entries(), pending, seal);
    EXPECT_EQ(p.writes, entries);
    EXPECT_EQ(p.GetInt("Site", "Port", 21), 2121);
}

TEST(SavingABox, PasswordsOfAnyLengthComeBackAsTyped)
{
    for (size_t length : {1u, 2u, 3u, 126u, 127u, 128u, 300u, 1000u}) {
        std::string password;
        for (size_t i = 0; i < length; ++i)
            password += static_cast<char>(33 + (i * 7) % 94);
        CMemoryProfile p;
        BoxOptions pending;
        CTestSeal seal;
        seal.works = length % 2 == 0;  // the legacy text where sealing fails
        WriteBoxEntries(p, "Site", Entries(password), pending, seal);
        EXPECT_EQ(ReadBoxEntries(p, "Site", seal).Password, password) << length;
        EXPECT_EQ(ReadBoxPassword(p, "Site", BoxReader::Engine, seal), password) << length;
    }
}

TEST(SavingABox, APasswordIsStoredSealedAndALegacyOneReadUntilThen)
{
    CTestSeal seal;
    const std::string legacy = EncodePassword("old");
    const struct {
        const char* name;
        const char* password;  // the legacy "Password", when any
        const char* sealed;    // "SecurePassword", when any
        BoxReader reader;
        std::string read;
    } cases[] = {
        {"a legacy box, engine", legacy.c_str(), nullptr, BoxReader::Engine, "old"},
        {"a legacy box, browser", legacy.c_str(), nullptr, BoxReader::Browser, "old"},
        {"a legacy empty password, manager", "", nullptr, BoxReader::Manager, ""},
        {"sealed wins over a stale legacy text", legacy.c_str(), "sealed:new", BoxReader::Engine, "new"},
        {"a seal another user made is no password", nullptr, "foreign", BoxReader::Engine, ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CMemoryProfile p;
        if (c.password)
            p.WriteString("Site", "Password", c.password);
        if (c.sealed)
            p.WriteBinary("Site", "SecurePassword", c.sealed);
        EXPECT_EQ(ReadBoxPassword(p, "Site", c.reader, seal), c.read);
    }

    // Saving a legacy box converts it: no reversible text is left.
    CMemoryProfile p;
    p.WriteString("Site", "Password", legacy);
    BoxOptions pending;
    WriteBoxEntries(p, "Site", ReadBoxEntries(p, "Site", seal), pending, seal);
    std::string sealed;
    EXPECT_TRUE(p.GetBinary("Site", "SecurePassword", &sealed));
    EXPECT_EQ(sealed, "sealed:old");
    EXPECT_EQ(p.GetString("Site", "Password", "none"), "none");
}

TEST(SavingABox, ATrustedCertificateGoesWithANewHostOrPort)
{
    const struct {
        const char* name;
        const char* host;
        int port;
        bool confirmed;
        bool kept;
    } cases[] = {
        {"nothing changed", "ftp.example.net", 21, true, true},
        {"the host in other letter case", "FTP.Example.NET", 21, true, true},
        {"another host", "ftp.example.org", 21, true, false},
        {"another port", "ftp.example.net", 990, true, false},
        {"another port, not confirmed: not saved", "ftp.example.net", 990, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CMemoryProfile p;
        CTestSeal seal;
        p.WriteString("Site", "Host Name", "ftp.example.net");
        p.WriteInt("Site", "Port", 21);
        p.WriteString("Site", "Certificate", "AB:CD");
        BoxEntries entries = Entries();
        entries.HostName = c.host;
        BoxOptions pending;
        pending.Port = c.port;
        pending.Confirmed = c.confirmed;
        WriteBoxEntries(p, "Site", entries, pending, seal);
        EXPECT_EQ(p.GetString("Site", "Certificate", ""), c.kept ? "AB:CD" : "");
    }
}
