#include "boxconfig/CachedProfile.h"

#include "boxconfig/SuiteNames.h"

namespace {

template <class Map, class Match>
void EraseIf(Map& map, Match match)
{
    for (auto it = map.begin(); it != map.end();)
        it = match(it->first) ? map.erase(it) : std::next(it);
}

}  // namespace

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

void CCachedProfile::WriteBinary(const std::string& section, const std::string& name, const std::string& bytes)
{
    Forget(section, name);
    m_below.WriteBinary(section, name, bytes);
}

void CCachedProfile::DeleteValue(const std::string& section, const std::string& name)
{
    Forget(section, name);
    m_below.DeleteValue(section, name);
}

void CCachedProfile::DeleteSection(const std::string& section)
{
    auto inSection = [&](const auto& key) { return std::get<0>(key) == section; };
    EraseIf(m_strings, inSection);
    EraseIf(m_ints, inSection);
    m_below.DeleteSection(section);
}

// A value written may be read back under either kind and any default.
void CCachedProfile::Forget(const std::string& section, const std::string& name)
{
    const std::string lower = AsciiLower(name);
    auto isValue = [&](const auto& key) { return std::get<0>(key) == section && std::get<1>(key) == lower; };
    EraseIf(m_strings, isValue);
    EraseIf(m_ints, isValue);
}
