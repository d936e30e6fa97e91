// Uploads one file with the SFTP core, as the engine does (connect, log in,
// pipelined writes with a progress call per 1 KB), and prints the seconds.
//   sftp_upload_bench HOST PORT USER PASSWORD LOCAL-FILE REMOTE-PATH
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "ftp/SftpClient.h"

int main(int argc, char** argv)
{
    if (argc != 7) {
        std::fprintf(stderr, "usage: %s HOST PORT USER PASSWORD LOCAL-FILE REMOTE-PATH\n", argv[0]);
        return 2;
    }
    std::FILE* file = std::fopen(argv[5], "rb");
    if (!file)
        return 1;
    const auto start = std::chrono::steady_clock::now();
    CSftpClient sftp;
    unsigned long blocks = 0;
    uint64_t reported = 0;
    const bool ok = sftp.Connect(argv[1], std::atoi(argv[2]), 30) && sftp.LogIn(argv[3], argv[4]) &&
                    sftp.WriteFile(
                        argv[6], [&](char* buffer, size_t capacity) { return long(std::fread(buffer, 1, capacity, file)); },
                        [&](uint64_t taken) {
                            for (; reported < taken; reported += 1024)
                                ++blocks;
                        });
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::fclose(file);
    if (!ok) {
        std::fprintf(stderr, "upload failed: %s\n", sftp.Error().c_str());
        return 1;
    }
    std::printf("%.3f s, %lu blocks\n", seconds, blocks);
    return 0;
}
