// The text form of registry keys that zvreg exports and imports:
//
//   ; comment
//   [HKEY_CURRENT_USER\Software\Zelvar\EchoSounder]
//   "SounderName"=sz:"QY310"
//   "PingRate"=dword:0000000a
//   "Offsets"=hex:01,02,ff
//   "List"=hex(7):61,00,00,00
//   @=sz:"the key's default value"
//
// A key line names the key from its root; the value lines below it belong
// to it. Strings escape \ " and control characters (\n \r \t \xHH). A REG_SZ
// that is not exactly one zero-terminated text, and every type other than
// REG_SZ, REG_DWORD and REG_BINARY, is written as hex(type) so that it comes
// back byte for byte.
#pragma once

#include "platform/Registry.h"
#include "platform/WinTypes.h"

#include <string>
#include <vector>

class CRegText
{
public:
    // "HKCU\..." or "HKEY_CURRENT_USER\..." (also HKLM, HKCR), any case.
    static bool ParseKeyPath(const std::string& text, HKEY& root, std::string& subPath);
    static std::string RootName(HKEY root);

    static std::string Quote(const std::string& text);
    // Reads a quoted string at pos; pos moves past the closing quote.
    static bool Unquote(const std::string& line, std::size_t& pos, std::string& text);

    // Parses a number as written on a command line or in the text form:
    // decimal, or hexadecimal after "0x"; nothing else on the text.
    static bool ParseDword(const std::string& text, DWORD& value);
    // Hex byte pairs, optionally separated by commas or blanks.
    static bool ParseHexBytes(const std::string& text, std::vector<BYTE>& bytes);

    // Appends the key, its values and everything below it. Returns the
    // store's result of the first call that failed.
    static LONG Export(HKEY root, const std::string& subPath, std::string& text, std::string& error);

    // Checks the whole text first and writes nothing when any line is
    // wrong; error names the line. The lines are then stored in one
    // transaction: when the store refuses one, none is kept.
    static LONG Import(const std::string& text, std::string& error);

    // The value line's right-hand side ("sz:...", "dword:...", "hex...").
    static std::string FormatData(DWORD type, const std::vector<BYTE>& data);
    static bool ParseData(const std::string& text, DWORD& type, std::vector<BYTE>& data);
};
