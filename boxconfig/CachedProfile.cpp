#include "boxconfig/CachedProfile.h"

#include "boxconfig/SuiteNames.h"

std::string CCachedProfile::GetString(const std::string& section, const std::string& name, const std::string& def)
{
    const auto key = std::make_tuple(section, AsciiLower(name), def);
    auto it = m_strings.find(key);
    if (it == m_strings.end())
        it = m_strings.emplace(key, m_below.GetString(section, name, def)).first;
    return it->second;
}

int CCachedProfile::GetInt(const std::string& section, const std::string& name, int def)
{
    const auto key = std::make_tuple(section, AsciiLower(name), def);
    auto it = m_ints.find(key);
    if (it == m_ints.end())
        it = m_ints.emplace(key, m_below.GetInt(section, name, def)).first;
    return it->second;
}

void CCachedProfile::WriteString(const std::string& section, const std::string& name, const std::string& text)
{
    Forget(section, name);
    m_below.WriteString(section, name, text);
}

void CCachedProfile::WriteInt(const std::string& section, const std::string& name, int value)
{
    Forget(section, name);
    m_below.WriteInt(section, name, value);
}

void CCachedProfile::DeleteSection(const std::string& section)
{
    for (auto it = m_strings.begin(); it != m_strings.end();)
        it = std::get<0>(it->first) == section ? m_strings.erase(it) : std::next(it);
    for (auto it = m_ints.begin(); it != m_ints.end();)
        it = std::get<0>(it->first) == section ? m_ints.erase(it) : std::next(it);
    m_below.DeleteSection(section);
}

// A value written may be read back under either kind and any default.
void CCachedProfile::Forget(const std::string& section, const std::string& name)
{
    const std::string lower = AsciiLower(name);
    for (auto it = m_strings.begin(); it != m_strings.end();)
        it = std::get<0>(it->first) == section && std::get<1>(it->first) == lower ? m_strings.erase(it) : std::next(it);
    for (auto it = m_ints.begin(); it != m_ints.end();)
        it = std::get<0>(it->first) == section && std::get<1>(it->first) == lower ? m_ints.erase(it) : std::next(it);
}
