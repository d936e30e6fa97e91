// A profile held in memory, for tests that must run without a registry.
#pragma once

#include <map>
#include <string>
#include <utility>

#include "boxconfig/Profile.h"
#include "boxconfig/SuiteNames.h"

class CMemoryProfile : public CProfile {
public:
    std::string GetString(const std::string& section, const std::string& name, const std::string& def) override
    {
        m_sections[section];  // opening a section creates it, as the registry does
        auto it = m_strings.find({section, AsciiLower(name)});
        return it == m_strings.end() ? def : it->second;
    }
    int GetInt(const std::string& section, const std::string& name, int def) override
    {
        m_sections[section];
        auto it = m_ints.find({section, AsciiLower(name)});
        return it == m_ints.end() ? def : it->second;
    }
    void WriteString(const std::string& section, const std::string& name, const std::string& text) override
    {
        m_sections[section];
        m_ints.erase({section, AsciiLower(name)});
        m_strings[{section, AsciiLower(name)}] = text;
    }
    void WriteInt(const std::string& section, const std::string& name, int value) override
    {
        m_sections[section];
        m_strings.erase({section, AsciiLower(name)});
        m_ints[{section, AsciiLower(name)}] = value;
    }
    void DeleteSection(const std::string& section) override
    {
        m_sections.erase(section);
        EraseSection(m_strings, section);
        EraseSection(m_ints, section);
    }
    bool HoldsValues(const std::string& section) override { return ValueCount(section) > 0; }
    bool HasSection(const std::string& section) const { return m_sections.count(section) != 0; }
    size_t ValueCount(const std::string& section) const
    {
        size_t n = 0;
        for (auto& kv : m_strings)
            n += kv.first.first == section;
        for (auto& kv : m_ints)
            n += kv.first.first == section;
        return n;
    }

private:
    using Key = std::pair<std::string, std::string>;
    template <class M>
    static void EraseSection(M& m, const std::string& section)
    {
        for (auto it = m.begin(); it != m.end();)
            it = it->first.first == section ? m.erase(it) : std::next(it);
    }
    std::map<std::string, int> m_sections;
    std::map<Key, std::string> m_strings;
    std::map<Key, int> m_ints;
};
