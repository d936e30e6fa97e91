#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "engine/TransferRules.h"
#include "ftp/LineEnds.h"

namespace {

const char A[] = "TYPE A\r\n";
const char I[] = "TYPE I\r\n";
const char None[] = "";

TEST(TransferRules, TypeAndRemoteNameByTheBoxOptions)
{
    // transferType: 0 ASCII, 1 binary, 2 by extension, other = no TYPE;
    // extensionChange: 0 .htm -> .html, 1 .html -> .htm, other = unchanged.
    const struct {
        const char* name;
        int transferType, extensionChange;
        const char* type;
        const char* remote;
    } cases[] = {
        {"INDEX.HTM", 2, 0, A, "INDEX.HTMl"},  // the case rule comes later
        {"index.htm", 2, 0, A, "index.html"},
        {"index.htm", 2, 1, A, "index.htm"},
        {"index.htm", 2, 2, A, "index.htm"},
        {"page.html", 2, 1, A, "page.htm"},
        {"page.HTML", 2, 1, A, "page.HTM"},
        {"page.html", 2, 0, A, "page.html"},
        {"page.html", 2, 2, A, "page.html"},
        {"notes.TXT", 2, 2, A, "notes.TXT"},
        {"setup.Ini", 2, 2, A, "setup.Ini"},
        {"main.cpp", 2, 2, A, "main.cpp"},
        {"x.c", 2, 2, A, "x.c"},
        {"build.plg", 2, 2, A, "build.plg"},
        {"photo.JPG", 2, 0, I, "photo.JPG"},
        {"Makefile", 2, 0, I, "Makefile"},
        {"archive.tar.gz", 2, 2, I, "archive.tar.gz"},
        {"notes.txt.bak", 2, 2, I, "notes.txt.bak"},
        {"page.htmlx", 2, 1, I, "page.htmlx"},
        {".htm", 2, 0, A, ".html"},
        {"trailing.", 2, 2, I, "trailing."},
        // The extension rule belongs to detection only.
        {"keep.htm", 0, 0, A, "keep.htm"},
        {"keep.html", 1, 1, I, "keep.html"},
        {"photo.jpg", 0, 2, A, "photo.jpg"},
        {"notes.txt", 1, 2, I, "notes.txt"},
        // Any other stored type (the manager may store -1): no TYPE at all.
        {"notes.txt", 7, 0, None, "notes.txt"},
        {"index.htm", -1, 0, None, "index.htm"},
        {"index.htm", 3, 0, None, "index.htm"},
    };
    for (const auto& c : cases) {
        const TransferChoice got = ChooseTransfer(c.name, static_cast<TransferType>(c.transferType),
                                                  static_cast<ExtensionChange>(c.extensionChange));
        EXPECT_EQ(got.typeCommand, c.type) << c.name << " type " << c.transferType;
        EXPECT_EQ(got.remoteName, c.remote) << c.name << " ext " << c.extensionChange;
    }
}

TEST(TransferRules, BoxDirectoryForms)
{
    const struct {
        const char* value;
        BoxDirectory::Kind kind;
        const char* path;
    } cases[] = {
        {"", BoxDirectory::None, ""},
        {"/", BoxDirectory::Fixed, "/"},
        {"/abs", BoxDirectory::Fixed, "/abs"},
        {"/home/u/www", BoxDirectory::Fixed, "/home/u/www"},
        {"[MN]'USER.DATA'", BoxDirectory::Fixed, "'USER.DATA'"},
        {"[MN]", BoxDirectory::Fixed, ""},
        {"[MN]/abs", BoxDirectory::Fixed, "/abs"},
        {"[mn]x", BoxDirectory::RelativeToLogin, "[mn]x"},
        {"[MN", BoxDirectory::RelativeToLogin, "[MN"},
        {"www", BoxDirectory::RelativeToLogin, "www"},
        {"Not Found", BoxDirectory::RelativeToLogin, "Not Found"},
        {" /lead", BoxDirectory::RelativeToLogin, " /lead"},
    };
    for (const auto& c : cases) {
        const BoxDirectory d = ParseBoxDirectory(c.value);
        EXPECT_EQ(d.kind, c.kind) << c.value;
        EXPECT_EQ(d.path, c.path) << c.value;
    }
}

TEST(TransferRules, RelativeBoxDirectoryJoinsTheLoginDirectory)
{
    EXPECT_EQ(JoinRemoteDirectory("/home/u", "www"), "/home/u/www");
    EXPECT_EQ(JoinRemoteDirectory("/", "www"), "/www");
    EXPECT_EQ(JoinRemoteDirectory("/home/u", "www/html"), "/home/u/www/html");
}

TEST(TransferRules, ProgressPercent)
{
    const uint64_t max = UINT64_MAX;
    const struct {
        uint64_t size, sent;
        int percent;
    } cases[] = {
        {100000000, 50000000, 50},  // 100 times the count needs more than 32 bits
        {100000000, 0, 0},
        {100000000, 99999999, 99},
        {100000000, 100000000, 100},
        {0, 0, 100},  // an empty file is done
        {1024, 1024, 100},
        {3, 1, 33},
        {5000000000ULL, 2500000000ULL, 50},
        {5000000000ULL, 4999999999ULL, 99},
        {max, 0, 0},
        {max, max, 100},
        {max - 1, max, 100},  // never above 100
    };
    for (const auto& c : cases)
        EXPECT_EQ(ProgressPercent(c.size, c.sent), c.percent) << c.sent << " of " << c.size;
}

TEST(TransferRules, ProgressNeverGoesBack)
{
    for (uint64_t size : {uint64_t(1), uint64_t(1023), uint64_t(100000000), uint64_t(5000000001ULL), UINT64_MAX / 100,
                          UINT64_MAX / 100 + 1, UINT64_MAX - 7, UINT64_MAX}) {
        int last = 0;
        // 4097 steps across the file, and both sides of the point where
        // sent * 100 would overflow.
        for (uint64_t step = 0; step <= 4096; ++step) {
            const uint64_t sent = size / 4096 * step + (step == 4096 ? size % 4096 : 0);
            const int p = ProgressPercent(size, sent);
            ASSERT_GE(p, last) << sent << " of " << size;
            ASSERT_LE(p, 100);
            last = p;
        }
        EXPECT_EQ(last, 100) << size;
        const uint64_t edge = UINT64_MAX / 100;
        if (size > edge + 1) {
            EXPECT_LE(ProgressPercent(size, edge), ProgressPercent(size, edge + 1)) << size;
        }
    }
}

TEST(TransferRules, MessageScalingKeepsThePercentage)
{
    const uint64_t gb = 1ULL << 30;
    const struct {
        uint64_t size, sent;
    } cases[] = {
        {1000, 500},
        {0x7FFFFFFF, 0x3FFFFFFF},
        {5 * gb, 0},
        {5 * gb, 5 * gb / 2},
        {5 * gb, 5 * gb / 100 * 37},
        {5 * gb, 5 * gb},
        {4 * gb + 1, 4 * gb},  // one byte short of the end is not yet 100
        {6 * gb + 12345, 6 * gb + 12344},
        {100 * gb, 99 * gb},
        {UINT64_MAX, UINT64_MAX / 4},
        {UINT64_MAX, UINT64_MAX - 1},
        {UINT64_MAX, UINT64_MAX},
    };
    for (const auto& c : cases) {
        uint64_t size = c.size, sent = c.sent;
        ScaleForMessage(size, sent);
        EXPECT_LE(size, 0x7FFFFFFFu) << c.size;
        EXPECT_LE(sent, 0x7FFFFFFFu) << c.size;
        EXPECT_EQ(ProgressPercent(size, sent), ProgressPercent(c.size, c.sent)) << c.sent << " of " << c.size;
    }
}

// Sent, each CR LF becomes LF; fetched, each LF gets its CR unless it has
// one. Any other CR stays, wherever the pieces are cut.
TEST(TransferRules, TextLineEndsEitherWayAcrossPieces)
{
    const struct {
        std::string text, lf, crlf;
    } cases[] = {
        {"a\r\nb\r\n", "a\nb\n", "a\r\nb\r\n"},
        {"lone\rcr\n", "lone\rcr\n", "lone\rcr\r\n"},
        {"\r\r\n\n", "\r\n\n", "\r\r\n\r\n"},
        {"\nunix\n\nlines", "\nunix\n\nlines", "\r\nunix\r\n\r\nlines"},
        {"ends in cr\r", "ends in cr\r", "ends in cr\r"},
        {"", "", ""},
    };
    for (const auto& c : cases)
        for (size_t piece = 1; piece <= c.text.size() + 1; ++piece) {
            std::string lf, crlf;
            bool held = false, afterCr = false;
            for (size_t at = 0; at < c.text.size(); at += piece) {
                const size_t length = std::min(piece, c.text.size() - at);
                lf += LfLineEnds(c.text.data() + at, length, held);
                crlf += CrLfLineEnds(c.text.data() + at, length, afterCr);
            }
            if (held)
                lf += '\r';
            EXPECT_EQ(lf, c.lf) << "pieces of " << piece;
            EXPECT_EQ(crlf, c.crlf) << "pieces of " << piece;
        }
}

}  // namespace
