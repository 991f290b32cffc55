// The installation's search for units on the network, and the change of a
// found unit's address.
//
// HXU units answer a broadcast version request on the unit port, NVU units
// one on the discovery port, each from its own address; every PC adapter
// sends the request once, from its own address and the local discovery
// port, and hears answers until a second passes in silence. The GEO deck
// unit is asked over TCP at its configured address. An answer that fits the
// model becomes candidate channel entries of the installation, built from
// the answer and "TrList.ini".
//
// Requests (little-endian):
//   HXU version request  4   "VR" 0 0                        broadcast, 12345
//   NVU version request  12  u32 12, "VR" 0 0, u32 0         broadcast, 12346
//   deck unit start      8   "BEGIN" 0 0 0                   TCP 502
//   unit reset           12  u32 12, "RES" 0, u32 1          the unit, 12346
//   HXU address change   16  "IS" 0 0, Ethernet address (6, last digit pair
//                            first), 0 0, new address (network order)
//                                                            broadcast, 12345
// Answers (at most 2004 bytes are taken; a field past the received length
// reads as empty):
//   NVU version answer   4 "VA" 0 0, 20 u32 serial number, 44 text, NUL
//   HXU version answer   0 "V" 0 0 0, 12 description, 268 unit text,
//                        276 u32 error flag, 280 error text
//   deck unit answer     the bytes received within the wait: its text
//
// The readers of answers and texts are pure, so that a fuzz target drives
// them with what a unit might send. Everything runs on the user-interface
// thread, which the waits block.
#pragma once

#include "platform/WinTypes.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class CTransceiverInstallation;
class CTrList;

class CUnitDiscovery
{
public:
    using Bytes = std::vector<BYTE>;

    static constexpr WORD kUnitPort = 12345;
    static constexpr WORD kDiscoveryPort = 12346;
    static constexpr WORD kLocalDiscoveryPort = 12348;
    static constexpr WORD kDeckUnitPort = 502;
    static constexpr std::size_t kReplyBufferSize = 2004;
    static constexpr int kAnswerWaitMs = 1000;

    struct NvuVersionAnswer
    {
        std::uint32_t serial = 0;
        std::string information;
    };
    struct HxuVersionAnswer
    {
        std::string description;
        std::string information;
        std::uint32_t errorFlag = 0;
        std::string errorText;
    };
    // What the builders take out of a wide-band unit's information text:
    //   Serial no.6699
    //   Ethernet: 02-00-00-00-1A-2B
    //   PPC Embedded Software / Rev 1.4.2
    //   PPC Download Software / Rev 2.0.1
    //   Board 1: 38 kHz            one line per transceiver board
    struct NvuUnitText
    {
        std::optional<long> serial;
        std::string ethernet;
        std::string embeddedRevision;
        std::string downloadRevision;
        std::vector<double> boardKHz;  // positive values only, in text order
    };
    // What the GEO builder takes out of the deck unit's text:
    //   Version: 2.3
    //   Serial no. 4711
    //   Ethernet: 02-00-00-00-12-67
    //   Frequency: 200.000 kHz     the tow fish's frequency
    struct DeckUnitText
    {
        std::optional<long> serial;
        std::string ethernet;
        std::string version;
        std::optional<double> frequencyKHz;  // positive only
    };

    explicit CUnitDiscovery(CTransceiverInstallation& installation);

    // Where the broadcasts go (host order; 255.255.255.255 unless set).
    void SetBroadcastAddress(std::uint32_t address) { m_broadcast = address; }
    std::uint32_t GetBroadcastAddress() const { return m_broadcast; }
    // How long an answer is waited for (ms).
    void SetAnswerWait(int ms) { m_waitMs = ms; }
    int GetAnswerWait() const { return m_waitMs; }

    // One broadcast pass over every adapter of CNetworkAdapters::List().
    void Discover(WORD port, const BYTE* request, int length);
    // The GEO deck unit at the installation's DeckUnitIP.
    void QueryDeckUnit();
    // One answer to the version request, from sender, heard on the adapter
    // of that address text: the entries it gives, if any.
    void TakeAnswer(const BYTE* data, std::size_t size, std::uint32_t sender, const std::string& adapterAddress);

    // The builders append candidates to the installation's channel list.
    void BuildNvuEntries(const std::string& label, std::uint32_t unitAddress, const std::string& information,
                         const std::string& pcAddress);
    void BuildGeoEntries(const std::string& information, std::uint32_t unitAddress, const std::string& deckUnitIp);
    void BuildFromTrList(const std::string& description, std::uint32_t unitAddress, const std::string& information,
                         const std::string& pcAddress);

    // The address changes, asked for from the installation dialog.
    void ChangeHxuAddress(CTrList& entry, const std::string& typedAddress);
    void ChangeUnitAddress(CTrList& entry, const std::string& typedAddress);

    static Bytes HxuVersionRequest();
    static Bytes NvuVersionRequest();
    static Bytes DeckUnitStart();
    static Bytes UnitReset();
    // Empty when the Ethernet address is not 12 hexadecimal digits.
    static std::optional<Bytes> HxuAddressChange(const std::string& ethernetAddress, std::uint32_t newAddress);

    static std::optional<NvuVersionAnswer> ReadNvuVersionAnswer(const BYTE* data, std::size_t size);
    static std::optional<HxuVersionAnswer> ReadHxuVersionAnswer(const BYTE* data, std::size_t size);
    static NvuUnitText ReadNvuUnitText(const std::string& text);
    static DeckUnitText ReadDeckUnitText(const std::string& text);
    // The six bytes of an Ethernet address text in text order: its
    // hexadecimal digits (either case) with or without separators ("-", ":",
    // "." or blanks between pairs); empty unless there are exactly 12.
    static std::optional<std::array<BYTE, 6>> ParseEthernetAddress(const std::string& text);
    // "aa:bb:cc:dd:ee:ff", as the BOOTP server keys its table.
    static std::string HardwareAddressText(const std::array<BYTE, 6>& address);

private:
    void Beep(unsigned hz, unsigned ms);
    // Writes again every installed entry with a transducer whose address
    // was oldAddress, which now has newAddress.
    void MoveEntries(std::uint32_t oldAddress, std::uint32_t newAddress, CTrList& changed);

    CTransceiverInstallation& m_installation;
    std::uint32_t m_broadcast = 0xFFFFFFFFu;
    int m_waitMs = kAnswerWaitMs;
};
