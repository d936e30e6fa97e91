#include "ftp/Session.h"

#include "ftp/CommandText.h"
#include "ftp/ExplicitTls.h"

namespace {

bool IsFailure(int code)
{
    return code >= 400;
}

// "VERB argument": an argument that would split the line is never sent.
int SendArgument(CFtpClient& ftp, CStream& control, const char* verb, const std::string& argument)
{
    if (!IsSendableArgument(argument))
        return ReplyFailed;
    return ftp.SendCommand(control, CommandLine(verb, argument).c_str());
}

// Why a command with this argument failed: nothing to add for one never sent.
std::string WhyNot(const CFtpClient& ftp, const std::string& argument)
{
    return IsSendableArgument(argument) ? ftp.FailureReason() : std::string();
}

SessionResult Failed(SessionFailure failure, std::string why = std::string(), std::string reply = std::string(),
                     std::unique_ptr<CStream> control = nullptr)
{
    SessionResult result;
    result.failure = failure;
    result.why = std::move(why);
    result.reply = std::move(reply);
    result.control = std::move(control);
    return result;
}

}  // namespace

SessionResult OpenSession(CFtpClient& ftp, const SessionOptions& options, CSessionObserver& observer)
{
    observer.Stage(SessionStage::Connecting);
    ftp.SetTimeLimit(options.timeLimit);
    const SocketHandle socket = ftp.ConnectToHost(options.host.c_str(), options.port);
    if (socket == InvalidSocket)
        return Failed(SessionFailure::Connect, ftp.FailureReason());
    if (!observer.Connected(socket))
        return Failed(SessionFailure::GivenUp);
    observer.Stage(SessionStage::Connected);
    observer.Reply(ftp.LastReply());

    std::unique_ptr<CStream> control(new CPlainStream(socket, ftp.TimeLimit()));
    if (options.tls) {
        std::string why;
        const std::shared_ptr<CTlsCredentials> credentials =
            options.makeCredentials ? options.makeCredentials(options.host, &why) : nullptr;
        if (!credentials)
            return Failed(SessionFailure::TlsFailed, why);
        TlsStartResult started =
            StartTls(ftp, std::move(control), credentials, options.storedFingerprint,
                     [&](const TlsCertificate& certificate) { return observer.TrustCertificate(certificate); });
        switch (started.outcome) {
        case TlsStart::Secured:
            break;
        case TlsStart::NotOffered:
            return Failed(SessionFailure::TlsNotOffered);
        case TlsStart::Untrusted:
            return Failed(SessionFailure::Untrusted);
        case TlsStart::Failed:
            return Failed(SessionFailure::TlsFailed, started.why);
        }
        control = std::move(started.stream);
        observer.Reply(ftp.LastReply());
    }

    observer.Stage(SessionStage::LoggingIn);
    // PASS follows every USER reply below 400, 230 included.
    if (IsFailure(SendArgument(ftp, *control, "USER", options.user)))
        return Failed(SessionFailure::Logon, WhyNot(ftp, options.user), ftp.LastReply(), std::move(control));
    observer.Reply(ftp.LastReply());
    if (IsFailure(SendArgument(ftp, *control, "PASS", options.password)))
        return Failed(SessionFailure::Logon, WhyNot(ftp, options.password), ftp.LastReply(), std::move(control));
    observer.Reply(ftp.LastReply());
    if (options.tls) {
        std::string replies;
        if (!ProtectDataConnections(ftp, *control, &replies))
            return Failed(SessionFailure::Protect, ftp.FailureReason(), ftp.LastReply(), std::move(control));
        observer.Reply(replies.c_str());
    }
    observer.Stage(SessionStage::LoggedIn);

    SessionResult result;
    result.failure = SessionFailure::None;
    result.control = std::move(control);
    return result;
}
