#include "boxconfig/BoxSettings.h"

#include <utility>

#include "boxconfig/SuiteNames.h"

namespace {

struct TextRow {
    BoxText value;
    const char* name;
    const char* byReader[3];  // manager, engine, browser
};

// A reader that never reads a value is given "" for it.
const TextRow kTexts[] = {
    {BoxText::HostName, BoxValue::HostName, {"", kNotFound, kNotFound}},
    {BoxText::UserId, BoxValue::UserId, {"", kNotFound, kNotFound}},
    {BoxText::Password, BoxValue::Password, {"", kNotFound, kNotFound}},
    {BoxText::Account, BoxValue::Account, {"", "", ""}},
    {BoxText::Directory, BoxValue::Directory, {"", kNotFound, kNotFound}},
    {BoxText::CurrentDirectory, BoxValue::CurrentDirectory, {"", "", kNotFound}},
    {BoxText::TargetDirectory, BoxValue::TargetDirectory, {"", "", ""}},
    {BoxText::Certificate, BoxValue::Certificate, {"", "", ""}},
    // SFTP boxes
    {BoxText::HostKey, BoxValue::HostKey, {"", "", ""}},
};

struct NumberRow {
    BoxNumber value;
    const char* name;
    int byDefault;
};

const NumberRow kNumbers[] = {
    {BoxNumber::GeoCitiesLogin, BoxValue::GeoCitiesLogin, 0},
    {BoxNumber::Port, BoxValue::Port, 21},
    {BoxNumber::TransferType, BoxValue::TransferType, static_cast<int>(TransferType::AutoDetect)},
    {BoxNumber::Filenames, BoxValue::Filenames, static_cast<int>(FilenameCase::Unchanged)},
    {BoxNumber::FileExtensions, BoxValue::FileExtensions, static_cast<int>(ExtensionChange::Unchanged)},
    {BoxNumber::Erase, BoxValue::Erase, 0},
    {BoxNumber::Details, BoxValue::Details, 0},
    {BoxNumber::SortOrder, BoxValue::SortOrder, 0},
    {BoxNumber::SortColumn, BoxValue::SortColumn, 0},
    {BoxNumber::Passive, BoxValue::Passive, 0},
    {BoxNumber::Tls, BoxValue::Tls, 0},
    // SFTP boxes
    {BoxNumber::Sftp, BoxValue::Sftp, 0},
    {BoxNumber::Timeout, BoxValue::Timeout, DefaultTimeout},
    {BoxNumber::TempUpload, BoxValue::TempUpload, 0},
};

template <class Row, size_t N, class Value>
const Row& RowOf(const Row (&rows)[N], Value value)
{
    for (const Row& row : rows)
        if (row.value == value)
            return row;
    return rows[0];  // not reached: every value has its row
}

}  // namespace

const char* BoxValueName(BoxText value)
{
    return RowOf(kTexts, value).name;
}

const char* BoxValueName(BoxNumber value)
{
    return RowOf(kNumbers, value).name;
}

std::string BoxTextDefault(BoxText value, BoxReader reader)
{
    return RowOf(kTexts, value).byReader[static_cast<int>(reader)];
}

int BoxNumberDefault(BoxNumber value)
{
    return RowOf(kNumbers, value).byDefault;
}

CBoxSettings::CBoxSettings(CProfile& profile, std::string box, BoxReader reader)
    : m_profile(profile),
      m_box(std::move(box)),
      m_reader(reader)
{
}

std::string CBoxSettings::Text(BoxText value) const
{
    return m_profile.GetString(m_box, BoxValueName(value), BoxTextDefault(value, m_reader));
}

int CBoxSettings::Number(BoxNumber value) const
{
    return m_profile.GetInt(m_box, BoxValueName(value), BoxNumberDefault(value));
}

int CBoxSettings::TimeLimit() const
{
    const int seconds = Number(BoxNumber::Timeout);
    return seconds < 0 ? 0 : (seconds > MaxTimeout ? MaxTimeout : seconds);
}

bool IsValidPort(int port)
{
    return port >= 1 && port <= 65535;
}
