#include "ftp/SftpClient.h"

#include <libssh/libssh.h>
#ifdef SUITE_LIBSSH_GCRYPT
#include <gcrypt.h>
#endif

#include <algorithm>
#include <deque>

namespace {

enum : uint8_t {
    FxpInit = 1,
    FxpVersion = 2,
    FxpOpen = 3,
    FxpClose = 4,
    FxpRead = 5,
    FxpWrite = 6,
    FxpOpenDir = 11,
    FxpReadDir = 12,
    FxpRemove = 13,
    FxpMkDir = 14,
    FxpRmDir = 15,
    FxpRealPath = 16,
    FxpStat = 17,
    FxpRename = 18,
    FxpStatus = 101,
    FxpHandle = 102,
    FxpData = 103,
    FxpName = 104,
    FxpAttrs = 105,
    FxpExtended = 200,
};
enum : uint32_t { StatusOk = 0, StatusEof = 1 };
enum : uint32_t { OpenRead = 1, OpenWrite = 2, OpenCreate = 8, OpenTruncate = 0x10 };
enum : uint32_t { AttrSize = 1, AttrOwner = 2, AttrPermissions = 4, AttrTimes = 8, AttrExtended = 0x80000000u };

// A reply bigger than this is not one a sane server sends (OpenSSH's limit
// is 256 KB); refusing it keeps a broken stream from asking for gigabytes.
const uint32_t MaxPacket = 1024 * 1024;

void PutU32(std::string& out, uint32_t v)
{
    const char bytes[4] = {char(v >> 24), char(v >> 16), char(v >> 8), char(v)};
    out.append(bytes, 4);
}

void PutU64(std::string& out, uint64_t v)
{
    PutU32(out, static_cast<uint32_t>(v >> 32));
    PutU32(out, static_cast<uint32_t>(v));
}

void PutString(std::string& out, const char* data, size_t length)
{
    PutU32(out, static_cast<uint32_t>(length));
    out.append(data, length);
}

void PutString(std::string& out, const std::string& s)
{
    PutString(out, s.data(), s.size());
}

// A request: its length is filled in when it is complete.
std::string Request(uint8_t type, uint32_t id)
{
    std::string p(4, '\0');
    p += static_cast<char>(type);
    if (type != FxpInit)
        PutU32(p, id);
    return p;
}

std::string& Finish(std::string& p)
{
    const uint32_t length = static_cast<uint32_t>(p.size() - 4);
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<char>(length >> (24 - 8 * i));
    return p;
}

std::string PathRequest(uint8_t type, uint32_t id, const std::string& path)
{
    std::string p = Request(type, id);
    PutString(p, path);
    return Finish(p);
}

// Reads the fields of a reply in order; any read past its end fails the
// rest, so a short reply is never taken for a valid one.
class CFields {
public:
    explicit CFields(const std::string& data, size_t at = 0) : m_data(data), m_at(at) {}
    bool U32(uint32_t* v)
    {
        if (m_at + 4 > m_data.size())
            return m_ok = false;
        const unsigned char* b = reinterpret_cast<const unsigned char*>(m_data.data() + m_at);
        *v = uint32_t(b[0]) << 24 | uint32_t(b[1]) << 16 | uint32_t(b[2]) << 8 | b[3];
        m_at += 4;
        return true;
    }
    bool U64(uint64_t* v)
    {
        uint32_t hi = 0, lo = 0;
        if (!U32(&hi) || !U32(&lo))
            return false;
        *v = uint64_t(hi) << 32 | lo;
        return true;
    }
    bool String(std::string* s)
    {
        uint32_t length = 0;
        if (!U32(&length) || length > m_data.size() - m_at)
            return m_ok = false;
        s->assign(m_data, m_at, length);
        m_at += length;
        return true;
    }
    bool Attributes(SftpEntry* e)
    {
        uint32_t flags = 0, skip = 0, permissions = 0, count = 0;
        uint64_t size = 0;
        std::string ignored;
        if (!U32(&flags))
            return false;
        if (flags & AttrSize && U64(&size))
            e->size = size;
        if (flags & AttrOwner)
            U32(&skip) && U32(&skip);
        if (flags & AttrPermissions && U32(&permissions))
            e->folder = (permissions & 0170000) == 0040000;
        uint32_t mtime = 0;
        if (flags & AttrTimes && U32(&skip) && U32(&mtime))
            e->modified = mtime;
        if (flags & AttrExtended && U32(&count))
            for (uint32_t i = 0; i < count && String(&ignored) && String(&ignored); ++i) {
            }
        return m_ok;
    }
    bool AtEnd() const { return m_at >= m_data.size(); }

private:
    const std::string& m_data;
    size_t m_at;
    bool m_ok = true;
};

// OpenSSH's form: the SHA-256 digest in base64 without the '=' padding.
std::string Fingerprint(const unsigned char* digest, size_t length)
{
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out = "SHA256:";
    for (size_t i = 0; i < length; i += 3) {
        const uint32_t n = uint32_t(digest[i]) << 16 | (i + 1 < length ? uint32_t(digest[i + 1]) << 8 : 0) |
                           (i + 2 < length ? digest[i + 2] : 0);
        const size_t symbols = std::min<size_t>(4, (length - i) * 4 / 3 + ((length - i) % 3 != 0));
        for (size_t k = 0; k < symbols; ++k)
            out += alphabet[(n >> (18 - 6 * k)) & 63];
    }
    return out;
}

// libssh is set up once per process; it is built without a constructor of
// its own, so that nothing of it runs before this.
bool InitLibrary()
{
    static const bool ready = [] {
#ifdef SUITE_LIBSSH_GCRYPT
        // libgcrypt's standard generator gathers system state on every
        // call, and libssh calls it for every packet's padding: 1.5 ms each
        // under Wine, most of an upload's time. Its DRBG (SP 800-90A) is
        // seeded from the same system sources and needs none of them per
        // call. The choice is made when libssh starts libgcrypt: first.
        gcry_control(GCRYCTL_SET_PREFERRED_RNG_TYPE, GCRY_RNG_TYPE_FIPS, 0);
#endif
        return ssh_init() == SSH_OK;
    }();
    return ready;
}

}  // namespace

HostKeyVerdict JudgeHostKey(const SftpHostKey& key, const std::string& storedFingerprint)
{
    if (storedFingerprint.empty())
        return HostKeyVerdict::Unknown;
    return key.fingerprint == storedFingerprint ? HostKeyVerdict::Trusted : HostKeyVerdict::Changed;
}

std::string HostKeyQuestion(const SftpHostKey& key, const std::string& host, HostKeyVerdict verdict)
{
    std::string text;
    if (verdict == HostKeyVerdict::Changed)
        text = "WARNING: the host key of the SFTP host \"" + host +
               "\" has changed since it was trusted for this box. Someone may be posing as the server.\n\n";
    else
        text = "The host key of the SFTP host \"" + host + "\" is not known to this box.\n\n";
    return text + "Key type: " + key.type + "\nFingerprint:\n" + key.fingerprint +
           "\n\nDo you want to trust this key for this box?";
}

struct CSftpClient::Ssh {
    ssh_session session = nullptr;
    ssh_channel channel = nullptr;
    std::string pending;  // read from the channel, not yet taken

    ~Ssh()
    {
        if (channel) {
            ssh_channel_close(channel);
            ssh_channel_free(channel);
        }
        if (session) {
            ssh_disconnect(session);
            ssh_free(session);
        }
    }
};

struct CSftpClient::Reply {
    uint8_t type = 0;
    uint32_t id = 0;
    std::string data;  // the whole packet after its length
    uint32_t status = 0;  // of a STATUS reply
};

CSftpClient::CSftpClient() = default;

CSftpClient::~CSftpClient() = default;

bool CSftpClient::Fail(const std::string& why)
{
    m_error = why;
    return false;
}

bool CSftpClient::Connect(const std::string& host, int port, int timeoutSeconds)
{
    Disconnect();
    if (!InitLibrary())
        return Fail("The SSH library could not be started.");
    m_ssh.reset(new Ssh);
    ssh_session session = m_ssh->session = ssh_new();
    if (!session)
        return Fail("Out of memory.");
    // Only the box's settings count: no user's ssh configuration, no agent.
    int no = 0;
    unsigned int portNumber = static_cast<unsigned int>(port);
    long seconds = timeoutSeconds;
    ssh_options_set(session, SSH_OPTIONS_PROCESS_CONFIG, &no);
    ssh_options_set(session, SSH_OPTIONS_HOST, host.c_str());
    ssh_options_set(session, SSH_OPTIONS_PORT, &portNumber);
    if (timeoutSeconds > 0)
        ssh_options_set(session, SSH_OPTIONS_TIMEOUT, &seconds);
    m_timeoutMs = timeoutSeconds > 0 ? timeoutSeconds * 1000 : -1;
    if (ssh_connect(session) != SSH_OK)
        return Fail(ssh_get_error(session));

    ssh_key key = nullptr;
    if (ssh_get_server_publickey(session, &key) != SSH_OK)
        return Fail(ssh_get_error(session));
    unsigned char* digest = nullptr;
    size_t length = 0;
    const int hashed = ssh_get_publickey_hash(key, SSH_PUBLICKEY_HASH_SHA256, &digest, &length);
    m_hostKey.type = ssh_key_type_to_char(ssh_key_type(key)) ? ssh_key_type_to_char(ssh_key_type(key)) : "unknown";
    ssh_key_free(key);
    if (hashed != SSH_OK)
        return Fail(ssh_get_error(session));
    m_hostKey.fingerprint = Fingerprint(digest, length);
    ssh_clean_pubkey_hash(&digest);
    return true;
}

bool CSftpClient::LogIn(const std::string& user, const std::string& password)
{
    if (!m_ssh)
        return Fail("Not connected.");
    ssh_session session = m_ssh->session;
    ssh_options_set(session, SSH_OPTIONS_USER, user.c_str());
    int rc = ssh_userauth_none(session, nullptr);
    const int methods = rc == SSH_AUTH_SUCCESS ? 0 : ssh_userauth_list(session, nullptr);
    if (rc != SSH_AUTH_SUCCESS && (methods & SSH_AUTH_METHOD_PASSWORD))
        rc = ssh_userauth_password(session, nullptr, password.c_str());
    if (rc != SSH_AUTH_SUCCESS && rc != SSH_AUTH_ERROR && (methods & SSH_AUTH_METHOD_INTERACTIVE)) {
        rc = ssh_userauth_kbdint(session, nullptr, nullptr);
        // Every prompt gets the password; a server that keeps asking after
        // a few rounds will not take it.
        for (int round = 0; rc == SSH_AUTH_INFO && round < 4; ++round) {
            const int prompts = ssh_userauth_kbdint_getnprompts(session);
            for (int i = 0; i < prompts; ++i)
                ssh_userauth_kbdint_setanswer(session, static_cast<unsigned>(i), password.c_str());
            rc = ssh_userauth_kbdint(session, nullptr, nullptr);
        }
    }
    if (rc != SSH_AUTH_SUCCESS)
        return Fail(rc == SSH_AUTH_ERROR ? ssh_get_error(session) : "The server did not accept the user name and password.");

    m_ssh->channel = ssh_channel_new(session);
    if (!m_ssh->channel || ssh_channel_open_session(m_ssh->channel) != SSH_OK ||
        ssh_channel_request_subsystem(m_ssh->channel, "sftp") != SSH_OK)
        return Fail(ssh_get_error(session));

    std::string init = Request(FxpInit, 0);
    PutU32(init, 3);
    Reply version;
    if (!SendPacket(Finish(init)) || !ReadPacket(&version))
        return false;
    if (version.type != FxpVersion)
        return Fail("The server does not speak SFTP.");
    CFields fields(version.data, 1);
    uint32_t number = 0;
    fields.U32(&number);
    std::string name, value;
    while (!fields.AtEnd() && fields.String(&name) && fields.String(&value))
        if (name == "posix-rename@openssh.com")
            m_posixRename = true;
    return true;
}

void CSftpClient::KeepAlive()
{
    if (m_ssh && m_ssh->session)
        ssh_send_ignore(m_ssh->session, "");
}

void CSftpClient::Disconnect()
{
    m_ssh.reset();
    m_posixRename = false;
}

bool CSftpClient::SendPacket(const std::string& packet)
{
    if (!m_ssh || !m_ssh->channel)
        return Fail("Not connected.");
    size_t done = 0;
    while (done < packet.size()) {
        const int n = ssh_channel_write(m_ssh->channel, packet.data() + done, static_cast<uint32_t>(packet.size() - done));
        if (n <= 0)
            return Fail(ssh_get_error(m_ssh->session));
        done += static_cast<size_t>(n);
    }
    return true;
}

bool CSftpClient::ReadExactly(char* buffer, size_t length)
{
    std::string& pending = m_ssh->pending;
    while (pending.size() < length) {
        char chunk[65536];
        const int n = ssh_channel_read_timeout(m_ssh->channel, chunk, sizeof chunk, 0, m_timeoutMs);
        if (n < 0)
            return Fail(ssh_get_error(m_ssh->session));
        if (n == 0)
            return Fail(ssh_channel_is_eof(m_ssh->channel) ? "The server closed the connection."
                                                           : "The server did not answer in time.");
        pending.append(chunk, static_cast<size_t>(n));
    }
    pending.copy(buffer, length);
    pending.erase(0, length);
    return true;
}

bool CSftpClient::ReadPacket(Reply* reply)
{
    if (!m_ssh || !m_ssh->channel)
        return Fail("Not connected.");
    char head[4];
    if (!ReadExactly(head, 4))
        return false;
    uint32_t length = 0;
    CFields(std::string(head, 4)).U32(&length);
    if (length == 0 || length > MaxPacket)
        return Fail("The server sent a malformed SFTP reply.");
    reply->data.resize(length);
    if (!ReadExactly(&reply->data[0], length))
        return false;
    reply->type = static_cast<uint8_t>(reply->data[0]);
    CFields fields(reply->data, 1);
    if (reply->type != FxpVersion && !fields.U32(&reply->id))
        return Fail("The server sent a malformed SFTP reply.");
    if (reply->type == FxpStatus) {
        std::string message;
        if (!fields.U32(&reply->status))
            return Fail("The server sent a malformed SFTP reply.");
        if (reply->status != StatusOk && fields.String(&message))
            m_error = message.empty() ? "The server refused the request." : message;
    }
    return true;
}

bool CSftpClient::Call(const std::string& packet, Reply* reply)
{
    uint32_t id = 0;
    CFields(packet, 5).U32(&id);
    if (!SendPacket(packet) || !ReadPacket(reply))
        return false;
    if (reply->id != id)
        return Fail("The server answered out of turn.");
    return true;
}

bool CSftpClient::StatusCall(const std::string& packet)
{
    Reply reply;
    if (!Call(packet, &reply))
        return false;
    if (reply.type != FxpStatus)
        return Fail("The server sent an unexpected SFTP reply.");
    return reply.status == StatusOk;
}

bool CSftpClient::OpenHandle(const std::string& packet, std::string* handle)
{
    Reply reply;
    if (!Call(packet, &reply))
        return false;
    if (reply.type == FxpStatus)
        return false;
    CFields fields(reply.data, 5);
    if (reply.type != FxpHandle || !fields.String(handle))
        return Fail("The server sent an unexpected SFTP reply.");
    return true;
}

bool CSftpClient::Close(const std::string& handle)
{
    std::string p = Request(FxpClose, NextId());
    PutString(p, handle);
    return StatusCall(Finish(p));
}

std::string CSftpClient::RealPath(const std::string& path)
{
    Reply reply;
    if (!Call(PathRequest(FxpRealPath, NextId(), path), &reply))
        return std::string();
    CFields fields(reply.data, 5);
    uint32_t count = 0;
    std::string name;
    if (reply.type != FxpName || !fields.U32(&count) || count < 1 || !fields.String(&name))
        return std::string();
    return name;
}

bool CSftpClient::Stat(const std::string& path, SftpEntry* entry)
{
    Reply reply;
    if (!Call(PathRequest(FxpStat, NextId(), path), &reply) || reply.type != FxpAttrs)
        return false;
    *entry = SftpEntry();
    const size_t slash = path.find_last_of('/');
    entry->name = slash == std::string::npos ? path : path.substr(slash + 1);
    return CFields(reply.data, 5).Attributes(entry);
}

bool CSftpClient::MakeDirectory(const std::string& path)
{
    std::string p = Request(FxpMkDir, NextId());
    PutString(p, path);
    PutU32(p, 0);  // no attributes: the server's umask decides
    return StatusCall(Finish(p));
}

bool CSftpClient::RemoveFile(const std::string& path)
{
    return StatusCall(PathRequest(FxpRemove, NextId(), path));
}

bool CSftpClient::RemoveFolder(const std::string& path)
{
    return StatusCall(PathRequest(FxpRmDir, NextId(), path));
}

bool CSftpClient::Rename(const std::string& from, const std::string& to)
{
    if (m_posixRename) {
        std::string p = Request(FxpExtended, NextId());
        PutString(p, std::string("posix-rename@openssh.com"));
        PutString(p, from);
        PutString(p, to);
        return StatusCall(Finish(p));
    }
    // Version 3's RENAME refuses an existing target.
    SftpEntry existing;
    if (Stat(to, &existing) && !existing.folder)
        RemoveFile(to);
    std::string p = Request(FxpRename, NextId());
    PutString(p, from);
    PutString(p, to);
    return StatusCall(Finish(p));
}

bool CSftpClient::ReadDirectory(const std::string& path, std::vector<SftpEntry>* entries)
{
    std::string handle;
    if (!OpenHandle(PathRequest(FxpOpenDir, NextId(), path), &handle))
        return false;
    entries->clear();
    for (;;) {
        std::string p = Request(FxpReadDir, NextId());
        PutString(p, handle);
        Reply reply;
        if (!Call(Finish(p), &reply))
            return false;
        if (reply.type == FxpStatus) {
            if (reply.status != StatusEof) {
                Close(handle);
                return false;
            }
            break;
        }
        CFields fields(reply.data, 5);
        uint32_t count = 0;
        if (reply.type != FxpName || !fields.U32(&count))
            return Fail("The server sent an unexpected SFTP reply.");
        for (uint32_t i = 0; i < count; ++i) {
            SftpEntry entry;
            if (!fields.String(&entry.name) || !fields.String(&entry.longName) || !fields.Attributes(&entry))
                return Fail("The server sent a malformed SFTP reply.");
            if (entry.name != "." && entry.name != "..")
                entries->push_back(entry);
        }
    }
    return Close(handle);
}

bool CSftpClient::WriteFile(const std::string& path, const SftpSource& source,
                            const std::function<void(uint64_t)>& progress, bool* opened)
{
    std::string open = Request(FxpOpen, NextId());
    PutString(open, path);
    PutU32(open, OpenWrite | OpenCreate | OpenTruncate);
    PutU32(open, 0);
    std::string handle;
    const bool isOpen = OpenHandle(Finish(open), &handle);
    if (opened)
        *opened = isOpen;
    if (!isOpen)
        return false;

    // Up to WritesInFlight requests go out before the oldest status is
    // read; the statuses come back in order, but each is matched by id.
    std::deque<uint32_t> inFlight;
    uint64_t offset = 0;
    bool sourceOk = true, written = true, more = true;
    std::vector<char> chunk(WriteChunk);
    while (written && (more || !inFlight.empty())) {
        if (more && inFlight.size() < WritesInFlight) {
            const long n = source(chunk.data(), chunk.size());
            if (n <= 0) {
                sourceOk = n == 0;
                more = false;
                continue;
            }
            const uint32_t id = NextId();
            std::string p = Request(FxpWrite, id);
            PutString(p, handle);
            PutU64(p, offset);
            PutString(p, chunk.data(), static_cast<size_t>(n));
            if (!SendPacket(Finish(p)))
                return false;  // the connection is gone, and the handle with it
            inFlight.push_back(id);
            offset += static_cast<uint64_t>(n);
            if (progress)
                progress(offset);
            continue;
        }
        Reply reply;
        if (!ReadPacket(&reply))
            return false;
        const auto at = std::find(inFlight.begin(), inFlight.end(), reply.id);
        if (reply.type != FxpStatus || at == inFlight.end())
            return Fail("The server sent an unexpected SFTP reply.");
        inFlight.erase(at);
        written = reply.status == StatusOk;
    }
    // Statuses still owed after a refused write are read, so that the next
    // request's reply is its own.
    while (!inFlight.empty()) {
        Reply reply;
        if (!ReadPacket(&reply))
            return false;
        inFlight.erase(std::remove(inFlight.begin(), inFlight.end(), reply.id), inFlight.end());
    }
    const std::string error = m_error;
    const bool closed = Close(handle);
    if (!sourceOk)
        return Fail("The local file could not be read.");
    if (!written)
        return Fail(error);
    return closed;
}

bool CSftpClient::ReadFile(const std::string& path, const SftpSink& sink)
{
    std::string open = Request(FxpOpen, NextId());
    PutString(open, path);
    PutU32(open, OpenRead);
    PutU32(open, 0);
    std::string handle;
    if (!OpenHandle(Finish(open), &handle))
        return false;
    uint64_t offset = 0;
    bool ok = true;
    for (;;) {
        std::string p = Request(FxpRead, NextId());
        PutString(p, handle);
        PutU64(p, offset);
        PutU32(p, WriteChunk);
        Reply reply;
        if (!Call(Finish(p), &reply))
            return false;
        if (reply.type == FxpStatus) {
            ok = reply.status == StatusEof;
            break;
        }
        std::string data;
        if (reply.type != FxpData || !CFields(reply.data, 5).String(&data))
            return Fail("The server sent an unexpected SFTP reply.");
        if (!sink(data.data(), data.size())) {
            ok = false;
            break;
        }
        offset += data.size();
    }
    return Close(handle) && ok;
}
