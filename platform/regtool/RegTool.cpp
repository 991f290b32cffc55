#include "platform/regtool/RegTool.h"

#include "platform/ByteWriter.h"
#include "platform/Registry.h"
#include "platform/regtool/RegText.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

namespace {

const char* TypeName(DWORD type)
{
    switch (type) {
    case REG_SZ:
        return "REG_SZ";
    case REG_DWORD:
        return "REG_DWORD";
    case REG_BINARY:
        return "REG_BINARY";
    default:
        return nullptr;
    }
}

// Deletes a key with everything below it.
LONG DeleteTree(HKEY parent, const std::string& name)
{
    HKEY key = nullptr;
    LONG rc = RegOpenKeyEx(parent, name.c_str(), 0, KEY_ALL_ACCESS, &key);
    if (rc != ERROR_SUCCESS)
        return rc;
    char sub[REG_MAX_KEY_NAME + 1];
    while (true) {
        DWORD cch = sizeof sub;
        rc = RegEnumKeyEx(key, 0, sub, &cch, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS)
            break;
        if (rc == ERROR_SUCCESS)
            rc = DeleteTree(key, std::string(sub, cch));
        if (rc != ERROR_SUCCESS) {
            RegCloseKey(key);
            return rc;
        }
    }
    RegCloseKey(key);
    return RegDeleteKey(parent, name.c_str());
}

}  // namespace

int CRegTool::Usage()
{
    std::fprintf(m_Err, "Usage:\n"
                        "  zvreg query  <key> [<value name>]\n"
                        "  zvreg set    <key> <value name> REG_SZ|REG_DWORD|REG_BINARY <data>\n"
                        "  zvreg delete <key> [<value name>]\n"
                        "  zvreg export <key> <file, or - for standard output>\n"
                        "  zvreg import <file, or - for standard input>\n"
                        "<key> begins with HKCU, HKLM or HKCR (or HKEY_CURRENT_USER ...), e.g.\n"
                        "  zvreg set \"HKCU\\Software\\Zelvar\\EchoSounder\" SounderName REG_SZ QY310\n"
                        "An empty value name (\"\") is the key's default value. REG_DWORD data is decimal\n"
                        "or 0x-hexadecimal; REG_BINARY data is hex bytes, e.g. 01,02,ff.\n");
    return kExitUsage;
}

int CRegTool::Fail(const std::string& message, long code)
{
    if (code) {
        std::fprintf(m_Err, "zvreg: %s (error %ld)\n", message.c_str(), code);
    } else {
        std::fprintf(m_Err, "zvreg: %s\n", message.c_str());
    }
    return kExitError;
}

int CRegTool::Run(const std::vector<std::string>& args)
{
    if (args.empty())
        return Usage();
    const std::string& command = args[0];
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (command == "query")
        return Query(rest);
    if (command == "set")
        return Set(rest);
    if (command == "delete")
        return Delete(rest);
    if (command == "export")
        return Export(rest);
    if (command == "import")
        return Import(rest);
    return Usage();
}

int CRegTool::Query(const std::vector<std::string>& args)
{
    if (args.empty() || args.size() > 2)
        return Usage();
    HKEY root = nullptr;
    std::string sub;
    if (!CRegText::ParseKeyPath(args[0], root, sub))
        return Fail("unknown root in " + args[0], 0);
    HKEY key = nullptr;
    LONG rc = RegOpenKeyEx(root, sub.c_str(), 0, KEY_READ, &key);
    if (rc != ERROR_SUCCESS)
        return Fail("cannot open " + args[0], rc);
    std::string text;
    if (args.size() == 2) {
        DWORD type = 0, size = 0;
        rc = RegQueryValueEx(key, args[1].c_str(), nullptr, &type, nullptr, &size);
        std::vector<BYTE> data(size);
        if (rc == ERROR_SUCCESS)
            rc = RegQueryValueEx(key, args[1].c_str(), nullptr, &type, data.data(), &size);
        RegCloseKey(key);
        if (rc != ERROR_SUCCESS)
            return Fail("cannot read " + CRegText::Quote(args[1]) + " in " + args[0], rc);
        data.resize(size);
        std::fprintf(m_Out, "%s\n", CRegText::FormatData(type, data).c_str());
        return kExitOk;
    }
    // The key and everything below it, in the text form.
    std::string error;
    rc = CRegText::Export(root, sub, text, error);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS)
        return Fail(error.empty() ? "cannot read " + args[0] : error, rc);
    std::fputs(text.c_str(), m_Out);
    return kExitOk;
}

int CRegTool::Set(const std::vector<std::string>& args)
{
    if (args.size() != 4)
        return Usage();
    HKEY root = nullptr;
    std::string sub;
    if (!CRegText::ParseKeyPath(args[0], root, sub))
        return Fail("unknown root in " + args[0], 0);
    const std::string& type = args[2];
    const std::string& text = args[3];
    std::vector<BYTE> data;
    DWORD regType = REG_NONE;
    if (type == TypeName(REG_SZ)) {
        regType = REG_SZ;
        data.assign(text.begin(), text.end());
        data.push_back(0);
    } else if (type == TypeName(REG_DWORD)) {
        DWORD v = 0;
        if (!CRegText::ParseDword(text, v))
            return Fail("not a 32-bit number: " + text, 0);
        regType = REG_DWORD;
        data.resize(4);
        CByteWriter(data).U32(0, v);
    } else if (type == TypeName(REG_BINARY)) {
        if (!CRegText::ParseHexBytes(text, data))
            return Fail("not hex bytes: " + text, 0);
        regType = REG_BINARY;
    } else {
        return Usage();
    }
    HKEY key = nullptr;
    LONG rc = RegCreateKeyEx(root, sub.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (rc != ERROR_SUCCESS)
        return Fail("cannot open " + args[0], rc);
    rc = RegSetValueEx(key, args[1].c_str(), 0, regType, data.data(), static_cast<DWORD>(data.size()));
    if (rc == ERROR_SUCCESS)
        rc = RegFlushKey(key);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS)
        return Fail("cannot write " + CRegText::Quote(args[1]) + " in " + args[0], rc);
    return kExitOk;
}

int CRegTool::Delete(const std::vector<std::string>& args)
{
    if (args.empty() || args.size() > 2)
        return Usage();
    HKEY root = nullptr;
    std::string sub;
    if (!CRegText::ParseKeyPath(args[0], root, sub))
        return Fail("unknown root in " + args[0], 0);
    LONG rc;
    if (args.size() == 2) {
        HKEY key = nullptr;
        rc = RegOpenKeyEx(root, sub.c_str(), 0, KEY_ALL_ACCESS, &key);
        if (rc != ERROR_SUCCESS)
            return Fail("cannot open " + args[0], rc);
        rc = RegDeleteValue(key, args[1].c_str());
        if (rc == ERROR_SUCCESS)
            rc = RegFlushKey(key);
        RegCloseKey(key);
        if (rc != ERROR_SUCCESS)
            return Fail("cannot delete " + CRegText::Quote(args[1]) + " in " + args[0], rc);
        return kExitOk;
    }
    while (!sub.empty() && sub.back() == '\\')
        sub.pop_back();
    if (sub.empty())
        return Fail("a root cannot be deleted", 0);
    rc = DeleteTree(root, sub);
    if (rc == ERROR_SUCCESS)
        rc = RegFlushKey(root);
    if (rc != ERROR_SUCCESS)
        return Fail("cannot delete " + args[0], rc);
    return kExitOk;
}

int CRegTool::Export(const std::vector<std::string>& args)
{
    if (args.size() != 2)
        return Usage();
    HKEY root = nullptr;
    std::string sub;
    if (!CRegText::ParseKeyPath(args[0], root, sub))
        return Fail("unknown root in " + args[0], 0);
    std::string text = "; zvreg export\n";
    std::string error;
    const LONG rc = CRegText::Export(root, sub, text, error);
    if (rc != ERROR_SUCCESS)
        return Fail(error.empty() ? "cannot export " + args[0] : error, rc);
    if (args[1] == "-") {
        std::fputs(text.c_str(), m_Out);
        return kExitOk;
    }
    std::ofstream file(args[1], std::ios::binary | std::ios::trunc);
    file << text;
    file.close();
    if (!file)
        return Fail("cannot write " + args[1], 0);
    return kExitOk;
}

int CRegTool::Import(const std::vector<std::string>& args)
{
    if (args.size() != 1)
        return Usage();
    std::string text;
    if (args[0] == "-") {
        std::ostringstream all;
        char buffer[4096];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, stdin)) > 0)
            all.write(buffer, static_cast<long>(n));
        text = all.str();
    } else {
        std::ifstream file(args[0], std::ios::binary);
        if (!file)
            return Fail("cannot read " + args[0], 0);
        text.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    }
    std::string error;
    const LONG rc = CRegText::Import(text, error);
    if (rc != ERROR_SUCCESS)
        return Fail(args[0] + ", " + error, rc);
    return kExitOk;
}
