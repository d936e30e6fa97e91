#include <gtest/gtest.h>

#include "boxconfig/BoxSettings.h"
#include "boxconfig/MemoryProfile.h"

namespace {

TEST(BoxSettings, ABoxWithoutOptionsGivesEveryReaderItsDefaults)
{
    CMemoryProfile p;
    p.WriteString("Site", BoxValue::HostName, "ftp.example.org");
    for (BoxReader r : {BoxReader::Manager, BoxReader::Engine, BoxReader::Browser}) {
        const BoxSettings s = ReadBoxSettings(p, "Site", r);
        EXPECT_EQ(s.hostName, "ftp.example.org");
        EXPECT_EQ(s.port, 21);
        EXPECT_EQ(s.transferType, 2);
        EXPECT_EQ(s.filenameCase, 2);
        EXPECT_EQ(s.extensionChange, 2);
        EXPECT_EQ(s.erase, 0);
        EXPECT_EQ(s.details, 0);
        EXPECT_EQ(s.sortOrder, 0);
        EXPECT_EQ(s.geoCitiesLogin, 0);
        EXPECT_EQ(s.targetDirectory, "");
    }
}

TEST(BoxSettings, MissingTextsAreEmptyForTheManagerAndNotFoundElsewhere)
{
    CMemoryProfile p;
    const BoxSettings m = ReadBoxSettings(p, "Nobody", BoxReader::Manager);
    EXPECT_EQ(m.hostName, "");
    EXPECT_EQ(m.userId, "");
    EXPECT_EQ(m.password, "");
    EXPECT_EQ(m.directory, "");
    EXPECT_EQ(m.account, "");
    for (BoxReader r : {BoxReader::Engine, BoxReader::Browser}) {
        const BoxSettings s = ReadBoxSettings(p, "Nobody", r);
        EXPECT_EQ(s.hostName, "Not Found");
        EXPECT_EQ(s.userId, "Not Found");
        EXPECT_EQ(s.password, "Not Found");
        EXPECT_EQ(s.directory, "Not Found");
    }
    EXPECT_EQ(ReadBoxSettings(p, "Nobody", BoxReader::Browser).currentDirectory, "Not Found");
    // Reading opened the section: an empty key of that name is left behind.
    EXPECT_TRUE(p.HasSection("Nobody"));
    EXPECT_EQ(p.ValueCount("Nobody"), 0u);
}

TEST(BoxSettings, StoredNumbersOutsideTheEnumsAreKeptForTheReaderToJudge)
{
    CMemoryProfile p;
    p.WriteInt("Odd", BoxValue::TransferType, 7);
    p.WriteInt("Odd", BoxValue::Filenames, -1);
    p.WriteInt("Odd", BoxValue::Port, 2121);
    p.WriteString("Odd", "directory", "www");  // value names are case-insensitive
    const BoxSettings s = ReadBoxSettings(p, "Odd", BoxReader::Engine);
    EXPECT_EQ(s.transferType, 7);
    EXPECT_EQ(s.filenameCase, -1);
    EXPECT_EQ(s.port, 2121);
    EXPECT_EQ(s.directory, "www");
}

}  // namespace
