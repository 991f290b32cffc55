#include "transceivers/IpAddressTable.h"

#include "platform/DurableFile.h"
#include "platform/NumberText.h"
#include "platform/Socket.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace {

constexpr std::string_view kMacKey = "MAC=";
constexpr std::string_view kIpKey = "\tIP=";
constexpr std::size_t kHardwareTextSize = 17;

// The dotted address as we write it, when text is a unit's address: neither
// the "any" address nor the broadcast one.
std::optional<std::string> NormalIp(std::string_view text)
{
    if (text.empty() || text.size() > 15 || text.find('\0') != std::string_view::npos)
        return std::nullopt;
    std::uint32_t ip = 0;
    if (!SocketAddress::ParseIp(std::string(text), ip) || ip == 0 || ip == SocketAddress::kBroadcast)
        return std::nullopt;
    return SocketAddress::IpText(ip);
}

// A hardware address as a unit's text may give it too: its bytes joined by
// "-" ("02-00-00-00-1A-2B").
std::optional<std::string> GivenHardwareAddress(std::string text)
{
    if (text.size() == kHardwareTextSize)
        for (std::size_t i = 2; i < text.size(); i += 3)
            if (text[i] == '-')
                text[i] = ':';
    return CIpAddressTable::NormalHardwareAddress(text);
}

}  // namespace

CIpAddressTable::CIpAddressTable(const std::string& folder)
{
    if (folder.empty())
        return;
    m_path = folder;
    if (m_path.back() != '/')
        m_path += '/';
    m_path += kFileName;
}

std::optional<std::string> CIpAddressTable::NormalHardwareAddress(std::string_view text)
{
    if (text.size() != kHardwareTextSize)
        return std::nullopt;
    std::string out(text);
    for (std::size_t i = 0; i < out.size(); ++i) {
        if (i % 3 == 2) {
            if (out[i] != ':')
                return std::nullopt;
            continue;
        }
        const int digit = CNumberText::HexDigit(out[i]);
        if (digit < 0)
            return std::nullopt;
        out[i] = "0123456789abcdef"[digit];
    }
    return out;
}

std::string CIpAddressTable::HardwareAddressText(const std::uint8_t* bytes)
{
    char text[kHardwareTextSize + 1];
    std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", bytes[0], bytes[1], bytes[2], bytes[3], bytes[4],
                  bytes[5]);
    return text;
}

std::vector<sIp> CIpAddressTable::Parse(std::string_view text)
{
    std::vector<sIp> entries;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        // MAC=aa:bb:cc:dd:ee:ff<TAB>IP=a.b.c.d
        if (line.substr(0, kMacKey.size()) != kMacKey)
            continue;
        line.remove_prefix(kMacKey.size());
        const auto hardware = NormalHardwareAddress(line.substr(0, kHardwareTextSize));
        if (!hardware || line.substr(kHardwareTextSize, kIpKey.size()) != kIpKey)
            continue;
        const auto ip = NormalIp(line.substr(kHardwareTextSize + kIpKey.size()));
        if (!ip)
            continue;
        bool known = false;
        for (const sIp& entry : entries)
            known = known || entry.hardwareAddress == *hardware;
        if (!known)
            entries.push_back({*hardware, *ip});
    }
    return entries;
}

std::string CIpAddressTable::Format(const std::vector<sIp>& entries)
{
    std::string text;
    for (const sIp& entry : entries)
        text += std::string(kMacKey) + entry.hardwareAddress + std::string(kIpKey) + entry.ip + "\r\n";
    return text;
}

bool CIpAddressTable::Load()
{
    std::lock_guard lock(m_lock);
    m_entries.clear();
    if (m_path.empty())
        return true;
    std::error_code ec;
    if (!std::filesystem::exists(m_path, ec))
        return !ec;
    std::ifstream in(m_path, std::ios::binary);
    if (!in)
        return false;
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        return false;
    m_entries = Parse(text);
    return true;
}

std::optional<std::string> CIpAddressTable::Find(const std::string& hardwareAddress) const
{
    const auto hardware = GivenHardwareAddress(hardwareAddress);
    std::lock_guard lock(m_lock);
    if (hardware)
        for (const sIp& entry : m_entries)
            if (entry.hardwareAddress == *hardware)
                return entry.ip;
    return std::nullopt;
}

std::optional<std::string> CIpAddressTable::GiveAddress(const std::string& hardwareAddress, bool* saved)
{
    if (saved)
        *saved = true;
    const auto hardware = NormalHardwareAddress(hardwareAddress);
    if (!hardware)
        return std::nullopt;
    std::lock_guard lock(m_lock);
    for (const sIp& entry : m_entries)
        if (entry.hardwareAddress == *hardware)
            return entry.ip;
    for (std::uint32_t ip = kFirstAddress; ip <= kLastAddress; ++ip) {
        const std::string text = SocketAddress::IpText(ip);
        bool taken = false;
        for (const sIp& entry : m_entries)
            taken = taken || entry.ip == text;
        if (taken)
            continue;
        m_entries.push_back({*hardware, text});
        const bool written = WriteLocked();
        if (saved)
            *saved = written;
        return text;
    }
    return std::nullopt;
}

bool CIpAddressTable::SetAddress(const std::string& hardwareAddress, const std::string& ip)
{
    const auto hardware = GivenHardwareAddress(hardwareAddress);
    const auto address = NormalIp(ip);
    if (!hardware || !address)
        return false;
    std::lock_guard lock(m_lock);
    bool found = false;
    for (sIp& entry : m_entries)
        if (entry.hardwareAddress == *hardware) {
            entry.ip = *address;
            found = true;
        }
    if (!found)
        m_entries.push_back({*hardware, *address});
    return WriteLocked();
}

bool CIpAddressTable::Write()
{
    std::lock_guard lock(m_lock);
    return WriteLocked();
}

bool CIpAddressTable::WriteLocked()
{
    if (m_path.empty())
        return true;
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(m_path).parent_path(), ec);
    return CDurableFile::Replace(m_path, Format(m_entries)) == 0;
}

std::vector<sIp> CIpAddressTable::Entries() const
{
    std::lock_guard lock(m_lock);
    return m_entries;
}
