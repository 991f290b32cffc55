#include "transceivers/UnitDiscovery.h"

#include "base/AppIds.h"
#include "base/EchosounderError.h"
#include "base/Status.h"
#include "platform/MessageBox.h"
#include "platform/NetworkAdapters.h"
#include "platform/NumberText.h"
#include "platform/Socket.h"
#include "transceivers/HXU.h"
#include "transceivers/TrList.h"
#include "transceivers/TransceiverInstallation.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <system_error>

// The installation's reports name the installation as their source, as the
// operator knows it.
#define INSTALLATION_FATAL(...) EchosounderFatalError("TransceiverInstallation", __LINE__, __VA_ARGS__)

namespace {

constexpr const char* kNotDescribed = "Sorry,transceiver description not found!";
constexpr const char* kInvalidAddress = "Invalid IP Address !";

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool IsEol(char c)
{
    return c == '\r' || c == '\n';
}

std::string Trimmed(std::string_view s)
{
    std::size_t b = 0, e = s.size();
    while (b < e && IsBlank(s[b]))
        ++b;
    while (e > b && IsBlank(s[e - 1]))
        --e;
    return std::string(s.substr(b, e - b));
}

// A zero-terminated text from at, no further than end nor than the bytes
// received: what lies beyond them was never sent.
std::string FieldText(const BYTE* data, std::size_t size, std::size_t at, std::size_t end)
{
    end = std::min(end, size);
    if (at >= end)
        return {};
    const auto* p = reinterpret_cast<const char*>(data + at);
    const void* nul = std::memchr(p, 0, end - at);
    return std::string(p, nul ? static_cast<const char*>(nul) - p : static_cast<std::ptrdiff_t>(end - at));
}

std::uint32_t Get32(const BYTE* p)
{
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

void Put32(CUnitDiscovery::Bytes& b, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + static_cast<std::size_t>(i)] = static_cast<BYTE>(v >> (8 * i) & 0xFF);
}

// The rest of the line after the first occurrence of word, trimmed.
std::optional<std::string> RestOfLine(const std::string& text, std::string_view word, std::size_t from = 0)
{
    const std::size_t hit = text.find(word, from);
    if (hit == std::string::npos)
        return std::nullopt;
    std::size_t end = hit + word.size();
    const std::size_t begin = end;
    while (end < text.size() && !IsEol(text[end]))
        ++end;
    return Trimmed(std::string_view(text).substr(begin, end - begin));
}

// The decimal number at the start of s, after blanks and a colon.
std::optional<long> LeadingInteger(std::string_view s)
{
    std::size_t i = 0;
    while (i < s.size() && (IsBlank(s[i]) || s[i] == ':'))
        ++i;
    long v = 0;
    const auto r = std::from_chars(s.data() + i, s.data() + s.size(), v);
    if (r.ec != std::errc())
        return std::nullopt;
    return v;
}

// A positive, finite decimal number at the start of s, after blanks and a
// colon.
std::optional<double> LeadingPositive(std::string_view s)
{
    std::size_t i = 0;
    while (i < s.size() && (IsBlank(s[i]) || s[i] == ':'))
        ++i;
    double v = 0.0;
    const auto r = std::from_chars(s.data() + i, s.data() + s.size(), v);
    if (r.ec != std::errc() || !std::isfinite(v) || v <= 0.0)
        return std::nullopt;
    return v;
}

std::string Revision(const std::string& text, std::string_view software)
{
    const std::size_t hit = text.find(software);
    if (hit == std::string::npos)
        return {};
    return RestOfLine(text, "Rev", hit + software.size()).value_or(std::string());
}

std::string SocketErrorText(int error)
{
    return std::system_category().message(error);
}

}  // namespace

CUnitDiscovery::CUnitDiscovery(CTransceiverInstallation& installation) : m_installation(installation) {}

// --- requests -----------------------------------------------------------

CUnitDiscovery::Bytes CUnitDiscovery::HxuVersionRequest()
{
    return {'V', 'R', 0, 0};
}

CUnitDiscovery::Bytes CUnitDiscovery::NvuVersionRequest()
{
    Bytes b(12, 0);
    Put32(b, 0, 12);
    b[4] = 'V';
    b[5] = 'R';
    return b;
}

CUnitDiscovery::Bytes CUnitDiscovery::DeckUnitStart()
{
    return {'B', 'E', 'G', 'I', 'N', 0, 0, 0};
}

CUnitDiscovery::Bytes CUnitDiscovery::UnitReset()
{
    Bytes b(12, 0);
    Put32(b, 0, 12);
    b[4] = 'R';
    b[5] = 'E';
    b[6] = 'S';
    Put32(b, 8, 1);
    return b;
}

std::optional<CUnitDiscovery::Bytes> CUnitDiscovery::HxuAddressChange(const std::string& ethernetAddress,
                                                                      std::uint32_t newAddress)
{
    if (ethernetAddress.size() != 12)
        return std::nullopt;
    const auto address = ParseEthernetAddress(ethernetAddress);
    if (!address)
        return std::nullopt;
    Bytes b(16, 0);
    b[0] = 'I';
    b[1] = 'S';
    // The unit reads its address from the last digit pair on.
    for (std::size_t i = 0; i < 6; ++i)
        b[4 + i] = (*address)[5 - i];
    b[12] = static_cast<BYTE>(newAddress >> 24);
    b[13] = static_cast<BYTE>(newAddress >> 16 & 0xFF);
    b[14] = static_cast<BYTE>(newAddress >> 8 & 0xFF);
    b[15] = static_cast<BYTE>(newAddress & 0xFF);
    return b;
}

// --- answers ------------------------------------------------------------

std::optional<CUnitDiscovery::NvuVersionAnswer> CUnitDiscovery::ReadNvuVersionAnswer(const BYTE* data, std::size_t size)
{
    size = std::min(size, kReplyBufferSize);
    if (!data || size < 8 || std::memcmp(data + 4, "VA\0\0", 4) != 0)
        return std::nullopt;
    NvuVersionAnswer a;
    a.serial = size >= 24 ? Get32(data + 20) : 0;
    a.information = FieldText(data, size, 44, size);
    return a;
}

std::optional<CUnitDiscovery::HxuVersionAnswer> CUnitDiscovery::ReadHxuVersionAnswer(const BYTE* data, std::size_t size)
{
    size = std::min(size, kReplyBufferSize);
    if (!data || size < 4 || std::memcmp(data, "V\0\0\0", 4) != 0)
        return std::nullopt;
    HxuVersionAnswer a;
    a.description = FieldText(data, size, 12, 268);
    a.information = FieldText(data, size, 268, 276);
    a.errorFlag = size >= 280 ? Get32(data + 276) : 0;
    a.errorText = FieldText(data, size, 280, size);
    return a;
}

CUnitDiscovery::NvuUnitText CUnitDiscovery::ReadNvuUnitText(const std::string& text)
{
    NvuUnitText t;
    if (auto serial = RestOfLine(text, "Serial no."))
        t.serial = LeadingInteger(*serial);
    t.ethernet = RestOfLine(text, "Ethernet:").value_or(std::string());
    t.embeddedRevision = Revision(text, "PPC Embedded Software");
    t.downloadRevision = Revision(text, "PPC Download Software");
    // "Board n: f kHz", one line per board.
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = pos;
        while (end < text.size() && !IsEol(text[end]))
            ++end;
        const std::string line = Trimmed(std::string_view(text).substr(pos, end - pos));
        if (line.rfind("Board", 0) == 0) {
            const std::size_t colon = line.find(':');
            if (colon != std::string::npos)
                if (auto kHz = LeadingPositive(std::string_view(line).substr(colon + 1)))
                    t.boardKHz.push_back(*kHz);
        }
        pos = end + 1;
    }
    return t;
}

CUnitDiscovery::DeckUnitText CUnitDiscovery::ReadDeckUnitText(const std::string& text)
{
    DeckUnitText t;
    if (auto serial = RestOfLine(text, "Serial no."))
        t.serial = LeadingInteger(*serial);
    t.ethernet = RestOfLine(text, "Ethernet:").value_or(std::string());
    t.version = RestOfLine(text, "Version:").value_or(std::string());
    if (auto frequency = RestOfLine(text, "Frequency:"))
        t.frequencyKHz = LeadingPositive(*frequency);
    return t;
}

std::optional<std::array<BYTE, 6>> CUnitDiscovery::ParseEthernetAddress(const std::string& text)
{
    std::array<BYTE, 6> address{};
    std::size_t digits = 0;
    for (const char c : text) {
        const int v = CNumberText::HexDigit(c);
        if (v < 0) {
            if (c == '-' || c == ':' || c == '.' || IsBlank(c))
                continue;
            return std::nullopt;
        }
        if (digits == 12)
            return std::nullopt;
        address[digits / 2] = static_cast<BYTE>(address[digits / 2] << 4 | v);
        ++digits;
    }
    if (digits != 12)
        return std::nullopt;
    return address;
}

std::string CUnitDiscovery::HardwareAddressText(const std::array<BYTE, 6>& a)
{
    char text[18];
    std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", a[0], a[1], a[2], a[3], a[4], a[5]);
    return text;
}

// --- discovery ----------------------------------------------------------

void CUnitDiscovery::Beep(unsigned hz, unsigned ms)
{
    m_installation.Beep(hz, ms);
}

void CUnitDiscovery::Discover(WORD port, const BYTE* request, int length)
{
    if (!request || length <= 0)
        return;
    for (const NetworkAdapter& adapter : CNetworkAdapters::List()) {
        CSocket socket;
        if (!socket.Create(CSocket::Udp))
            continue;
        if (!socket.SetBroadcast(true))
            INSTALLATION_FATAL("setsockopt() failed (%d)", socket.LastError());
        if (!socket.Bind(SocketAddress(adapter.address, kLocalDiscoveryPort)))
            continue;
        const int sent =
            socket.SendTo(request, static_cast<std::size_t>(length), SocketAddress(m_broadcast, port), m_waitMs);
        if (sent < length) {
            MessageBox(0, SocketErrorText(socket.LastError()), "", MB_OK | MB_ICONERROR);
            return;
        }
        const std::string adapterText = adapter.AddressText();
        BYTE buffer[kReplyBufferSize];
        for (;;) {
            SocketAddress from;
            const int n = socket.ReceiveFrom(buffer, sizeof buffer, &from, m_waitMs);
            if (n == CSocket::kTimeout || n == CSocket::kStopped)
                break;
            if (n < 0)
                INSTALLATION_FATAL("recvfrom() failed");
            TakeAnswer(buffer, static_cast<std::size_t>(n), from.ip, adapterText);
        }
    }
}

void CUnitDiscovery::TakeAnswer(const BYTE* data, std::size_t size, std::uint32_t sender,
                                const std::string& adapterAddress)
{
    if (const auto nvu = ReadNvuVersionAnswer(data, size)) {
        // Units of that board word are recognised but not installed.
        if (nvu->information.find("KVL58", 1) != std::string::npos)
            return;
        char label[16];
        std::snprintf(label, sizeof label, "NVU %08x", nvu->serial);
        BuildNvuEntries(label, sender, nvu->information, adapterAddress);
        return;
    }
    const auto hxu = ReadHxuVersionAnswer(data, size);
    if (!hxu)
        return;
    if (hxu->errorFlag != 0) {
        Beep(1000, 2000);
        CHXU::ShowUnitError(hxu->errorText);
        return;
    }
    const SounderModel model = m_installation.GetModel();
    if (model != SounderModel::TOTAL) {
        const std::string mark = MarketSegmentMark(model);
        if (mark.empty())
            INSTALLATION_FATAL("No market segment for enumSounderType = %d", static_cast<int>(model));
        if (hxu->description.find(mark) == std::string::npos)
            return;
    }
    BuildFromTrList(hxu->description, sender, hxu->information, adapterAddress);
}

void CUnitDiscovery::QueryDeckUnit()
{
    if (!m_installation.GetEnableDeckUnit())
        return;
    std::uint32_t address = 0;
    if (!SocketAddress::ParseIp(m_installation.GetDeckUnitIp(), address))
        return;
    CSocket socket;
    if (!socket.Create(CSocket::Tcp))
        return;
    // A deck unit that does not take the connection is simply not there.
    if (socket.Connect(SocketAddress(address, kDeckUnitPort), m_waitMs) != 0)
        return;
    const Bytes start = DeckUnitStart();
    if (socket.Send(start.data(), start.size(), m_waitMs) != static_cast<int>(start.size()))
        return;
    char buffer[kReplyBufferSize];
    // A connection the unit breaks off gives no text, as silence does.
    const int n = socket.Receive(buffer, sizeof buffer, m_waitMs);
    socket.Close();
    if (n <= 0)
        return;
    const auto* nul = static_cast<const char*>(std::memchr(buffer, 0, static_cast<std::size_t>(n)));
    const std::string text(buffer, nul ? static_cast<std::size_t>(nul - buffer) : static_cast<std::size_t>(n));
    BuildGeoEntries(text, address, m_installation.GetDeckUnitIp());
}

// --- builders -----------------------------------------------------------

void CUnitDiscovery::BuildFromTrList(const std::string& description, std::uint32_t unitAddress,
                                     const std::string& information, const std::string& pcAddress)
{
    if (!m_installation.EnsureTrListLoaded())
        return;
    const int result = m_installation.TrListFile().BuildFromTrList(description, unitAddress, information, pcAddress, {},
                                                                   m_installation.ChannelList());
    if (result == CTrListFile::kUndocumentedHxu)
        app::CStatus::PostStatusMessage(app::ids::UNDOCUMENTED_HXU);
    else if (result == CTrListFile::kNotFound)
        MessageBox(0, kNotDescribed, "", MB_OK | MB_ICONEXCLAMATION);
}

void CUnitDiscovery::BuildNvuEntries(const std::string& label, std::uint32_t unitAddress,
                                     const std::string& information, const std::string& pcAddress)
{
    if (!m_installation.EnsureTrListLoaded())
        return;
    const NvuUnitText unit = ReadNvuUnitText(information);
    const std::string hwVersion = unit.embeddedRevision + " / " + unit.downloadRevision;
    auto& list = m_installation.ChannelList();
    int channelNo = 1;
    for (const double kHz : unit.boardKHz) {
        std::vector<std::unique_ptr<CTrList>> board;
        int result = CTrListFile::kNotFound;
        std::string block;
        if (kHz < 1e9) {
            block = "NVU " + std::to_string(static_cast<int>(kHz)) + " -H";
            result = m_installation.TrListFile().BuildFromTrList(block, unitAddress, information, pcAddress, {}, board);
        }
        if (result != CTrListFile::kBuilt) {
            MessageBox(0, kNotDescribed, "", MB_OK | MB_ICONEXCLAMATION);
            continue;
        }
        for (auto& e : board) {
            e->type = TransceiverType::NVU;
            e->transceiverId = label;
            e->channelNo = channelNo++;
            e->transducerSetting = block;
            e->ethernetAddress = unit.ethernet;
            e->hwVersion = hwVersion;
            e->FormatDescription(nullptr, TransceiverType::NVU);
            list.push_back(std::move(e));
        }
    }
}

void CUnitDiscovery::BuildGeoEntries(const std::string& information, std::uint32_t unitAddress,
                                     const std::string& deckUnitIp)
{
    if (!m_installation.EnsureTrListLoaded())
        return;
    const DeckUnitText unit = ReadDeckUnitText(information);
    std::vector<std::unique_ptr<CTrList>> channels;
    int result = CTrListFile::kNotFound;
    std::string block;
    if (unit.frequencyKHz && *unit.frequencyKHz < 1e9) {
        block = CNumberText::Format("GEO %.3f -H", *unit.frequencyKHz);
        result = m_installation.TrListFile().BuildFromTrList(block, unitAddress, information, deckUnitIp, {}, channels);
    }
    if (result != CTrListFile::kBuilt) {
        MessageBox(0, kNotDescribed, "", MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    // The deck unit's address as a number names the transceiver: the tow
    // fish has no label of its own.
    const std::string id = std::to_string(unitAddress);
    const std::string text = "Geo ver. " + unit.version;
    auto& list = m_installation.ChannelList();
    int channelNo = 1;
    for (auto& channel : channels) {
        // Each channel of the block serves two channels of the unit.
        for (int twin = 0; twin < 2; ++twin) {
            auto e = std::make_unique<CTrList>(*channel);
            e->type = TransceiverType::GEO;
            e->transceiverId = id;
            e->channelNo = channelNo++;
            e->transducerSetting = block;
            e->ethernetAddress = unit.ethernet;
            e->hwVersion = unit.version;
            e->SetInformation(&text);
            e->localPcIp = deckUnitIp;
            e->FormatDescription(nullptr, TransceiverType::GEO);
            list.push_back(std::move(e));
        }
    }
}

// --- address changes ------------------------------------------------------

void CUnitDiscovery::MoveEntries(std::uint32_t oldAddress, std::uint32_t newAddress, CTrList& changed)
{
    std::vector<CTrList*> moved;
    for (auto& e : m_installation.ChannelList())
        if (e && e->unitAddress == oldAddress)
            moved.push_back(e.get());
    if (std::find(moved.begin(), moved.end(), &changed) == moved.end())
        moved.push_back(&changed);
    for (CTrList* e : moved) {
        const std::string previousKey = e->description;
        e->unitAddress = newAddress;
        if (e->type == TransceiverType::HXU)
            e->FormatDescription(nullptr, e->type);
        if (e->installed && e->transducerName != "NONE")
            m_installation.RewriteChannelEntry(*e, previousKey);
    }
}

void CUnitDiscovery::ChangeHxuAddress(CTrList& entry, const std::string& typedAddress)
{
    std::uint32_t newAddress = 0;
    if (!SocketAddress::ParseIp(typedAddress, newAddress)) {
        Beep(1000, 1000);
        MessageBox(0, kInvalidAddress, "", MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    if (newAddress == entry.unitAddress)
        return;
    if (MessageBox(0, "Change the HXU IP address?", "", MB_OKCANCEL | MB_ICONQUESTION) != IDOK)
        return;
    const auto datagram = HxuAddressChange(entry.ethernetAddress, newAddress);
    if (!datagram) {
        // The unit knows itself by its Ethernet address only.
        MessageBox(0, "Invalid HXU Ethernet address ????????????", "", MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    CSocket socket;
    if (!socket.Create(CSocket::Udp))
        INSTALLATION_FATAL("socket() failed");
    if (!socket.SetBroadcast(true))
        INSTALLATION_FATAL("setsockopt() failed (%d)", socket.LastError());
    if (socket.SendTo(datagram->data(), datagram->size(), SocketAddress(m_broadcast, kUnitPort), m_waitMs) !=
        static_cast<int>(datagram->size())) {
        MessageBox(0, SocketErrorText(socket.LastError()), "", MB_OK | MB_ICONERROR);
        return;
    }
    BYTE buffer[kReplyBufferSize];
    SocketAddress from;
    const int n = socket.ReceiveFrom(buffer, sizeof buffer, &from, m_waitMs);
    socket.Close();
    if (n < 0) {
        Beep(1000, 1000);
        MessageBox(0, "No response from HXU!", "", MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    if (!ReadHxuVersionAnswer(buffer, static_cast<std::size_t>(n))) {
        Beep(1000, 1000);
        MessageBox(0, "Unrecognized response from HXU!", "", MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    if (from.ip != newAddress) {
        Beep(1000, 1000);
        MessageBox(0, "HXU was NOT programmed correctly!", "", MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    // Every channel of the unit moves with it.
    MoveEntries(entry.unitAddress, newAddress, entry);
    Beep(1000, 100);
    MessageBox(0, "HXU was  reprogrammed correctly!", "", MB_OK | MB_ICONINFORMATION);
}

void CUnitDiscovery::ChangeUnitAddress(CTrList& entry, const std::string& typedAddress)
{
    // The unit takes its address from the BOOTP server when it restarts;
    // without the server a reset would leave it with none.
    const auto& setter = m_installation.GetBootAddressSetter();
    if (!setter) {
        MessageBox(0,
                   "This unit takes its IP address from the BOOTP server, which this echosounder does not run.\n"
                   "The address is not changed.",
                   "", MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    std::uint32_t newAddress = 0;
    if (!SocketAddress::ParseIp(typedAddress, newAddress)) {
        Beep(1000, 1000);
        MessageBox(0, kInvalidAddress, "", MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    if (newAddress == entry.unitAddress)
        return;
    const auto hardware = ParseEthernetAddress(entry.ethernetAddress);
    if (!hardware) {
        MessageBox(0, "Invalid Ethernet address \"" + entry.ethernetAddress + "\"\nThe address is not changed.", "",
                   MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    if (MessageBox(0, "Change the unit IP address?", "", MB_OKCANCEL | MB_ICONQUESTION) != IDOK)
        return;
    if (!setter(HardwareAddressText(*hardware), SocketAddress::IpText(newAddress))) {
        MessageBox(0, "The BOOTP server did not take the new address.\nThe address is not changed.", "",
                   MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    const std::uint32_t oldAddress = entry.unitAddress;
    MoveEntries(oldAddress, newAddress, entry);

    CSocket socket;
    if (!socket.Create(CSocket::Udp))
        INSTALLATION_FATAL("socket() failed");
    const Bytes reset = UnitReset();
    if (socket.SendTo(reset.data(), reset.size(), SocketAddress(oldAddress, kDiscoveryPort), m_waitMs) !=
        static_cast<int>(reset.size()))
        MessageBox(0, SocketErrorText(socket.LastError()), "", MB_OK | MB_ICONERROR);
}
