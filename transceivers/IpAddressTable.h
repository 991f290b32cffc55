// The BOOTP server's table of the addresses it gives the wide-band units,
// kept in the file "IpAdresses.ini" of the data root's transceiver list
// folder, one line a unit:
//   MAC=02:00:00:00:1a:2b<TAB>IP=192.168.0.150<CR><LF>
// The hardware address is six two-digit hexadecimal bytes joined by ":"
// (written in lower case), the address dotted IPv4.
//
// A unit the table does not know gets the first address of the default
// range 192.168.0.150 to 192.168.0.250, counting up in the last byte, that
// no entry holds (the deck unit's 192.168.0.114 lies outside it).
//
// The BOOTP thread gives addresses out and unit discovery sets them on the
// user-interface thread: every change and every write of the file holds
// one lock. The file is replaced whole (written beside it, then renamed),
// so that a crash leaves the old table or the new one.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct sIp
{
    std::string hardwareAddress;  // "aa:bb:cc:dd:ee:ff"
    std::string ip;               // "a.b.c.d"
    bool operator==(const sIp&) const = default;
};

class CIpAddressTable
{
public:
    static constexpr const char* kFileName = "IpAdresses.ini";
    static constexpr std::uint32_t kFirstAddress = 0xC0A80096;  // 192.168.0.150
    static constexpr std::uint32_t kLastAddress = 0xC0A800FA;   // 192.168.0.250

    // folder: where "IpAdresses.ini" lies (created when the table is first
    // written). Empty: a table of memory alone, never read or written.
    explicit CIpAddressTable(const std::string& folder);
    CIpAddressTable(const CIpAddressTable&) = delete;
    CIpAddressTable& operator=(const CIpAddressTable&) = delete;

    // Reads the file; a missing file is an empty table. False only when a
    // file is there and cannot be read (the table is empty then too).
    bool Load();

    // The entries of a file's text. A line that is not one entry, or whose
    // hardware address an earlier line has already given, is skipped;
    // hexadecimal digits of either case are taken.
    static std::vector<sIp> Parse(std::string_view text);
    // The file's text of entries.
    static std::string Format(const std::vector<sIp>& entries);
    // "aa:bb:cc:dd:ee:ff" of six bytes.
    static std::string HardwareAddressText(const std::uint8_t* bytes);
    // The hardware address in lower case when text is one ("AA:bb:.." too).
    static std::optional<std::string> NormalHardwareAddress(std::string_view text);

    // Find and SetAddress take a hardware address also with its bytes joined
    // by "-", as a unit's own text gives it ("02-00-00-00-1A-2B").
    // The address the table holds for a hardware address.
    std::optional<std::string> Find(const std::string& hardwareAddress) const;
    // The table's address of the unit, else the next free one of the
    // default range, which is added and saved. Nothing when every address
    // of the range is taken (or the hardware address is none). *saved (when
    // given) tells whether a new entry reached the file.
    std::optional<std::string> GiveAddress(const std::string& hardwareAddress, bool* saved = nullptr);
    // Gives the unit the address and saves the table. False when either is
    // not one, or the file could not be written (the table holds it still).
    bool SetAddress(const std::string& hardwareAddress, const std::string& ip);
    // Writes the file; false when it could not be written.
    bool Write();

    std::vector<sIp> Entries() const;
    const std::string& Path() const { return m_path; }

private:
    bool WriteLocked();

    mutable std::mutex m_lock;
    std::string m_path;
    std::vector<sIp> m_entries;
};
