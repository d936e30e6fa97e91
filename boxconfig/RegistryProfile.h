// The application profile on HKEY_CURRENT_USER\Software\<vendor>\<application>\<section>.
#pragma once

#include <string>

#include "boxconfig/Profile.h"

class CRegistryProfile : public CProfile {
public:
    CRegistryProfile(std::string vendor, std::string application);
    std::string GetString(const std::string& section, const std::string& name, const std::string& def) override;
    int GetInt(const std::string& section, const std::string& name, int def) override;
    void WriteString(const std::string& section, const std::string& name, const std::string& text) override;
    void WriteInt(const std::string& section, const std::string& name, int value) override;
    void DeleteSection(const std::string& section) override;
    bool HoldsValues(const std::string& section) override;

    // "Software\<vendor>\<application>", relative to HKEY_CURRENT_USER.
    const std::string& ApplicationKeyPath() const { return m_appKey; }

private:
    std::string m_appKey;
};

// The suite's own profile ("FTP Sendora" / "FTP Sendora").
CRegistryProfile& SuiteProfile();
// The user's window sizes, in HKEY_CURRENT_USER\Software\FTP Sendora\Browser
// (the empty section): beside the boxes' key, so that nothing takes it for a box.
CRegistryProfile& WindowProfile();
