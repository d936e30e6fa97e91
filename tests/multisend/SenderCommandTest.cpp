// The sender's command tail and the engine command lines it composes.
#include <gtest/gtest.h>

#include "multisend/SenderCommand.h"

namespace {

TEST(SenderTail, OnlyTheExactSwitchInstalls)
{
    const struct {
        const char* tail;
        SenderAction action;
    } cases[] = {
        {"", SenderAction::NoFiles},
        {"/install", SenderAction::Install},
        {"/INSTALL", SenderAction::ChooseBoxes},
        {"/Install", SenderAction::ChooseBoxes},
        {"/install ", SenderAction::ChooseBoxes},
        {" /install", SenderAction::ChooseBoxes},
        {"/instal", SenderAction::ChooseBoxes},
        {"/install C:\\a.txt", SenderAction::ChooseBoxes},
        {" ", SenderAction::ChooseBoxes},
        {"C:\\a.txt", SenderAction::ChooseBoxes},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ActionForTail(c.tail), c.action) << "tail \"" << c.tail << "\"";
}

TEST(SenderCommand, QuotesTheEnginePathAndPassesTheTailUnchanged)
{
    const struct {
        const char* folder;
        const char* box;
        const char* tail;
        const char* command;
    } cases[] = {
        {"C:\\Program Files\\FTP Sendora\\", "mybox.exe", "C:\\a.txt",
         "\"C:\\Program Files\\FTP Sendora\\boxes\\mybox.exe\" C:\\a.txt"},
        // An alias with blanks; the tail keeps the shell's quotes and blanks.
        {"C:\\S\\", "my site.exe", "\"C:\\My Docs\\a b.txt\" D:\\x  ",
         "\"C:\\S\\boxes\\my site.exe\" \"C:\\My Docs\\a b.txt\" D:\\x  "},
        // Capitals in the extension stay as the file has them.
        {"D:\\", "PAGES.EXE", "/INSTALL", "\"D:\\boxes\\PAGES.EXE\" /INSTALL"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(BoxEngineCommand(c.folder, c.box, c.tail), c.command) << c.box;
}

TEST(SenderCommand, FitsUpToTheLimitOfCreateProcess)
{
    const std::string head = BoxEngineCommand("C:\\S\\", "b.exe", "");
    const std::string tail(32766 - head.size(), 'x');
    const std::string atLimit = BoxEngineCommand("C:\\S\\", "b.exe", tail);
    ASSERT_EQ(atLimit.size(), 32766u);
    EXPECT_TRUE(CommandFits(atLimit));
    // The same tail is one character too many for a longer box name.
    EXPECT_FALSE(CommandFits(BoxEngineCommand("C:\\S\\", "bb.exe", tail)));
}

}  // namespace
