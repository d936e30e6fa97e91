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
    bool GetBinary(const std::string& section, const std::string& name, std::string* bytes) override
    {
        m_sections[section];
        auto it = m_binaries.find({section, AsciiLower(name)});
        if (it == m_binaries.end())
            return false;
        *bytes = it->second;
        return true;
    }
    void WriteString(const std::string& section, const std::string& name, const std::string& text) override
    {
        Erase(section, name);
        m_strings[{section, AsciiLower(name)}] = text;
    }
    void WriteInt(const std::string& section, const std::string& name, int value) override
    {
        Erase(section, name);
        m_ints[{section, AsciiLower(name)}] = value;
    }
    void WriteBinary(const std::string& section, const std::string& name, const std::string& bytes) override
    {
        Erase(section, name);
        m_binaries[{section, AsciiLower(name)}] = bytes;
    }
    void DeleteValue(const std::string& section, const std::string& name) override { Erase(section, name); }
    void DeleteSection(const std::string& section) override
    {
        m_sections.erase(section);
        EraseSection(m_strings, section);
        EraseSection(m_ints, section);
        EraseSection(m_binaries, section);
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
        for (auto& kv : m_binaries)
            n += kv.first.first == section;
        return n;
    }

private:
    using Key = std::pair<std::string, std::string>;
    void Erase(const std::string& section, const std::string& name)
    {
        m_sections[section];
        const Key key(section, AsciiLower(name));
        m_strings.erase(key);
        m_ints.erase(key);
        m_binaries.erase(key);
    }
    template <class M>
    static void EraseSection(M& m, const std::string& section)
    {
        for (auto it = m.begin(); it != m.end();)
            it = it->first.first == section ? m.erase(it) : std::next(it);
    }
    std::map<std::string, int> m_sections;
    std::map<Key, std::string> m_strings;
    std::map<Key, int> m_ints;
    std::map<Key, std::string> m_binaries;
};
