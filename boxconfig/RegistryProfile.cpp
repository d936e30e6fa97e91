#include "boxconfig/RegistryProfile.h"

#include <windows.h>

#include <vector>

#include "boxconfig/SuiteNames.h"

namespace {

// Owns an open key; closes it on every path out.
class CRegKey {
public:
    CRegKey() = default;
    CRegKey(const CRegKey&) = delete;
    CRegKey& operator=(const CRegKey&) = delete;
    ~CRegKey()
    {
        if (m_key)
            RegCloseKey(m_key);
    }
    HKEY* Out() { return &m_key; }
    HKEY Get() const { return m_key; }
    explicit operator bool() const { return m_key != nullptr; }

private:
    HKEY m_key = nullptr;
};

// Opening a section creates the vendor, application and section keys, for
// reading as well: a box read before it was saved leaves its empty key.
bool OpenSection(const std::string& appKey, const std::string& section, CRegKey& key)
{
    std::string path = appKey;
    if (!section.empty())
        path += "\\" + section;
    DWORD disposition = 0;
    return RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE,
                           nullptr, key.Out(), &disposition) == ERROR_SUCCESS;
}

}  // namespace

CRegistryProfile::CRegistryProfile(std::string vendor, std::string application)
    : m_appKey("Software\\" + vendor + "\\" + application)
{
}

std::string CRegistryProfile::GetString(const std::string& section, const std::string& name, const std::string& def)
{
    CRegKey key;
    if (!OpenSection(m_appKey, section, key))
        return def;
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(key.Get(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return def;
    // The stored text may lack its NUL; room for one more byte covers that.
    std::vector<char> buf(size + 1, '\0');
    if (RegQueryValueExA(key.Get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buf.data()), &size) !=
        ERROR_SUCCESS)
        return def;
    buf[size] = '\0';
    return std::string(buf.data());
}

int CRegistryProfile::GetInt(const std::string& section, const std::string& name, int def)
{
    CRegKey key;
    if (!OpenSection(m_appKey, section, key))
        return def;
    DWORD type = 0, value = 0, size = sizeof value;
    if (RegQueryValueExA(key.Get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
            ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof value)
        return def;
    return static_cast<int>(value);
}

void CRegistryProfile::WriteString(const std::string& section, const std::string& name, const std::string& text)
{
    CRegKey key;
    if (!OpenSection(m_appKey, section, key))
        return;
    RegSetValueExA(key.Get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>(text.size() + 1));
}

void CRegistryProfile::WriteInt(const std::string& section, const std::string& name, int value)
{
    CRegKey key;
    if (!OpenSection(m_appKey, section, key))
        return;
    const DWORD v = static_cast<DWORD>(value);
    RegSetValueExA(key.Get(), name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), sizeof v);
}

// RegDeleteKey cannot remove a key that has subkeys; a box key made by hand may.
static void DeleteTree(HKEY parent, const std::string& name)
{
    {
        CRegKey key;
        if (RegOpenKeyExA(parent, name.c_str(), 0, KEY_READ | KEY_WRITE, key.Out()) == ERROR_SUCCESS) {
            for (;;) {
                char sub[256];  // a key name has at most 255 characters
                DWORD len = sizeof sub;
                if (RegEnumKeyExA(key.Get(), 0, sub, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                    break;
                const std::string child(sub, len);
                DeleteTree(key.Get(), child);
                // Stop rather than spin when a subkey cannot go.
                CRegKey probe;
                if (RegOpenKeyExA(key.Get(), child.c_str(), 0, KEY_READ, probe.Out()) == ERROR_SUCCESS)
                    break;
            }
        }
    }
    RegDeleteKeyA(parent, name.c_str());
}

void CRegistryProfile::DeleteSection(const std::string& section)
{
    if (section.empty())
        return;  // never the application key itself
    CRegKey app;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, m_appKey.c_str(), 0, KEY_READ | KEY_WRITE, app.Out()) != ERROR_SUCCESS)
        return;
    DeleteTree(app.Get(), section);
}

bool CRegistryProfile::HoldsValues(const std::string& section)
{
    CRegKey key;
    if (section.empty() ||
        RegOpenKeyExA(HKEY_CURRENT_USER, (m_appKey + "\\" + section).c_str(), 0, KEY_READ, key.Out()) != ERROR_SUCCESS)
        return false;
    DWORD values = 0;
    return RegQueryInfoKeyA(key.Get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                            nullptr, nullptr) == ERROR_SUCCESS &&
           values > 0;
}

CRegistryProfile& SuiteProfile()
{
    // Vendor and application key both bear the application's name.
    static CRegistryProfile profile(kSuiteTitle, kSuiteTitle);
    return profile;
}

CRegistryProfile& WindowProfile()
{
    static CRegistryProfile profile(kSuiteTitle, "Browser");
    return profile;
}
