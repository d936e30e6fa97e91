#include "browser/SessionTransfer.h"

#include "boxconfig/SuiteNames.h"
#include "ftp/ExplicitTls.h"

DataMode DataModeOf(const CBrowserSession& s)
{
    return s.settings.Passive() ? DataMode::Passive : DataMode::Active;
}

std::string TransferFailure(const TransferResult& result, const char* refused)
{
    if (result.outcome == TransferResult::Abandoned)
        return "";
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
    return result.IsDone() ? "" : "Unable to receive data from the FTP host";
}
