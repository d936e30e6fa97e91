// A profile that reads each value from the one below it once: a run that
// reads the same box values for every file asks the registry once per run,
// and sees one consistent set of settings throughout. Writes go through.
// For one thread.
#pragma once

#include <map>
#include <string>
#include <tuple>

#include "boxconfig/Profile.h"

class CCachedProfile : public CProfile {
public:
    explicit CCachedProfile(CProfile& below) : m_below(below) {}

    std::string GetString(const std::string& section, const std::string& name, const std::string& def) override;
    int GetInt(const std::string& section, const std::string& name, int def) override;
    void WriteString(const std::string& section, const std::string& name, const std::string& text) override;
    void WriteInt(const std::string& section, const std::string& name, int value) override;
    bool GetBinary(const std::string& section, const std::string& name, std::string* bytes) override
    {
        return m_below.GetBinary(section, name, bytes);
    }
    void WriteBinary(const std::string& section, const std::string& name, const std::string& bytes) override;
    void DeleteValue(const std::string& section, const std::string& name) override;
    void DeleteSection(const std::string& section) override;
    bool HoldsValues(const std::string& section) override { return m_below.HoldsValues(section); }

private:
    void Forget(const std::string& section, const std::string& name);

    CProfile& m_below;
    // By section, name and the default asked with: a missing value reads
    // as whatever default its reader gives.
    std::map<std::tuple<std::string, std::string, std::string>, std::string> m_strings;
    std::map<std::tuple<std::string, std::string, int>, int> m_ints;
};
