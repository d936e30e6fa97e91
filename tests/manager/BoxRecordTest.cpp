// What OK writes into a box's key, as a transcript of profile writes, and
// passwords of any length coming back as typed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "boxconfig/PasswordCodec.h"
#include "manager/BoxRecord.h"
#include "support/MemoryProfile.h"

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
    std::vector<std::string> writes;
};

// Seals by a mark, or fails to, as the platform may.
class CTestSeal : public CPasswordSeal {
public:
    bool Seal(const std::string& plain, std::string* sealed) override
    {
        *sealed = "~" + plain;
        return works;
    }
    bool Open(const std::string& sealed, std::string* plain) override
    {
        *plain = sealed.substr(1);
        return works && sealed[0] == '~';
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
    pending.Timeout = 0;
    pending.TempUpload = 1;
    pending.Confirmed = true;
    CTestSeal seal;
    WriteBoxEntries(p, "Site", Entries(), pending, seal);
    const std::vector<std::string> entries = {
        "Site|Host Name=ftp.example.net",
        "Site|User ID=ann",
        "Site|Directory=/www",
        "Site|Account=acct",
        "Site|GeoCities Login#1",
    };
    std::vector<std::string> expected = entries;
    for (const char* option : {"Site|Transfer Type#-1", "Site|Filenames#0", "Site|File Extensions#1", "Site|Port#2121",
                               "Site|Erase#1", "Site|Passive#1", "Site|TLS#0", "Site|SFTP#0", "Site|Timeout#0",
                               "Site|TempUpload#1"})
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
        seal.works = length % 2 == 0;  // else the legacy text
        WriteBoxEntries(p, "Site", Entries(password), pending, seal);
        EXPECT_EQ(ReadBoxEntries(p, "Site", seal).Password, password) << length;
        EXPECT_EQ(p.GetString("Site", "Password", "") != "", !seal.works) << "never both";
    }
}
