#include "ftp/SftpSession.h"

SftpSessionResult OpenSftpSession(CSftpClient& sftp, const SftpSessionOptions& options, const SftpOpening& opening)
{
    SftpSessionResult result;
    auto stage = [&](SessionStage s) {
        if (opening.stage)
            opening.stage(s);
    };
    stage(SessionStage::Connecting);
    if (!sftp.Connect(options.host, options.port, options.timeoutSeconds)) {
        result.why = sftp.Error();
        return result;
    }
    stage(SessionStage::Connected);
    const HostKeyVerdict verdict = JudgeHostKey(sftp.HostKey(), options.storedKey);
    if (verdict != HostKeyVerdict::Trusted && !(opening.trust && opening.trust(sftp.HostKey(), verdict))) {
        sftp.Disconnect();
        result.failure = SftpFailure::Untrusted;
        return result;
    }
    stage(SessionStage::LoggingIn);
    result.failure = SftpFailure::Logon;
    if (!sftp.LogIn(options.user, options.password)) {
        result.why = sftp.Error();
        return result;
    }
    result.loginDirectory = sftp.RealPath(".");
    if (result.loginDirectory.empty()) {
        result.why = sftp.Error();
        return result;
    }
    stage(SessionStage::LoggedIn);
    result.failure = SftpFailure::None;
    return result;
}
