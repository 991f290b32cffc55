// One settings section of the component: a per-user key under "Software\",
// created on first use and then seeded from the machine-wide key of the same
// path when an installation provided one.
#pragma once

#include "platform/Registry.h"

#include <string>

class CRegSection
{
public:
    CRegSection() = default;
    CRegSection(const CRegSection&) = delete;
    CRegSection& operator=(const CRegSection&) = delete;
    virtual ~CRegSection() { Close(); }

    // 1 when the per-user key is open for reading and writing, 0 otherwise.
    int Open(const std::string& section);
    int Close();
    HKEY UserKey() const { return m_hUser; }
    const std::string& KeyPath() const { return m_strKeyPath; }

    static int WriteString(HKEY base, const char* subkey, const char* name, const std::string& value);
    static int WriteNumber(HKEY base, const char* subkey, const char* name, DWORD value);
    // Missing values are written from the current content when writeDefault
    // is set; the result is then that write's success.
    static int ReadString(HKEY base, const char* subkey, const char* name, std::string& value, BOOL writeDefault);
    static int ReadNumber(HKEY base, const char* subkey, const char* name, DWORD& value, BOOL writeDefault);

protected:
    // Seeds a new per-user key from the machine-wide one: every value of
    // the machine-wide key is copied. 1 on success.
    virtual int CopyFromMachine(HKEY machine);
    // Fills a new per-user key before any copy; nothing here.
    virtual int WriteDefaults(HKEY user);

private:
    std::string m_strKeyPath;
    HKEY m_hUser = nullptr;
    HKEY m_hMachine = nullptr;
};
