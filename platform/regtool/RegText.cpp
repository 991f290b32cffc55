#include "platform/regtool/RegText.h"

#include "platform/ByteReader.h"
#include "platform/ByteWriter.h"
#include "platform/NumberText.h"

#include <cstdio>
#include <cstring>
#include <memory>

namespace {

struct RootName
{
    const char* shortName;
    const char* longName;
    HKEY key;
};

const RootName kRoots[] = {
    {"HKCU", "HKEY_CURRENT_USER", HKEY_CURRENT_USER},
    {"HKLM", "HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
    {"HKCR", "HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
};

bool SameIgnoringCase(const std::string& a, const char* b)
{
    if (a.size() != std::strlen(b))
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const char x = a[i] >= 'a' && a[i] <= 'z' ? static_cast<char>(a[i] - 32) : a[i];
        if (x != b[i])
            return false;
    }
    return true;
}

std::string Hex(const std::vector<BYTE>& data)
{
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (std::size_t i = 0; i < data.size(); ++i) {
        if (i)
            out += ',';
        out += digits[data[i] >> 4];
        out += digits[data[i] & 15];
    }
    return out;
}

// A REG_SZ written as text must come back as the same bytes: one
// terminating zero and none inside.
bool IsPlainText(const std::vector<BYTE>& data)
{
    if (data.empty() || data.back() != 0)
        return false;
    return std::memchr(data.data(), 0, data.size() - 1) == nullptr;
}

struct KeyCloser
{
    void operator()(HKEY__* h) const { RegCloseKey(h); }
};
using KeyPtr = std::unique_ptr<HKEY__, KeyCloser>;

LONG ExportKey(HKEY key, const std::string& fullName, std::string& text, std::string& error)
{
    if (fullName.find_first_of("\r\n") != std::string::npos) {
        error = "a key name with a line break cannot be exported: " + CRegText::Quote(fullName);
        return ERROR_INVALID_PARAMETER;
    }
    text += "[" + fullName + "]\n";
    DWORD subKeys = 0, maxSub = 0, values = 0, maxName = 0, maxData = 0;
    LONG rc = RegQueryInfoKey(key, nullptr, nullptr, nullptr, &subKeys, &maxSub, nullptr, &values, &maxName, &maxData,
                              nullptr, nullptr);
    if (rc != ERROR_SUCCESS)
        return rc;
    for (DWORD i = 0;; ++i) {
        std::vector<char> name(maxName + 1);
        std::vector<BYTE> data(maxData);
        DWORD cch = static_cast<DWORD>(name.size()), size = static_cast<DWORD>(data.size()), type = 0;
        rc = RegEnumValue(key, i, name.data(), &cch, nullptr, &type, data.empty() ? nullptr : data.data(), &size);
        if (rc == ERROR_NO_MORE_ITEMS)
            break;
        if (rc == ERROR_MORE_DATA) {  // changed meanwhile: ask again
            rc = RegQueryInfoKey(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &maxName, &maxData,
                                 nullptr, nullptr);
            if (rc != ERROR_SUCCESS)
                return rc;
            --i;
            continue;
        }
        if (rc != ERROR_SUCCESS)
            return rc;
        data.resize(size);
        const std::string valueName(name.data(), cch);
        text += (valueName.empty() ? std::string("@") : CRegText::Quote(valueName)) + "=" +
                CRegText::FormatData(type, data) + "\n";
    }
    for (DWORD i = 0;; ++i) {
        char sub[REG_MAX_KEY_NAME + 1];
        DWORD cch = sizeof sub;
        rc = RegEnumKeyEx(key, i, sub, &cch, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS)
            break;
        if (rc != ERROR_SUCCESS)
            return rc;
        HKEY child = nullptr;
        rc = RegOpenKeyEx(key, sub, 0, KEY_READ, &child);
        if (rc != ERROR_SUCCESS)
            return rc;
        KeyPtr keep(child);
        rc = ExportKey(child, fullName + "\\" + std::string(sub, cch), text, error);
        if (rc != ERROR_SUCCESS)
            return rc;
    }
    return ERROR_SUCCESS;
}

}  // namespace

bool CRegText::ParseKeyPath(const std::string& text, HKEY& root, std::string& subPath)
{
    const auto pos = text.find('\\');
    const std::string head = text.substr(0, pos);
    for (const auto& r : kRoots) {
        if (SameIgnoringCase(head, r.shortName) || SameIgnoringCase(head, r.longName)) {
            root = r.key;
            subPath = pos == std::string::npos ? std::string() : text.substr(pos + 1);
            return true;
        }
    }
    return false;
}

std::string CRegText::RootName(HKEY root)
{
    for (const auto& r : kRoots) {
        if (r.key == root)
            return r.longName;
    }
    return {};
}

std::string CRegText::Quote(const std::string& text)
{
    std::string out = "\"";
    for (unsigned char c : text) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '"':
            out += "\\\"";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20 || c == 0x7F) {
                char buf[5];
                std::snprintf(buf, sizeof buf, "\\x%02x", c);
                out += buf;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

bool CRegText::Unquote(const std::string& line, std::size_t& pos, std::string& text)
{
    if (pos >= line.size() || line[pos] != '"')
        return false;
    text.clear();
    for (std::size_t i = pos + 1; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '"') {
            pos = i + 1;
            return true;
        }
        if (c != '\\') {
            text += c;
            continue;
        }
        if (++i >= line.size())
            return false;
        switch (line[i]) {
        case '\\':
            text += '\\';
            break;
        case '"':
            text += '"';
            break;
        case 'n':
            text += '\n';
            break;
        case 'r':
            text += '\r';
            break;
        case 't':
            text += '\t';
            break;
        case 'x': {
            if (i + 2 >= line.size())
                return false;
            const int hi = CNumberText::HexDigit(line[i + 1]), lo = CNumberText::HexDigit(line[i + 2]);
            if (hi < 0 || lo < 0)
                return false;
            text += static_cast<char>(hi * 16 + lo);
            i += 2;
            break;
        }
        default:
            return false;
        }
    }
    return false;
}

bool CRegText::ParseDword(const std::string& text, DWORD& value)
{
    std::size_t i = 0;
    unsigned base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        i = 2;
    }
    if (i >= text.size())
        return false;
    std::uint64_t v = 0;
    for (; i < text.size(); ++i) {
        const int d = CNumberText::HexDigit(text[i]);
        if (d < 0 || static_cast<unsigned>(d) >= base)
            return false;
        v = v * base + static_cast<unsigned>(d);
        if (v > 0xFFFFFFFFull)
            return false;
    }
    value = static_cast<DWORD>(v);
    return true;
}

bool CRegText::ParseHexBytes(const std::string& text, std::vector<BYTE>& bytes)
{
    bytes.clear();
    int high = -1;
    for (char c : text) {
        if (c == ',' || c == ' ' || c == '\t') {
            if (high >= 0)
                return false;  // a lone digit before a separator
            continue;
        }
        const int d = CNumberText::HexDigit(c);
        if (d < 0)
            return false;
        if (high < 0) {
            high = d;
        } else {
            bytes.push_back(static_cast<BYTE>(high * 16 + d));
            high = -1;
        }
    }
    return high < 0;
}

std::string CRegText::FormatData(DWORD type, const std::vector<BYTE>& data)
{
    if (type == REG_SZ && IsPlainText(data)) {
        return "sz:" + Quote(std::string(reinterpret_cast<const char*>(data.data()), data.size() - 1));
    }
    if (type == REG_DWORD && data.size() == 4) {
        char buf[16];
        const DWORD v = CByteReader(data.data(), data.size()).U32(0);
        std::snprintf(buf, sizeof buf, "%08x", v);
        return std::string("dword:") + buf;
    }
    if (type == REG_BINARY)
        return "hex:" + Hex(data);
    char buf[24];
    std::snprintf(buf, sizeof buf, "hex(%x):", type);
    return buf + Hex(data);
}

bool CRegText::ParseData(const std::string& text, DWORD& type, std::vector<BYTE>& data)
{
    data.clear();
    if (text.rfind("sz:", 0) == 0) {
        std::size_t pos = 3;
        std::string s;
        if (!Unquote(text, pos, s) || pos != text.size())
            return false;
        type = REG_SZ;
        data.assign(s.begin(), s.end());
        data.push_back(0);
        return true;
    }
    if (text.rfind("dword:", 0) == 0) {
        const std::string digits = text.substr(6);
        if (digits.empty() || digits.size() > 8)
            return false;
        DWORD v = 0;
        if (!ParseDword("0x" + digits, v))
            return false;
        type = REG_DWORD;
        data.resize(4);
        CByteWriter(data).U32(0, v);
        return true;
    }
    if (text.rfind("hex:", 0) == 0) {
        type = REG_BINARY;
        return ParseHexBytes(text.substr(4), data);
    }
    if (text.rfind("hex(", 0) == 0) {
        const auto close = text.find("):", 4);
        if (close == std::string::npos || close == 4 || close > 12)
            return false;
        if (!ParseDword("0x" + text.substr(4, close - 4), type))
            return false;
        return ParseHexBytes(text.substr(close + 2), data);
    }
    return false;
}

LONG CRegText::Export(HKEY root, const std::string& subPath, std::string& text, std::string& error)
{
    HKEY key = nullptr;
    LONG rc = RegOpenKeyEx(root, subPath.c_str(), 0, KEY_READ, &key);
    if (rc != ERROR_SUCCESS)
        return rc;
    KeyPtr keep(key);
    std::string name = RootName(root);
    std::string sub = subPath;
    while (!sub.empty() && sub.back() == '\\')
        sub.pop_back();
    if (!sub.empty())
        name += "\\" + sub;
    return ExportKey(key, name, text, error);
}

LONG CRegText::Import(const std::string& text, std::string& error)
{
    struct Op
    {
        HKEY root = nullptr;
        std::string subPath;
        bool isKey = true;
        std::string valueName;
        DWORD type = REG_NONE;
        std::vector<BYTE> data;
    };
    std::vector<Op> ops;
    bool haveKey = false;
    std::size_t lineNo = 0;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        ++lineNo;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        const auto first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == ';')
            continue;
        line = line.substr(first);
        const std::string where = "line " + std::to_string(lineNo) + ": ";
        if (line.front() == '[') {
            const auto close = line.rfind(']');
            if (close == std::string::npos || line.find_first_not_of(" \t", close + 1) != std::string::npos) {
                error = where + "a key line ends with ]";
                return ERROR_INVALID_PARAMETER;
            }
            Op op;
            if (!ParseKeyPath(line.substr(1, close - 1), op.root, op.subPath)) {
                error = where + "unknown root in " + line;
                return ERROR_INVALID_PARAMETER;
            }
            ops.push_back(std::move(op));
            haveKey = true;
            continue;
        }
        if (!haveKey) {
            error = where + "a value before any key";
            return ERROR_INVALID_PARAMETER;
        }
        Op op;
        op.isKey = false;
        op.root = ops.back().root;
        op.subPath = ops.back().subPath;
        std::size_t pos = 0;
        if (line.front() == '@') {
            pos = 1;
        } else if (!Unquote(line, pos, op.valueName)) {
            error = where + "a value name in quotes, or @, is expected";
            return ERROR_INVALID_PARAMETER;
        }
        if (pos >= line.size() || line[pos] != '=') {
            error = where + "= is expected after the value name";
            return ERROR_INVALID_PARAMETER;
        }
        std::string data = line.substr(pos + 1);
        while (!data.empty() && (data.back() == ' ' || data.back() == '\t'))
            data.pop_back();
        if (!ParseData(data, op.type, op.data)) {
            error = where + "data not understood: " + data;
            return ERROR_INVALID_PARAMETER;
        }
        ops.push_back(std::move(op));
    }

    // A line the store refuses (a key too deep, a hive that cannot be
    // written) shows only now: everything written before it is undone.
    const LONG rc = RegistryTransaction([&] {
        KeyPtr current;
        for (const auto& op : ops) {
            if (op.isKey) {
                HKEY key = nullptr;
                current.reset();
                const LONG crc =
                    RegCreateKeyEx(op.root, op.subPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
                if (crc != ERROR_SUCCESS) {
                    error = "cannot create " + RootName(op.root) + "\\" + op.subPath;
                    return crc;
                }
                current.reset(key);
                continue;
            }
            const LONG wrc = RegSetValueEx(current.get(), op.valueName.c_str(), 0, op.type, op.data.data(),
                                           static_cast<DWORD>(op.data.size()));
            if (wrc != ERROR_SUCCESS) {
                error = "cannot write " + Quote(op.valueName) + " in " + RootName(op.root) + "\\" + op.subPath;
                return wrc;
            }
        }
        return ERROR_SUCCESS;
    });
    if (rc != ERROR_SUCCESS && error.empty())
        error = "the changes could not be stored";
    return rc;
}
