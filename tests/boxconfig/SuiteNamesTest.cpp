// The naming rules every program shares: which texts can be file names (box
// names, downloaded names), which names travel as text, and case folding.
#include <gtest/gtest.h>

#include <string>

#include "boxconfig/SuiteNames.h"

namespace {

TEST(FileNames, EachFaultAsWindowsWouldMeetIt)
{
    using F = FileNameFault;
    const struct {
        const char* name;
        FileNameFault fault;
    } cases[] = {
        {"Site", F::None},
        {"my site", F::None},
        {"site.one", F::None},
        {"site.", F::None},
        {"...txt", F::None},
        {".profile", F::None},
        {"x..y", F::None},
        {"127.0.0.1", F::None},
        {"caf\xe9 \xfc", F::None},
        {"a-b_c (2) [x] {y} & #1", F::None},
        {"", F::Empty},
        {".", F::DotsAndBlanks},
        {"..", F::DotsAndBlanks},
        {"...", F::DotsAndBlanks},
        {" ", F::DotsAndBlanks},
        {" . ", F::DotsAndBlanks},
        {"tab\there", F::ControlCharacter},
        {"cr\r", F::ControlCharacter},
        {"a\r\nDELE b", F::ControlCharacter},
        {"a/b", F::ReservedCharacter},
        {"a\\b", F::ReservedCharacter},
        {"..\\evil.txt", F::ReservedCharacter},
        {"../evil.txt", F::ReservedCharacter},
        {"c:", F::ReservedCharacter},
        {"C:evil.txt", F::ReservedCharacter},
        {"ftp://host/dir", F::ReservedCharacter},
        {"*", F::ReservedCharacter},
        {"who?", F::ReservedCharacter},
        {"say \"hi\"", F::ReservedCharacter},
        {"<box>", F::ReservedCharacter},
        {"a|b", F::ReservedCharacter},
        {"PRN.site", F::DeviceName},
        {"nul|x", F::ReservedCharacter},  // the character is named first
    };
    for (const auto& c : cases)
        EXPECT_EQ(static_cast<int>(FileNameFaultOf(c.name)), static_cast<int>(c.fault)) << "'" << c.name << "'";
}

TEST(FileNames, DeviceNamesInAnyCaseWithOrWithoutExtension)
{
    for (const char* name :
         {"CON",      "con",        "Nul",      "aux ",        "con.txt", "aux.tar.gz", "CON .txt", "nul.",
          "NUL. . .", "COM1",       "com9.log", "lpt9",        "LPT1",    "COM0",       "lpt0.txt", "CONIN$",
          "conout$",  "ConIn$.log", "COM\xb9",  "com\xb2.txt", "LPT\xb3", "lpt\xb9 .", "COM\xc2\xb9", "lpt\xc2\xb3.txt"})
        EXPECT_TRUE(IsDeviceName(name)) << name;
    for (const char* name : {"CONSOLE", "CONSOLE.txt", "COM10", "com", "nul-site", "nul_device.txt", "x.con", "CONIN",
                             "CONIN$$", "COM\xb4", "LPT\xbc", "COMA", "LPT1x", "a CON", "COM\xc2\xbc", "COM1\xc2\xb9"})
        EXPECT_FALSE(IsDeviceName(name)) << name;
}

TEST(FileNames, TrailingDotsAndBlanksThatWindowsWouldDrop)
{
    for (const char* name : {"a.txt.", "a.txt ", "site.", "x. ", "."})
        EXPECT_TRUE(EndsInDotOrBlank(name)) << "'" << name << "'";
    for (const char* name : {"a.txt", " lead.txt", "a .txt", ".profile", ""})
        EXPECT_FALSE(EndsInDotOrBlank(name)) << "'" << name << "'";
}

TEST(TextNames, TheSeventeenExtensionsInAnyCase)
{
    for (const char* name : {"readme.txt", "a.bat",    "setup.Ini",       "Setup.INF", "x.log",
                             "h.cnt",      "page.htm", "INDEX.HTML",      "a.c",       "a.cpp",
                             "res.rc",     "x.h",      "make.mak",        "a.clw",     "a.dsp",
                             "a.dsw",      "p.plg",    "archive.zip.txt", ".txt",      "dir.v2\\notes.TXT"})
        EXPECT_TRUE(IsTextName(name)) << name;
    for (const char* name : {"archive.zip", "noextension", "Makefile", "readme.txt.gz", "notes.txt.bak", "a.cc",
                             "a.hpp", "a.", "html", "a.text", "page.htmlx", "dir.txt/x", "dir.txt\\x", "photo.JPG"})
        EXPECT_FALSE(IsTextName(name)) << name;
}

TEST(TextNames, TheExtensionIsTakenFromTheNameNotTheFolder)
{
    const struct {
        const char* name;
        const char* ext;
    } cases[] = {
        {"a.txt", ".txt"},     {"a", ""}, {"a.b.c", ".c"}, {"dir.v2\\file", ""}, {"dir.v2/file", ""},
        {"dir\\file.h", ".h"}, {"", ""},  {"a.", "."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ExtensionOf(c.name), c.ext) << c.name;
}

TEST(CaseFolding, OnlyTheLettersAToZ)
{
    EXPECT_EQ(AsciiLower("MiXeD 09 [Z]"), "mixed 09 [z]");
    EXPECT_EQ(AsciiUpper("MiXeD 09 {z}"), "MIXED 09 {Z}");
    // The code page's own letters stay as they are in both directions.
    EXPECT_EQ(AsciiLower("CAF\xc9"), "caf\xc9");
    EXPECT_EQ(AsciiUpper("caf\xe9"), "CAF\xe9");
}

}  // namespace
