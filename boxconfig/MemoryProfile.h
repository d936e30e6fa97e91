// A profile held in memory, for code that must run without a registry.
#pragma once

#include <map>
#include <string>
#include <utility>

#include "boxconfig/Profile.h"

class CMemoryProfile : public CProfile {
public:
    std::string GetString(const std::string& section, const std::string& name,
                          const std::string& def) override
    {
        sections_[section];  // opening a section creates it, as the registry does
        auto it = strings_.find({section, Lower(name)});
        return it == strings_.end() ? def : it->second;
    }
    int GetInt(const std::string& section, const std::string& name, int def) override
    {
        sections_[section];
        auto it = ints_.find({section, Lower(name)});
        return it == ints_.end() ? def : it->second;
    }
    void WriteString(const std::string& section, const std::string& name,
                     const std::string& text) override
    {
        sections_[section];
        ints_.erase({section, Lower(name)});
        strings_[{section, Lower(name)}] = text;
    }
    void WriteInt(const std::string& section, const std::string& name, int value) override
    {
        sections_[section];
        strings_.erase({section, Lower(name)});
        ints_[{section, Lower(name)}] = value;
    }
    void DeleteSection(const std::string& section) override
    {
        sections_.erase(section);
        EraseSection(strings_, section);
        EraseSection(ints_, section);
    }
    bool HasSection(const std::string& section) const { return sections_.count(section) != 0; }
    size_t ValueCount(const std::string& section) const
    {
        size_t n = 0;
        for (auto& kv : strings_) n += kv.first.first == section;
        for (auto& kv : ints_) n += kv.first.first == section;
        return n;
    }

private:
    using Key = std::pair<std::string, std::string>;
    static std::string Lower(std::string s)
    {
        for (char& c : s)
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        return s;
    }
    template <class M> static void EraseSection(M& m, const std::string& section)
    {
        for (auto it = m.begin(); it != m.end();)
            it = it->first.first == section ? m.erase(it) : std::next(it);
    }
    std::map<std::string, int> sections_;
    std::map<Key, std::string> strings_;
    std::map<Key, int> ints_;
};
