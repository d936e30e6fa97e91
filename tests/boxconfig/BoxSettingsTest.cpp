#include <gtest/gtest.h>

#include <utility>

#include "boxconfig/BoxSettings.h"
#include "support/MemoryProfile.h"

namespace {

const BoxReader Readers[] = {BoxReader::Manager, BoxReader::Engine, BoxReader::Browser};

TEST(BoxSettings, EveryMissingTextGivesEachReaderItsDefault)
{
    const struct {
        BoxText value;
        const char* name;
        const char* byReader[3];  // manager, engine, browser
    } cases[] = {
        {BoxText::HostName, "Host Name", {"", "Not Found", "Not Found"}},
        {BoxText::UserId, "User ID", {"", "Not Found", "Not Found"}},
        {BoxText::Password, "Password", {"", "Not Found", "Not Found"}},
        {BoxText::Account, "Account", {"", "", ""}},
        {BoxText::Directory, "Directory", {"", "Not Found", "Not Found"}},
        {BoxText::CurrentDirectory, "Current Directory", {"", "", "Not Found"}},
        {BoxText::TargetDirectory, "Target Directory", {"", "", ""}},
        {BoxText::Certificate, "Certificate", {"", "", ""}},
        {BoxText::HostKey, "HostKey", {"", "", ""}},
    };
    CMemoryProfile p;
    for (const auto& c : cases) {
        EXPECT_STREQ(BoxValueName(c.value), c.name);
        for (int r = 0; r < 3; ++r)
            EXPECT_EQ(CBoxSettings(p, "Nobody", Readers[r]).Text(c.value), c.byReader[r]) << c.name << " reader " << r;
    }
    // Reading opened the section: an empty key of that name is left behind.
    EXPECT_TRUE(p.HasSection("Nobody"));
    EXPECT_EQ(p.ValueCount("Nobody"), 0u);
}

TEST(BoxSettings, ABoxWithoutOptionsGivesEveryReader21And2And2And2And0)
{
    const struct {
        BoxNumber value;
        const char* name;
        int byDefault;
    } cases[] = {
        {BoxNumber::GeoCitiesLogin, "GeoCities Login", 0},
        {BoxNumber::Port, "Port", 21},
        {BoxNumber::TransferType, "Transfer Type", 2},
        {BoxNumber::Filenames, "Filenames", 2},
        {BoxNumber::FileExtensions, "File Extensions", 2},
        {BoxNumber::Erase, "Erase", 0},
        {BoxNumber::Details, "Details", 0},
        {BoxNumber::SortOrder, "Sort Order", 0},
        {BoxNumber::Passive, "Passive", 0},
        {BoxNumber::Tls, "TLS", 0},
        {BoxNumber::Sftp, "SFTP", 0},
        {BoxNumber::Timeout, "Timeout", 60},
        {BoxNumber::TempUpload, "TempUpload", 0},
    };
    CMemoryProfile p;
    p.WriteString("Site", BoxValue::HostName, "ftp.example.org");
    for (const auto& c : cases) {
        EXPECT_STREQ(BoxValueName(c.value), c.name);
        for (BoxReader r : Readers)
            EXPECT_EQ(CBoxSettings(p, "Site", r).Number(c.value), c.byDefault) << c.name;
    }
    const CBoxSettings engine(p, "Site", BoxReader::Engine);
    EXPECT_EQ(engine.Text(BoxText::HostName), "ftp.example.org");
    EXPECT_EQ(engine.Transfer(), TransferType::AutoDetect);
    EXPECT_EQ(engine.NameCase(), FilenameCase::Unchanged);
    EXPECT_EQ(engine.Extensions(), ExtensionChange::Unchanged);
}

TEST(BoxSettings, TheTimeLimitAndThePortAreKeptInRange)
{
    CMemoryProfile p;
    const CBoxSettings engine(p, "Site", BoxReader::Engine);
    for (const auto& c : {std::pair<int, int>{60, 60}, {0, 0}, {-5, 0}, {3600, 3600}, {99999, 3600}}) {
        p.WriteInt("Site", BoxValue::Timeout, c.first);
        EXPECT_EQ(engine.TimeLimit(), c.second) << c.first;
    }
    for (int port : {1, 21, 65535})
        EXPECT_TRUE(IsValidPort(port)) << port;
    for (int port : {0, -21, 65536, 104929})
        EXPECT_FALSE(IsValidPort(port)) << port;
}

TEST(BoxSettings, StoredValuesAreReadAtEachUseAndKeptAsStored)
{
    CMemoryProfile p;
    const CBoxSettings engine(p, "Odd", BoxReader::Engine);
    p.WriteString("Odd", "directory", "www");  // value names are case-insensitive
    EXPECT_EQ(engine.Text(BoxText::Directory), "www");
    p.WriteString("Odd", BoxValue::Directory, "/other");
    EXPECT_EQ(engine.Text(BoxText::Directory), "/other") << "changed during a run: seen at the next use";
    // Numbers outside the enums stay for the rules to judge.
    p.WriteInt("Odd", BoxValue::TransferType, 7);
    p.WriteInt("Odd", BoxValue::Filenames, -1);
    p.WriteInt("Odd", BoxValue::Port, 2121);
    EXPECT_EQ(static_cast<int>(engine.Transfer()), 7);
    EXPECT_EQ(static_cast<int>(engine.NameCase()), -1);
    EXPECT_EQ(engine.Number(BoxNumber::Port), 2121);
    // A string where a number belongs is no number: the default.
    p.WriteString("Odd", BoxValue::Erase, "1");
    EXPECT_EQ(engine.Number(BoxNumber::Erase), 0);
}

}  // namespace
