// The launcher's command tail and the browser command it starts.
#include <gtest/gtest.h>

#include "launcher/LauncherCommand.h"

namespace {

TEST(LauncherTail, OnlyTheExactSwitchesInstall)
{
    const struct {
        const char* tail;
        bool install;
    } cases[] = {
        {"/i", true},        {"/I", true},        {"", false},
        {"/install", false}, {"/i ", false},      {" /i", false},
        {"-i", false},       {"/iI", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsLauncherInstallSwitch(c.tail), c.install) << "tail \"" << c.tail << "\"";
}

TEST(LauncherCommand, BrowserCommandEndsInACarriageReturn)
{
    EXPECT_EQ(BrowserCommand("My Box"), "SndMgr My Box\r");
    EXPECT_EQ(BrowserCommand("site.one"), "SndMgr site.one\r");
}

}  // namespace
