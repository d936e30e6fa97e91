// The launcher's command tail: only the two exact switches install.
#include <gtest/gtest.h>

#include "launcher/LauncherCommand.h"

namespace {

TEST(LauncherTail, OnlyTheExactSwitchesInstall)
{
    const struct {
        const char* tail;
        bool install;
    } cases[] = {
        {"/i", true},   {"/I", true},   {"", false},   {"/install", false},
        {"/i ", false}, {" /i", false}, {"-i", false}, {"/iI", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsLauncherInstallSwitch(c.tail), c.install) << "tail \"" << c.tail << "\"";
}

}  // namespace
