// What the manager accepts: the command line's forms, the entries OK checks,
// box names, the Port text, and how stored option numbers are shown.
#include <gtest/gtest.h>

#include <string>

#include "boxconfig/SuiteNames.h"

#include "manager/BoxRules.h"
#include "manager/CommandLine.h"

TEST(ManagerCommandLine, TheWholeTextIsOneArgumentAndOnlyAnExactSwitchInstalls)
{
    struct Case {
        const char* line;
        ManagerMode mode;
        const char* box;
    };
    const Case cases[] = {
        {"/i", ManagerMode::PlaceStartMenuShortcut, ""},
        {"/I", ManagerMode::PlaceStartMenuShortcut, ""},
        {"/i ", ManagerMode::BoxDialog, "/i "},
        {"-i", ManagerMode::BoxDialog, "-i"},
        {"/install", ManagerMode::BoxDialog, "/install"},
        {"", ManagerMode::BoxDialog, ""},
        {"my box name", ManagerMode::BoxDialog, "my box name"},
        {"\"quoted\"", ManagerMode::BoxDialog, "\"quoted\""},
        {"Site\r", ManagerMode::Browser, "Site"},
        {"my site\r", ManagerMode::Browser, "my site"},
        {"a\rb", ManagerMode::BoxDialog, "a\rb"},
    };
    for (const Case& c : cases) {
        const ManagerCommand got = ParseManagerCommandLine(c.line);
        EXPECT_EQ(got.mode, c.mode) << c.line;
        EXPECT_EQ(got.boxName, c.box) << c.line;
    }
}

TEST(LogonEntries, TheFirstMissingEntryIsNamed)
{
    struct Case {
        const char* user;
        const char* password;
        const char* host;
        const char* message;
    };
    const Case cases[] = {
        {"", "", "", "Please enter User ID."},        {"", "pw", "host", "Please enter User ID."},
        {"ann", "", "", "Please enter Password."},    {"ann", "", "host", "Please enter Password."},
        {"ann", "pw", "", "Please enter Host Name."},
    };
    for (const Case& c : cases) {
        const char* got = MissingLogonEntry(c.user, c.password, c.host);
        ASSERT_NE(got, nullptr) << c.message;
        EXPECT_STREQ(got, c.message);
    }
    EXPECT_EQ(MissingLogonEntry("ann", "pw", "host"), nullptr);
    EXPECT_EQ(BoxNameFor("", "ftp.example.net"), "ftp.example.net");
    EXPECT_EQ(BoxNameFor("Site", "ftp.example.net"), "Site");
}

// Which names are file names lives in SuiteNamesTest; here the message
// the manager gives for each kind of refusal, and what a box name must be
// beyond a file name.
TEST(BoxNames, EachRefusalNamesTheAliasAndWhy)
{
    const struct {
        const char* name;
        const char* why;
    } cases[] = {
        {"...", "a box's name needs more than blanks and dots."},
        {"tab\there", "it contains a control character."},
        {"a/b", "a box's name becomes a file name and must not contain any of the characters \\ / : * ? \" < > |"},
        {"..\\Sendora",
         "a box's name becomes a file name and must not contain any of the characters \\ / : * ? \" < > |"},
        {"Nul.txt", "Windows reserves that name for a device."},
        {"LPT0", "Windows reserves that name for a device."},
        {" Site", "a box's name cannot begin or end with a blank."},
        {"Site ", "a box's name cannot begin or end with a blank."},
        {"Site.", "a box's name cannot end with a dot."},
        {"Site .", "a box's name cannot end with a dot."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(BoxNameRefusal(c.name, 255), "The alias \"" + std::string(c.name) + "\" cannot be used: " + c.why);
    EXPECT_EQ(BoxNameRefusal("site.one", 255), "");
    EXPECT_EQ(BoxNameRefusal("my  site", 255), "");
    EXPECT_EQ(BoxNameRefusal("", 255), "Please enter an Alias for the box.");
    EXPECT_EQ(BoxNameFault("", 255), "a box needs a name.");
    // The limit comes from the suite's and the shortcut folders' paths (the e2e test meets it).
    EXPECT_EQ(BoxNameRefusal(std::string(41, 'x'), 40),
              "The alias \"" + std::string(41, 'x') +
                  "\" cannot be used: it is longer than the 40 characters that its settings key, engine copy and "
                  "shortcuts allow here.");
}

TEST(PortText, ADecimalIntegerWithBlanksOrTabsAroundIt)
{
    struct Case {
        const char* text;
        int value;
    };
    const Case good[] = {
        {"21", 21},
        {" 2121 ", 2121},
        {"\t21\t", 21},
        {"0021", 21},
        {"0", 0},
        {"-5", -5},
        {"+7", 7},
        {"99999", 99999},
        {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1},
    };
    for (const Case& c : good) {
        int value = -1;
        EXPECT_TRUE(ParseIntegerText(c.text, value)) << c.text;
        EXPECT_EQ(value, c.value) << c.text;
    }
    for (const char* text : {"", "  ", "\t", "2 1", "21a", "a21", "0x15", "2.5", "-", "+", "--5", "\n21", "21\r",
                             "2147483648", "-2147483649", "99999999999999999999"}) {
        int value = 1234;
        EXPECT_FALSE(ParseIntegerText(text, value)) << text;
        EXPECT_EQ(value, 1234) << "left alone: " << text;
    }
}

TEST(StoredOptions, NumbersOutsideAGroupCheckNoButtonAndEraseShowsOnlyOneOrTwo)
{
    const int radio[][2] = {{0, 0}, {1, 1}, {2, 2}, {3, -1}, {5, -1}, {-1, -1}};
    for (auto& r : radio)
        EXPECT_EQ(RadioForStored(r[0], 3), r[1]) << r[0];
    const int erase[][2] = {{0, 0}, {1, 1}, {2, 1}, {3, 0}, {-1, 0}, {100, 0}};
    for (auto& e : erase)
        EXPECT_EQ(EraseCheckForStored(e[0]), e[1]) << e[0];
}

TEST(ShortcutNames, TheWholeNameUpperCasedInTheFolder)
{
    const char* cases[][3] = {
        {"C:\\Desktop", "my site", "C:\\Desktop\\MY SITE.LNK"},
        {"C:\\Desktop", "site.one", "C:\\Desktop\\SITE.ONE.LNK"},
        {"C:\\Desktop", "Create New Sendora", "C:\\Desktop\\CREATE NEW SENDORA.LNK"},
        {"C:\\D", "caf\xe9 [1]", "C:\\D\\CAF\xe9 [1].LNK"},
        {"Not Found", "site", "Not Found\\SITE.LNK"},
    };
    for (auto& c : cases)
        EXPECT_EQ(ShortcutFilePath(c[0], c[1]), c[2]) << c[1];
}
