#include "browser/SessionTransfer.h"

#include "boxconfig/SuiteNames.h"
#include "ftp/ExplicitTls.h"

DataMode DataModeOf(const CBrowserSession& s)
{
    return s.settings.Passive() ? DataMode::Passive : DataMode::Active;
}

std::string TransferFailure(CBrowserSession& s, const TransferResult& result, const char* refused)
{
    if (result.outcome == TransferResult::Abandoned)
        return "";
    if (result.timedOut) {
        s.sessionLost = true;
        const std::string message = TransferFailure(s, TransferResult{TransferResult::Connection, result.step}, refused);
        return WithReason(message.c_str(), NoAnswerText(s.settings.TimeLimit()));
    }
    // A server that wants the encrypted data connection otherwise says why.
    if (result.code == DataTlsRefused)
        return WithReason(kTlsDataRefused, result.text);
    switch (result.step) {
    case TransferStep::DataPort:
    case TransferStep::DataConnection:
        return kNoDataChannel;
    case TransferStep::Command:
        return refused;
    case TransferStep::Data:
    case TransferStep::Completion:
        break;
    }
    if (result.outcome == TransferResult::LocalFile)
        return "Unable to write the file on this computer";
    return result.IsDone() ? "" : "Unable to receive data from the FTP host";
}
