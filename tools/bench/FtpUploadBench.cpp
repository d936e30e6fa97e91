// Uploads one file with the FTP core, as the engine does (login, TYPE I,
// PORT, STOR, blocks with a progress call each), and prints the seconds taken.
//   ftp_upload_bench HOST PORT USER PASSWORD LOCAL-FILE REMOTE-NAME [COUNT]
// With COUNT the file is sent COUNT times, as REMOTE-NAME1, REMOTE-NAME2, ...
// (one PORT, TYPE and STOR each, as the engine sends a folder's files).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "ftp/FtpClient.h"
#include "ftp/Session.h"
#include "ftp/Transfer.h"

int main(int argc, char** argv)
{
    if (argc != 7 && argc != 8) {
        std::fprintf(stderr, "usage: %s HOST PORT USER PASSWORD LOCAL-FILE REMOTE-NAME [COUNT]\n", argv[0]);
        return 2;
    }
    if (!SocketsStartup())
        return 1;
    auto start = std::chrono::steady_clock::now();
    CFtpClient ftp;
    unsigned long blocks = 0;
    ftp.EnableProgress([&](uint64_t, uint64_t) {
        ++blocks;
        return true;
    });

    SessionOptions options;
    options.host = argv[1];
    options.port = static_cast<unsigned short>(std::atoi(argv[2]));
    options.user = argv[3];
    options.password = argv[4];
    CSessionObserver quiet;
    SessionResult opened = OpenSession(ftp, options, quiet);
    CSocketOwner socket(opened.control ? opened.control->Socket() : InvalidSocket);
    if (!opened.Opened()) {
        std::fprintf(stderr, "cannot log in: %s", ftp.LastReply());
        return 1;
    }
    CStream& control = *opened.control;
    bool ok = true;
    const int count = argc == 8 ? std::atoi(argv[7]) : 0;
    for (int i = count ? 1 : 0; ok && i <= count; ++i) {
        const std::string remote = count ? argv[6] + std::to_string(i) : std::string(argv[6]);
        CTransfer transfer(ftp, control);
        CInputFile file(argv[5]);
        ok = transfer.OpenDataPort() && ftp.SendCommand(control, "TYPE I\r\n") < 400 &&
             transfer.Upload("STOR " + remote + "\r\n", file).IsDone();
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!ok) {
        std::fprintf(stderr, "upload failed: %s", ftp.LastReply());
        return 1;
    }
    ftp.SendCommand(control, "QUIT\r\n");
    std::printf("%.3f s, %lu blocks\n", seconds, blocks);
    return 0;
}
