// The client against a real FTP server (pyftpdlib on 127.0.0.1): a file goes
// up and comes back byte for byte.
#include <gtest/gtest.h>

#include <string>

#include "ScriptedServer.h"
#include "TempDir.h"
#include "ftp/FtpClient.h"

namespace {

// The transfer command's preliminary reply: 125 when the server connected
// at PORT already, 150 otherwise.
bool IsPreliminary(int code)
{
    return code == 125 || code == 150;
}

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
    SocketHandle control = ftp.ConnectToHost("127.0.0.1", server.Port());
    ASSERT_NE(control, InvalidSocket);
    EXPECT_EQ(ftp.SendCommand(control, "USER ann\r\n"), 331);
    EXPECT_EQ(ftp.SendCommand(control, "PASS pw 1\r\n"), 230);
    EXPECT_EQ(ftp.SendCommand(control, "TYPE I\r\n"), 200);

    SocketHandle listener = ftp.OpenDataPort(control);
    ASSERT_NE(listener, InvalidSocket) << ftp.LastReply();
    EXPECT_TRUE(IsPreliminary(ftp.SendCommand(control, "STOR remote.bin\r\n"))) << ftp.LastReply();
    SocketHandle data = ftp.AcceptDataConnection(listener);
    ASSERT_NE(data, InvalidSocket);
    EXPECT_EQ(ftp.SendFile(control, data, local.Path("up.bin").c_str()), 333);
    EXPECT_EQ(ftp.LastReplyCode(), 226) << ftp.LastReply();
    EXPECT_TRUE(ReadFile(root.Path("remote.bin")) == content);

    listener = ftp.OpenDataPort(control);
    ASSERT_NE(listener, InvalidSocket) << ftp.LastReply();
    EXPECT_TRUE(IsPreliminary(ftp.SendCommand(control, "RETR remote.bin\r\n"))) << ftp.LastReply();
    data = ftp.AcceptDataConnection(listener);
    ASSERT_NE(data, InvalidSocket);
    EXPECT_TRUE(ftp.ReceiveToFile(control, data, local.Path("down.bin").c_str()));
    EXPECT_EQ(ftp.LastReplyCode(), 226) << ftp.LastReply();
    EXPECT_TRUE(ReadFile(local.Path("down.bin")) == content);

    EXPECT_EQ(ftp.SendCommand(control, "QUIT\r\n"), 221);
    CloseSocket(control);
}

}  // namespace
