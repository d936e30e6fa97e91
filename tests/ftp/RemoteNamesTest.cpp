// Which bytes a name goes out as, and what is said to the server first.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FakeSocket.h"
#include "ftp/RemoteNames.h"

namespace {

const char Utf8Feat[] = "211-Features:\r\n MDTM\r\n UTF8\r\n211 End\r\n";
const char E[] = "caf\xC3\xA9";  // in the program's text (UTF-8)

TEST(RemoteNames, AskOnceAndSendTheServersEncoding)
{
    // The stand-in legacy page knows e-acute (0xE9) and nothing else outside ASCII.
    const NameConversions conversions = {[](const std::string& text, std::string& out) { return out = text, true; },
                                         [](const std::string& text, std::string& out) {
                                             out = text == E ? "caf\xE9" : text;
                                             return text == E || IsAscii(text);
                                         }};
    const struct {
        const char* what;
        std::string replies;             // the server's answers, in order
        std::vector<std::string> names;  // encoded one after another
        std::string sent;                // every command sent
        std::vector<std::string> wire;   // what each name became; "!" when refused
    } cases[] = {
        {"all ASCII: nothing is asked", "", {"a.txt", "dir b"}, "", {"a.txt", "dir b"}},
        {"UTF8 listed: asked once, before the first such name",
         std::string(Utf8Feat) + "200 Always in UTF8 mode.\r\n",
         {"a.txt", E, "\xCE\xA9mega"},
         "FEAT\r\nOPTS UTF8 ON\r\n",
         {"a.txt", E, "\xCE\xA9mega"}},
        {"OPTS refused, as pyftpdlib does: UTF8 listed is enough", std::string(Utf8Feat) + "501 No\r\n", {E},
         "FEAT\r\nOPTS UTF8 ON\r\n", {E}},
        {"no UTF8: legacy bytes, or refused", "211-Features:\r\n MDTM\r\n211 End\r\n", {E, "\xCE\xA9mega", E},
         "FEAT\r\n", {"caf\xE9", "!", "caf\xE9"}},
        {"FEAT refused", "500 Unknown command\r\n", {E}, "FEAT\r\n", {"caf\xE9"}},
        {"lower case, LF-only lines", "211-Features:\n utf8\n211 End\n200 OK\r\n", {E}, "FEAT\r\nOPTS UTF8 ON\r\n",
         {E}},
        {"a feature named like it", "211-Features:\r\n UTF8X\r\n211 End\r\n", {"\xCE\xA9"}, "FEAT\r\n", {"!"}},
    };
    for (const auto& c : cases) {
        Fake() = FakeNet();
        CPlainStream control(Fake().AddStream({c.replies}));
        CFtpClient client;
        CRemoteNames names(conversions);
        std::vector<std::string> wire;
        for (const std::string& name : c.names) {
            std::string out;
            wire.push_back(names.Encode(client, control, name, out) ? out : "!");
        }
        EXPECT_EQ(Fake().Stream(control.Socket()).sent, c.sent) << c.what;
        EXPECT_EQ(wire, c.wire) << c.what;
    }
}

}  // namespace
