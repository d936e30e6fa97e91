// The transfer step against a real FTP server (pyftpdlib on 127.0.0.1): a
// file goes up and comes back byte for byte.
#include <gtest/gtest.h>

#include <string>

#include "ScriptedServer.h"
#include "TempDir.h"
#include "ftp/Transfer.h"

namespace {

TEST(FtpRealServer, UploadAndDownloadAreByteIdentical)
{
    CTempDir root, local;
    CHelperProcess server(SUITE_SOURCE_DIR "/tests/ftp/pyftpd_server.py",
                          "--root '" + root.Path("") + "' --user ann --password 'pw 1'");
    ASSERT_NE(server.Port(), 0) << "pyftpdlib did not start";

    // Not a multiple of the block size, and more than a socket buffer holds.
    const std::string content = PatternBytes(3 * 1024 * 1024 + 333);
    WriteFile(local.Path("up.bin"), content);

    CFtpClient ftp;
    CSocketOwner socket(ftp.ConnectToHost("127.0.0.1", server.Port()));
    ASSERT_TRUE(socket.IsValid());
    CPlainStream control(socket.Get());
    EXPECT_EQ(ftp.SendCommand(control, "USER ann\r\n"), 331);
    EXPECT_EQ(ftp.SendCommand(control, "PASS pw 1\r\n"), 230);
    EXPECT_EQ(ftp.SendCommand(control, "TYPE I\r\n"), 200);

    CTransfer up(ftp, control);
    ASSERT_TRUE(up.OpenDataPort()) << ftp.LastReply();
    CInputFile file(local.Path("up.bin").c_str());
    TransferResult result = up.Upload("STOR remote.bin\r\n", file);
    EXPECT_TRUE(result.IsDone()) << result.text;
    EXPECT_EQ(result.code, 226);
    EXPECT_TRUE(ReadFile(root.Path("remote.bin")) == content);

    CTransfer down(ftp, control);
    ASSERT_TRUE(down.OpenDataPort()) << ftp.LastReply();
    result = down.Download("RETR remote.bin\r\n", local.Path("down.bin").c_str());
    EXPECT_TRUE(result.IsDone()) << result.text;
    EXPECT_EQ(result.code, 226);
    EXPECT_TRUE(ReadFile(local.Path("down.bin")) == content);

    // A file the server does not have: refused, and the connection in step.
    CTransfer missing(ftp, control);
    ASSERT_TRUE(missing.OpenDataPort()) << ftp.LastReply();
    result = missing.Download("RETR nothing.bin\r\n", local.Path("nothing.bin").c_str());
    EXPECT_EQ(result.outcome, TransferResult::Refused);
    EXPECT_EQ(static_cast<int>(result.step), static_cast<int>(TransferStep::Command));
    EXPECT_EQ(result.code, 550);

    EXPECT_EQ(ftp.SendCommand(control, "QUIT\r\n"), 221);
}

}  // namespace
