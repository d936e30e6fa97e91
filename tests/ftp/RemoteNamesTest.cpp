// Which bytes a name goes out as, and what is said to the server first.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FakeSocket.h"
#include "ftp/RemoteNames.h"

namespace {

// Stand-ins for the platform: UTF-8 is the program's text; the legacy page
// knows e-acute (0xE9) and nothing else outside ASCII.
NameConversions Conversions()
{
    return {[](const std::string& text, std::string& out) {
                out = text;
                return true;
            },
            [](const std::string& text, std::string& out) {
                out.clear();
                for (size_t i = 0; i < text.size(); ++i) {
                    if (static_cast<unsigned char>(text[i]) < 0x80)
                        out += text[i];
                    else if (text.compare(i, 2, "\xC3\xA9") == 0)
                        out += '\xE9', ++i;
                    else
                        return false;
                }
                return true;
            }};
}

const char Utf8Feat[] = "211-Features:\r\n MDTM\r\n UTF8\r\n211 End\r\n";
const char PlainFeat[] = "211-Features:\r\n MDTM\r\n211 End\r\n";

struct NamesCase {
    const char* what;
    std::vector<std::string> replies;  // the server's answers, in order
    std::vector<std::string> names;    // encoded one after another
    std::string sent;                  // every command the session sent
    std::vector<std::string> wire;     // what each name became; "!" when refused
    NameMode mode;
};

TEST(RemoteNames, AskOnceAndSendTheServersEncoding)
{
    const NamesCase cases[] = {
        {"all ASCII: nothing is asked", {}, {"a.txt", "dir b"}, "", {"a.txt", "dir b"}, NameMode::Unasked},
        {"UTF8 listed: asked once, before the first such name",
         {Utf8Feat, "200 Always in UTF8 mode.\r\n"},
         {"a.txt", "caf\xC3\xA9.txt", "caf\xC3\xA8.txt", "\xCE\xA9mega.txt"},
         "FEAT\r\nOPTS UTF8 ON\r\n",
         {"a.txt", "caf\xC3\xA9.txt", "caf\xC3\xA8.txt", "\xCE\xA9mega.txt"},
         NameMode::Utf8},
        {"no UTF8: legacy bytes, or refused",
         {PlainFeat},
         {"caf\xC3\xA9.txt", "\xCE\xA9mega.txt", "caf\xC3\xA9.txt"},
         "FEAT\r\n",
         {"caf\xE9.txt", "!", "caf\xE9.txt"},
         NameMode::Legacy},
        {"FEAT refused", {"500 Unknown command\r\n"}, {"caf\xC3\xA9"}, "FEAT\r\n", {"caf\xE9"}, NameMode::Legacy},
        {"OPTS refused, as pyftpdlib does: UTF8 listed is enough",
         {Utf8Feat, "501 Unsupported command\r\n"},
         {"caf\xC3\xA9"},
         "FEAT\r\nOPTS UTF8 ON\r\n",
         {"caf\xC3\xA9"},
         NameMode::Utf8},
        {"lower-case feature, CR-less lines",
         {"211-Features:\n utf8\n211 End\n", "200 OK\r\n"},
         {"caf\xC3\xA9"},
         "FEAT\r\nOPTS UTF8 ON\r\n",
         {"caf\xC3\xA9"},
         NameMode::Utf8},
        {"a feature named like it is another", {"211-Features:\r\n UTF8X\r\n211 End\r\n"}, {"\xCE\xA9"}, "FEAT\r\n",
         {"!"}, NameMode::Legacy},
    };
    for (const NamesCase& c : cases) {
        Fake() = FakeNet();
        std::string incoming;
        for (const std::string& r : c.replies)
            incoming += r;
        CPlainStream control(Fake().AddStream({incoming}));
        CFtpClient client;
        CRemoteNames names(Conversions());
        std::vector<std::string> wire;
        for (const std::string& name : c.names) {
            std::string out;
            wire.push_back(names.Encode(client, control, name, out) ? out : "!");
        }
        EXPECT_EQ(Fake().Stream(control.Socket()).sent, c.sent) << c.what;
        EXPECT_EQ(wire, c.wire) << c.what;
        EXPECT_EQ(static_cast<int>(names.Mode()), static_cast<int>(c.mode)) << c.what;
    }
}

}  // namespace
