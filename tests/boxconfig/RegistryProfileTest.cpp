// The profile against the real registry (under Wine in the test run).
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "boxconfig/BoxSettings.h"
#include "boxconfig/RegistryProfile.h"

namespace {

const char App[] = "Software\\FTP Sendora\\FTP Sendora";

std::string KeyOf(const std::string& box)
{
    return std::string(App) + "\\" + box;
}

bool KeyExists(const std::string& path)
{
    HKEY k;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS)
        return false;
    RegCloseKey(k);
    return true;
}

DWORD ValueCount(const std::string& path)
{
    HKEY k;
    DWORD n = 0;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &k) == ERROR_SUCCESS) {
        RegQueryInfoKeyA(k, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &n, nullptr, nullptr, nullptr,
                         nullptr);
        RegCloseKey(k);
    }
    return n;
}

void SetRaw(const std::string& box, const char* name, DWORD type, const void* data, DWORD size)
{
    HKEY k;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, KeyOf(box).c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &k, nullptr),
              ERROR_SUCCESS);
    RegSetValueExA(k, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(k);
}

class RegistryProfile : public ::testing::Test {
protected:
    void SetUp() override { profile.DeleteSection(box); }
    void TearDown() override { profile.DeleteSection(box); }
    CRegistryProfile& profile = SuiteProfile();
    std::string box = std::string("Test ") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
};

TEST_F(RegistryProfile, ReadingAMissingBoxGivesDefaultsAndLeavesAnEmptyKey)
{
    ASSERT_FALSE(KeyExists(KeyOf(box)));
    const CBoxSettings e(profile, box, BoxReader::Engine);
    EXPECT_EQ(e.Text(BoxText::HostName), "Not Found");
    EXPECT_EQ(e.Text(BoxText::UserId), "Not Found");
    EXPECT_EQ(e.Text(BoxText::Password), "Not Found");
    EXPECT_EQ(e.Text(BoxText::Directory), "Not Found");
    EXPECT_EQ(e.Number(BoxNumber::Port), 21);
    EXPECT_EQ(e.Number(BoxNumber::TransferType), 2);
    EXPECT_EQ(e.Number(BoxNumber::Filenames), 2);
    EXPECT_EQ(e.Number(BoxNumber::FileExtensions), 2);
    EXPECT_EQ(e.Number(BoxNumber::Erase), 0);
    EXPECT_EQ(e.Number(BoxNumber::Details), 0);
    const CBoxSettings m(profile, box, BoxReader::Manager);
    EXPECT_EQ(m.Text(BoxText::HostName), "");
    EXPECT_EQ(m.Text(BoxText::Password), "");
    EXPECT_EQ(m.Number(BoxNumber::GeoCitiesLogin), 0);
    const CBoxSettings b(profile, box, BoxReader::Browser);
    EXPECT_EQ(b.Text(BoxText::CurrentDirectory), "Not Found");
    EXPECT_EQ(b.Number(BoxNumber::SortOrder), 0);
    EXPECT_EQ(b.Text(BoxText::TargetDirectory), "");
    EXPECT_TRUE(KeyExists(KeyOf(box)));
    EXPECT_EQ(ValueCount(KeyOf(box)), 0u);
}

TEST_F(RegistryProfile, StringsAreRegSzWithTheirNulAndNumbersRegDword)
{
    profile.WriteString(box, BoxValue::HostName, "ftp.example.org");
    profile.WriteString(box, BoxValue::Password, "");
    profile.WriteInt(box, BoxValue::Port, 2121);
    profile.WriteInt(box, BoxValue::TransferType, -1);

    HKEY k;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, KeyOf(box).c_str(), 0, KEY_READ, &k), ERROR_SUCCESS);
    DWORD type = 0, size = 0;
    ASSERT_EQ(RegQueryValueExA(k, "Host Name", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(size, sizeof "ftp.example.org");
    ASSERT_EQ(RegQueryValueExA(k, "Password", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 1u);
    DWORD port = 0;
    size = sizeof port;
    ASSERT_EQ(RegQueryValueExA(k, "Port", nullptr, &type, reinterpret_cast<BYTE*>(&port), &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(port, 2121u);
    RegCloseKey(k);

    EXPECT_EQ(profile.GetString(box, "host name", "x"), "ftp.example.org");
    EXPECT_EQ(profile.GetString(box, BoxValue::Password, "x"), "");
    EXPECT_EQ(profile.GetInt(box, BoxValue::Port, 21), 2121);
    EXPECT_EQ(profile.GetInt(box, BoxValue::TransferType, 2), -1);
}

TEST_F(RegistryProfile, UnreadableValuesGiveTheDefault)
{
    const char noNul[] = {'a', 'b', 'c'};
    SetRaw(box, "Directory", REG_SZ, noNul, sizeof noNul);  // made by hand, no NUL
    SetRaw(box, "Port", REG_SZ, "2121", 5);                 // text where a number belongs
    const WORD shortPort = 99;
    SetRaw(box, "Erase", REG_BINARY, &shortPort, sizeof shortPort);
    const DWORD number = 5;
    SetRaw(box, "Host Name", REG_DWORD, &number, sizeof number);  // number where text belongs

    EXPECT_EQ(profile.GetString(box, BoxValue::Directory, "Not Found"), "abc");
    EXPECT_EQ(profile.GetInt(box, BoxValue::Port, 21), 21);
    EXPECT_EQ(profile.GetInt(box, BoxValue::Erase, 0), 0);
    EXPECT_EQ(profile.GetString(box, BoxValue::HostName, "Not Found"), "Not Found");
}

TEST_F(RegistryProfile, LongTextsAreKeptWhole)
{
    std::string text;
    for (int i = 0; i < 5000; ++i)
        text += static_cast<char>('a' + i % 26);
    profile.WriteString(box, BoxValue::Password, text);
    EXPECT_EQ(profile.GetString(box, BoxValue::Password, ""), text);
}

TEST_F(RegistryProfile, DeleteSectionRemovesTheKeyWithAllItsValues)
{
    profile.WriteString(box, BoxValue::HostName, "h");
    profile.WriteInt(box, BoxValue::Details, 1);
    HKEY sub;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, (KeyOf(box) + "\\extra").c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                              &sub, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(sub);
    profile.WriteString("Test Neighbour", BoxValue::HostName, "n");

    profile.DeleteSection(box);
    EXPECT_FALSE(KeyExists(KeyOf(box)));
    EXPECT_EQ(profile.GetString("Test Neighbour", BoxValue::HostName, ""), "n");
    profile.DeleteSection("Test Neighbour");
    EXPECT_TRUE(KeyExists(App));
}

TEST_F(RegistryProfile, HoldsValuesOnlyForAKeyWithValuesAndNeverMakesOne)
{
    EXPECT_FALSE(profile.HoldsValues(box));
    EXPECT_FALSE(KeyExists(KeyOf(box)));
    profile.GetString(box, BoxValue::HostName, "");  // a read leaves an empty key
    EXPECT_FALSE(profile.HoldsValues(box));
    profile.WriteString(box, BoxValue::HostName, "h");
    EXPECT_TRUE(profile.HoldsValues(box));
    EXPECT_FALSE(profile.HoldsValues(""));
}

TEST_F(RegistryProfile, AnEmptySectionIsTheApplicationKey)
{
    profile.WriteInt("", "Test Value", 7);
    EXPECT_EQ(profile.GetInt("", "Test Value", 0), 7);
    HKEY k;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, App, 0, KEY_WRITE, &k), ERROR_SUCCESS);
    RegDeleteValueA(k, "Test Value");
    RegCloseKey(k);
}

}  // namespace
