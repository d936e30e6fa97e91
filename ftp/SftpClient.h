// The client side of SFTP (version 3) over one SSH connection. libssh makes
// the connection, checks nothing about the host key (the caller does, before
// logging in) and logs in; the SFTP requests are spoken here, so that a
// file's WRITE requests can be kept in flight several at a time.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct SftpHostKey {
    std::string type;         // "ssh-ed25519", "ecdsa-sha2-nistp256", ...
    std::string fingerprint;  // as OpenSSH prints it: "SHA256:" and unpadded base64
};

// What a box makes of the server's key, against the fingerprint it keeps.
enum class HostKeyVerdict { Trusted, Unknown, Changed };
HostKeyVerdict JudgeHostKey(const SftpHostKey& key, const std::string& storedFingerprint);

// The question put to the user; Yes trusts the key for the box.
std::string HostKeyQuestion(const SftpHostKey& key, const std::string& host, HostKeyVerdict verdict);

struct SftpEntry {
    std::string name;
    uint64_t size = 0;
    int64_t modified = 0;  // seconds since 1970, UTC; 0 when not given
    bool folder = false;
    std::string longName;  // a listing's "ls -l" line, as the server gives it
};

// Gives the next bytes of a file: a count up to capacity, 0 at its end, -1
// when it cannot be read.
using SftpSource = std::function<long(char* buffer, size_t capacity)>;
// Takes the bytes read from the server; false stops the read.
using SftpSink = std::function<bool(const char* data, size_t length)>;

class CSftpClient {
public:
    CSftpClient();
    ~CSftpClient();
    CSftpClient(const CSftpClient&) = delete;
    CSftpClient& operator=(const CSftpClient&) = delete;

    // TCP and key exchange, nothing of the log-in yet. timeoutSeconds limits
    // the connect and every later wait for the server; 0 means none.
    bool Connect(const std::string& host, int port, int timeoutSeconds);
    const SftpHostKey& HostKey() const { return m_hostKey; }
    // Only once the host key is trusted: password, else keyboard-interactive
    // answered with the same password; then the SFTP subsystem.
    bool LogIn(const std::string& user, const std::string& password);
    void Disconnect();
    // An SSH message the server ignores, so that an idle connection is not
    // dropped along the way.
    void KeepAlive();

    // What went wrong last, in the library's or the server's words.
    const std::string& Error() const { return m_error; }

    // The absolute form of a path ("." is the log-in directory); "" on failure.
    std::string RealPath(const std::string& path);
    bool Stat(const std::string& path, SftpEntry* entry);
    bool MakeDirectory(const std::string& path);
    bool RemoveFile(const std::string& path);
    bool RemoveFolder(const std::string& path);
    // Replaces an existing target (atomically where the server offers it).
    bool Rename(const std::string& from, const std::string& to);
    // The folder's entries, without "." and "..".
    bool ReadDirectory(const std::string& path, std::vector<SftpEntry>* entries);

    // Creates or empties the remote file and writes the source to it; true
    // only when every write and the close were confirmed. progress is told
    // the bytes taken from the source so far; opened whether the server
    // took the file at all.
    bool WriteFile(const std::string& path, const SftpSource& source, const std::function<void(uint64_t)>& progress,
                   bool* opened = nullptr);
    bool ReadFile(const std::string& path, const SftpSink& sink);

    // Bytes of one WRITE request, and how many are sent before waiting.
    static const size_t kWriteChunk = 32768;
    static const size_t kWritesInFlight = 32;

private:
    struct Reply;
    bool Fail(const std::string& why);
    bool SendPacket(const std::string& packet);
    bool ReadPacket(Reply* reply);
    bool ReadExactly(char* buffer, size_t length);
    bool Call(const std::string& packet, Reply* reply);
    bool StatusCall(const std::string& packet);
    bool OpenHandle(const std::string& packet, std::string* handle);
    bool Close(const std::string& handle);
    uint32_t NextId() { return ++m_lastId; }

    struct Ssh;
    std::unique_ptr<Ssh> m_ssh;
    SftpHostKey m_hostKey;
    std::string m_error;
    int m_timeoutMs = -1;
    uint32_t m_lastId = 0;
    bool m_posixRename = false;
};
