#include "engine/TransferRules.h"

#include "boxconfig/SuiteNames.h"

TransferChoice ChooseTransfer(const std::string& name, TransferType type, ExtensionChange change)
{
    static const char typeA[] = "TYPE A\r\n";
    static const char typeI[] = "TYPE I\r\n";
    TransferChoice c{std::string(), name};
    switch (type) {
    case TransferType::Ascii:
        c.typeCommand = typeA;
        break;
    case TransferType::Binary:
        c.typeCommand = typeI;
        break;
    case TransferType::AutoDetect: {
        const std::string ext = AsciiLower(ExtensionOf(name));
        if (ext == ".htm") {
            if (change == ExtensionChange::HtmToHtml)
                c.remoteName += 'l';
            c.typeCommand = typeA;
        } else if (ext == ".html") {
            if (change == ExtensionChange::HtmlToHtm)
                c.remoteName.pop_back();
            c.typeCommand = typeA;
        } else {
            c.typeCommand = IsTextExtension(ext) ? typeA : typeI;
        }
        break;
    }
    default:
        break;  // the server's current type is used
    }
    return c;
}

BoxDirectory ParseBoxDirectory(const std::string& value)
{
    BoxDirectory d;
    if (value.empty())
        return d;
    if (value[0] == '/') {
        d.kind = BoxDirectory::Fixed;
        d.path = value;
    } else if (value.compare(0, 4, "[MN]") == 0) {
        // Hosts with their own naming (data sets, volumes): sent as typed.
        d.kind = BoxDirectory::Fixed;
        d.path = value.substr(4);
    } else {
        d.kind = BoxDirectory::RelativeToLogin;
        d.path = value;
    }
    return d;
}

std::string JoinRemoteDirectory(const std::string& current, const std::string& relative)
{
    return current == "/" ? "/" + relative : current + "/" + relative;
}

int ProgressPercent(uint64_t size, uint64_t sent)
{
    if (size == 0 || sent >= size)
        return 100;
    uint64_t percent = sent <= UINT64_MAX / 100 ? sent * 100 / size : sent / (size / 100);
    return static_cast<int>(percent > 100 ? 100 : percent);
}

void ScaleForMessage(uint64_t& size, uint64_t& sent)
{
    if (size <= 0x7FFFFFFFu && sent <= 0x7FFFFFFFu)
        return;
    // Halving both would round the count up to 100% before the last block;
    // the count is rebuilt from the percentage instead.
    const uint64_t percent = static_cast<uint64_t>(ProgressPercent(size, sent));
    while (size > 0x7FFFFFFFu)
        size >>= 1;
    sent = (percent * size + 99) / 100;
}

std::string TemporaryUploadName(const std::string& remote)
{
    return "." + remote + ".part-upload";
}

std::string TemporaryKeptText(const std::string& temporary, const std::string& remote, const std::string& why)
{
    return "The file is on the FTP host as " + temporary + ": it could not be renamed to " + remote + " (" + why + ")";
}
