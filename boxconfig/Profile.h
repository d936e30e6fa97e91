// The application profile: settings keyed by (section, value name), the
// section being a box name. Reads give the caller's default when the value
// is missing or unreadable; writes are not checked.
#pragma once

#include <string>

class CProfile {
public:
    virtual ~CProfile() = default;
    virtual std::string GetString(const std::string& section, const std::string& name, const std::string& def) = 0;
    virtual int GetInt(const std::string& section, const std::string& name, int def) = 0;
    virtual void WriteString(const std::string& section, const std::string& name, const std::string& text) = 0;
    virtual void WriteInt(const std::string& section, const std::string& name, int value) = 0;
    // REG_BINARY values; a read is false when the value is missing or of
    // another type.
    virtual bool GetBinary(const std::string& section, const std::string& name, std::string* bytes) = 0;
    virtual void WriteBinary(const std::string& section, const std::string& name, const std::string& bytes) = 0;
    virtual void DeleteValue(const std::string& section, const std::string& name) = 0;
    virtual void DeleteSection(const std::string& section) = 0;
    // True when the section exists and holds a value; unlike a read, this
    // never creates it.
    virtual bool HoldsValues(const std::string& section) = 0;
};
