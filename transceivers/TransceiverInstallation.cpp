#include "transceivers/TransceiverInstallation.h"

#include "base/EchosounderError.h"
#include "platform/MessageBox.h"
#include "platform/NetworkAdapters.h"
#include "platform/NumberText.h"
#include "transceivers/DRU.h"
#include "transceivers/UnitDiscovery.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>

namespace {

// One installation of the process is initialized at a time: the program's.
// It lets go when it goes, so a program made after it starts afresh.
std::atomic<bool> s_initializedOne{false};

const char* const kInstallationKey = "TransceiverInstallation";
const char* const kChannelsKey = "Installed Transceiver Channels";

}  // namespace

CTransceiverInstallation::CTransceiverInstallation() : m_discovery(std::make_unique<CUnitDiscovery>(*this)) {}

CTransceiverInstallation::~CTransceiverInstallation()
{
    if (m_initialized)
        s_initializedOne = false;
    if (m_installationKey) {
        m_reg.SetString(m_installationKey, "", "DeckUnitIP", m_deckUnitIp);
        m_reg.SetDword(m_installationKey, "", "EnableDeckUnit", m_enableDeckUnit);
        m_reg.CloseKey(m_installationKey);
    }
}

int CTransceiverInstallation::Row::UsedSlots() const
{
    int n = 0;
    for (const CTrList* s : slots)
        n += s != nullptr;
    return n;
}

void CTransceiverInstallation::Initialize()
{
    if (m_initialized || s_initializedOne.exchange(true))
        ECHOSOUNDER_FATAL_ERROR("Transceiver Installation initialized twice");
    m_initialized = true;
    m_installationKey = m_reg.OpenKey(CRegistrySupport::UserRootKey(), kInstallationKey, TRUE);
    if (m_installationKey) {
        m_reg.GetString(m_installationKey, "", "DeckUnitIP", m_deckUnitIp, TRUE);
        m_reg.GetDword(m_installationKey, "", "EnableDeckUnit", m_enableDeckUnit, TRUE);
    }
    Refresh();
}

HKEY CTransceiverInstallation::OpenChannelsKey()
{
    HKEY root = CRegistrySupport::UserRootKey();
    if (!root)
        return nullptr;
    std::string path = kInstallationKey;
    const std::string profile = Profile();
    if (!profile.empty())
        path += "\\" + profile;
    path += "\\";
    path += kChannelsKey;
    return m_reg.OpenKey(root, path, TRUE);
}

void CTransceiverInstallation::ReadChannelList(std::vector<std::unique_ptr<CTrList>>& list)
{
    list.clear();
    HKEY channels = OpenChannelsKey();
    if (channels) {
        std::string name;
        for (BOOL more = m_reg.EnumFirstSubKey(channels, name); more; more = m_reg.EnumSubKey(channels, name))
            list.push_back(ReadChannelEntry(name, channels));
        m_reg.CloseKey(channels);
    }
}

void CTransceiverInstallation::Refresh()
{
    m_rows = {};
    m_transceiverCount = 0;
    ReadChannelList(m_tableEntries);

    int rows = 0;
    for (const auto& e : m_tableEntries) {
        if (!e->installed)
            continue;
        bool known = false;
        for (int r = 0; r < rows; ++r)
            known = known || m_rows[static_cast<std::size_t>(r)].id == e->transceiverId;
        if (known)
            continue;
        if (rows == kMaxTransceivers)
            break;
        Row& row = m_rows[static_cast<std::size_t>(rows++)];
        row.id = e->transceiverId;
        for (const auto& other : m_tableEntries)
            if (other->installed && other->transceiverId == row.id && other->channelNo >= 1 &&
                other->channelNo <= kMaxChannels)
                row.slots[static_cast<std::size_t>(other->channelNo - 1)] = other.get();
    }
    // A row counts when it had a channel before the restriction, even if the
    // restriction leaves it none.
    int counted = 0;
    for (int r = 0; r < rows; ++r)
        counted += m_rows[static_cast<std::size_t>(r)].UsedSlots() > 0;
    if (m_restrict)
        for (int r = 0; r < rows; ++r)
            for (auto& s : m_rows[static_cast<std::size_t>(r)].slots)
                if (s && s->description != m_restrictName)
                    s = nullptr;
    m_transceiverCount = counted;
}

int CTransceiverInstallation::GetTransceiverCount()
{
    Refresh();
    return m_transceiverCount;
}

std::optional<InstalledTransceiverInfo> CTransceiverInstallation::GetTransceiverInfo(int transceiver)
{
    Refresh();
    if (transceiver < 0 || transceiver >= m_transceiverCount)
        return std::nullopt;
    InstalledTransceiverInfo info;
    for (const CTrList* e : m_rows[static_cast<std::size_t>(transceiver)].slots) {
        if (!e)
            continue;
        info.type = e->type;
        info.unitAddress = e->unitAddress;
        info.transceiverId = e->transceiverId;
        info.localPcIp = e->localPcIp;
        if (e->type == TransceiverType::DRU)
            info.cardValue = static_cast<std::uint16_t>(CNumberText::ParseLong(e->hwVersion));
        ++info.channelCount;
    }
    return info;
}

void CTransceiverInstallation::ParseNumberList(const std::string& text, double* values, int count)
{
    std::string rest = text;
    double last = 0.0;
    bool more = true;
    for (int i = 0; i < count; ++i) {
        if (more) {
            last = CNumberText::ParseDouble(rest);
            const std::size_t blank = rest.find(' ');
            if (blank == std::string::npos)
                more = false;
            else
                rest = rest.substr(blank + 1);
        }
        values[i] = last;
    }
}

std::optional<TransceiverChannelRecord> CTransceiverInstallation::GetTransceiverChannel(int transceiver, int channel)
{
    Refresh();
    if (transceiver < 0 || transceiver >= m_transceiverCount || channel < 0)
        return std::nullopt;
    int position = channel;
    for (int r = 0; r < transceiver; ++r)
        position += m_rows[static_cast<std::size_t>(r)].UsedSlots();
    if (position >= kMaxChannels)
        return std::nullopt;
    const CTrList* e = nullptr;
    int seen = 0;
    for (const CTrList* s : m_rows[static_cast<std::size_t>(transceiver)].slots) {
        if (s && seen++ == channel) {
            e = s;
            break;
        }
    }
    if (!e)
        return std::nullopt;

    TransceiverChannelRecord r;
    r.channelNo = e->channelNo;
    r.description = e->description;
    r.transducerName = e->transducerName;
    r.frequency = e->frequency;
    CNumberText::TruncateToInt(e->frequencyKHz, r.frequencyKHz);
    r.beamType = e->beamType;
    double power[3];
    ParseNumberList(e->minMedMaxTxPower, power, 3);
    r.txPower = e->txPower;
    r.txPowerMaxNominal = power[2];
    r.txPowerMin = power[0];
    r.txPowerMed = power[1];
    r.txPowerMax = power[2];
    if (power[2] > 0.0) {
        const double ratio = e->txPower / power[2];
        if (ratio < 1.0) {
            r.txPowerMin = power[0] * ratio;
            r.txPowerMed = power[1] * ratio;
            r.txPowerMax = e->txPower;
        }
    }
    ParseNumberList(e->sampleInterval, r.sampleInterval, 5);
    ParseNumberList(e->minMedMaxPulseLength, r.pulseLength, 5);
    ParseNumberList(e->gain, r.gain, 5);
    r.twoWayBeamAngle = e->twoWayBeamAngle;
    r.angleSensitivityAlongship = e->angleSensitivityAlongship;
    r.angleSensitivityAthwartship = e->angleSensitivityAthwartship;
    r.beamWidthAlongship = e->beamWidthAlongship;
    r.beamWidthAthwartship = e->beamWidthAthwartship;
    r.offsetAlongship = e->offsetAlongship;
    r.offsetAthwartship = e->offsetAthwartship;
    r.bandwidth = e->bandwidth;
    r.powerTranslationFile = e->powerTranslationFile;
    r.slave = e->slave;
    r.transducerImpedance = e->transducerImpedance;
    r.fpaDecimation = e->fpaDec;
    r.fpaFilterLength = e->fpaFilterLength;
    return r;
}

void CTransceiverInstallation::SetLocalPcIp(int transceiver, const std::string& address)
{
    Refresh();
    if (transceiver < 0 || transceiver >= m_transceiverCount)
        return;
    HKEY channels = OpenChannelsKey();
    if (!channels)
        return;
    for (CTrList* e : m_rows[static_cast<std::size_t>(transceiver)].slots)
        if (e) {
            e->localPcIp = address;
            m_reg.SetString(channels, e->description, "LocalPcIp", address);
        }
    m_reg.CloseKey(channels);
}

std::string CTransceiverInstallation::CheckNetworkCards()
{
    Refresh();
    std::string first;
    bool seen = false;
    for (int r = 0; r < m_transceiverCount; ++r)
        for (const CTrList* e : m_rows[static_cast<std::size_t>(r)].slots) {
            if (!e)
                continue;
            if (!seen) {
                first = e->localPcIp;
                seen = true;
            } else if (e->localPcIp != first) {
                MessageBox(0, "Transievers not on same Network card... Global transmitt not possible", "",
                           MB_OK | MB_ICONEXCLAMATION);
            }
        }
    return first;
}

CTransceiverInstallation::CommitResult
CTransceiverInstallation::CommitChannels(std::vector<std::unique_ptr<CTrList>>& entries, DWORD enableDeckUnit,
                                         const std::string& deckUnitIp)
{
    m_enableDeckUnit = enableDeckUnit;
    m_deckUnitIp = deckUnitIp;
    const auto chosen =
        std::count_if(entries.begin(), entries.end(), [](const auto& e) { return e && e->transducerName != "NONE"; });
    if (chosen > kMaxChannels) {
        MessageBox(0, "Max. number of transceiver channels = " + std::to_string(kMaxChannels), "",
                   MB_OK | MB_ICONEXCLAMATION);
        return kTooManyChannels;
    }
    if (MessageBox(0, "Do you really want to change the installation?", "", MB_OKCANCEL | MB_ICONQUESTION) != IDOK)
        return kCancelled;
    HKEY channels = OpenChannelsKey();
    if (!channels)
        return kCancelled;
    std::string name;
    while (m_reg.EnumFirstSubKey(channels, name))
        if (!m_reg.DeleteKey(channels, name))
            break;
    std::erase_if(entries, [](const auto& e) { return !e || e->transducerName == "NONE"; });
    for (auto& e : entries) {
        e->installed = 1;
        WriteChannelEntry(*e, channels);
    }
    m_reg.CloseKey(channels);
    Refresh();
    if (m_channelListsChanged)
        m_channelListsChanged();
    return kCommitted;
}

std::unique_ptr<CTrList> CTransceiverInstallation::ReadChannelEntry(const std::string& subKey, HKEY parent)
{
    auto e = std::make_unique<CTrList>();
    e->description = subKey;
    auto str = [&](const char* name, std::string& field) { m_reg.GetString(parent, subKey, name, field, FALSE); };
    auto dw = [&](const char* name, auto& field) {
        DWORD v = static_cast<DWORD>(field);
        if (m_reg.GetDword(parent, subKey, name, v, FALSE))
            field = static_cast<std::remove_reference_t<decltype(field)>>(v);
    };
    auto dbl = [&](const char* name, double& field) { m_reg.GetDouble(parent, subKey, name, field, FALSE); };
    str("TransceiverID", e->transceiverId);
    str("TransducerName", e->transducerName);
    str("TransducerSetting", e->transducerSetting);
    dw("HXUIPAddress", e->unitAddress);
    dw("TransceiverChannelNo", e->channelNo);
    dw("BeamType", e->beamType);
    dw("TransceiverType", e->type);
    dbl("TXPower", e->txPower);
    dbl("Frequency", e->frequency);
    str("HWversion", e->hwVersion);
    dw("MarketSegment", e->marketSegment);
    str("EthernetAddress", e->ethernetAddress);
    dbl("FrequencyKHz", e->frequencyKHz);
    str("SampleInterval", e->sampleInterval);
    str("MinMedMaxTXPower", e->minMedMaxTxPower);
    str("DRUPowerTransFileName", e->powerTranslationFile);
    str("MinMedMaxPulselength", e->minMedMaxPulseLength);
    dbl("AngleSensitivityAlongship", e->angleSensitivityAlongship);
    dbl("AngleSensitivityAthwartship", e->angleSensitivityAthwartship);
    dbl("OffsetAlongship", e->offsetAlongship);
    dbl("OffsetAthwartship", e->offsetAthwartship);
    dbl("TwoWayBeamAngle", e->twoWayBeamAngle);
    str("Gain", e->gain);
    dbl("BeamWidthAlongship", e->beamWidthAlongship);
    dbl("BeamWidthAthwartship", e->beamWidthAthwartship);
    dbl("Bandwidth", e->bandwidth);
    str("Slave", e->slave);
    dbl("FpaDec", e->fpaDec);
    double filterLength = e->fpaFilterLength;
    if (m_reg.GetDouble(parent, subKey, "FpaFlterLength", filterLength, FALSE))
        CNumberText::TruncateToInt(filterLength, e->fpaFilterLength);
    dbl("TranducerImpedance", e->transducerImpedance);
    str("LocalPcIp", e->localPcIp);
    e->installed = 1;
    return e;
}

void CTransceiverInstallation::WriteChannelEntry(const CTrList& e, HKEY parent)
{
    const std::string& k = e.description;
    m_reg.SetString(parent, k, "TransceiverID", e.transceiverId);
    m_reg.SetString(parent, k, "TransducerName", e.transducerName);
    m_reg.SetString(parent, k, "TransducerSetting", e.transducerSetting);
    m_reg.SetDword(parent, k, "HXUIPAddress", e.unitAddress);
    m_reg.SetDword(parent, k, "TransceiverChannelNo", static_cast<DWORD>(e.channelNo));
    m_reg.SetDword(parent, k, "BeamType", static_cast<DWORD>(e.beamType));
    m_reg.SetDword(parent, k, "TransceiverType", static_cast<DWORD>(e.type));
    m_reg.SetDouble(parent, k, "TXPower", e.txPower);
    m_reg.SetDouble(parent, k, "Frequency", e.frequency);
    m_reg.SetString(parent, k, "HWversion", e.hwVersion);
    m_reg.SetDword(parent, k, "MarketSegment", static_cast<DWORD>(e.marketSegment));
    m_reg.SetString(parent, k, "EthernetAddress", e.ethernetAddress);
    m_reg.SetDouble(parent, k, "FrequencyKHz", e.frequencyKHz);
    m_reg.SetString(parent, k, "SampleInterval", e.sampleInterval);
    m_reg.SetString(parent, k, "MinMedMaxTXPower", e.minMedMaxTxPower);
    m_reg.SetString(parent, k, "DRUPowerTransFileName", e.powerTranslationFile);
    m_reg.SetString(parent, k, "MinMedMaxPulselength", e.minMedMaxPulseLength);
    m_reg.SetDouble(parent, k, "AngleSensitivityAlongship", e.angleSensitivityAlongship);
    m_reg.SetDouble(parent, k, "AngleSensitivityAthwartship", e.angleSensitivityAthwartship);
    m_reg.SetDouble(parent, k, "OffsetAlongship", e.offsetAlongship);
    m_reg.SetDouble(parent, k, "OffsetAthwartship", e.offsetAthwartship);
    m_reg.SetDouble(parent, k, "TwoWayBeamAngle", e.twoWayBeamAngle);
    m_reg.SetString(parent, k, "Gain", e.gain);
    m_reg.SetDouble(parent, k, "BeamWidthAlongship", e.beamWidthAlongship);
    m_reg.SetDouble(parent, k, "BeamWidthAthwartship", e.beamWidthAthwartship);
    m_reg.SetDouble(parent, k, "Bandwidth", e.bandwidth);
    m_reg.SetString(parent, k, "Slave", e.slave);
    m_reg.SetDouble(parent, k, "FpaDec", e.fpaDec);
    m_reg.SetDouble(parent, k, "FpaFlterLength", e.fpaFilterLength);
    m_reg.SetDouble(parent, k, "TranducerImpedance", e.transducerImpedance);
    m_reg.SetString(parent, k, "LocalPcIp", e.localPcIp);
}

bool CTransceiverInstallation::EnsureTrListLoaded()
{
    if (m_trList.IsLoaded())
        return true;
    if (!m_trList.LoadTrListText(m_trListPath)) {
        MessageBox(0, "Missing TrList.ini file in TrList path", "", MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    return m_trList.IsLoaded();
}

void CTransceiverInstallation::RewriteChannelEntry(const CTrList& entry, const std::string& previousKey)
{
    HKEY channels = OpenChannelsKey();
    if (!channels)
        return;
    if (previousKey != entry.description && !previousKey.empty())
        m_reg.DeleteKey(channels, previousKey);
    WriteChannelEntry(entry, channels);
    m_reg.CloseKey(channels);
}

std::string CTransceiverInstallation::MaskedAddressText(std::uint32_t address)
{
    const unsigned a = address >> 24, b = address >> 16 & 0xFF, c = address >> 8 & 0xFF;
    char text[32];
    if (a < 128)
        std::snprintf(text, sizeof text, "%u.xxx.xxx.xxx", a);
    else if (a < 192)
        std::snprintf(text, sizeof text, "%u.%u.xxx.xxx", a, b);
    else
        std::snprintf(text, sizeof text, "%u.%u.%u.xxx", a, b, c);
    return text;
}

std::string CTransceiverInstallation::CardCodeText() const
{
    char text[8];
    std::snprintf(text, sizeof text, "%03d", static_cast<int>(m_cardCode));
    return text;
}

std::string CTransceiverInstallation::ProbeCard()
{
    m_cardPresent = false;
    WORD code = 0;
    DWORD io = 0, dma = 0, irq = 0;
    if (!CDRU::ReadDriverParameters(&code, &io, &dma, &irq))
        return {};
    if (m_model != SounderModel::TOTAL) {
        const int segment = MarketSegment(m_model);
        if (segment < 0)
            ECHOSOUNDER_FATAL_ERROR("No market segment for enumSounderType = %d", static_cast<int>(m_model));
        if ((code & 3) != segment)
            return {};
    }
    m_cardPresent = true;
    m_cardCode = code;
    m_cardIoAddress = io;
    m_cardDmaChannel = dma;
    m_cardIrq = irq;
    std::string mapped = CardCodeText();
    if (!m_trList.ReadMapping(mapped))
        return {};
    return mapped;
}

void CTransceiverInstallation::RunInstallation(int mode)
{
    m_mode = mode;
    m_channelList.clear();
    // The list is read before the card's code word is looked up in it, so
    // that the first installation of a run finds the card's transceiver as
    // every later one does.
    EnsureTrListLoaded();
    const std::string mapped = ProbeCard();

    ReadChannelList(m_channelList);
    const std::size_t registryEntries = m_channelList.size();
    int keptCardEntries = 0;
    if (m_cardPresent) {
        std::erase_if(m_channelList, [&](const std::unique_ptr<CTrList>& e) {
            return e->type == TransceiverType::DRU && !mapped.empty() && e->transceiverId != mapped;
        });
        keptCardEntries = static_cast<int>(std::count_if(
            m_channelList.begin(), m_channelList.end(), [](const auto& e) { return e->type == TransceiverType::DRU; }));
    }
    const std::size_t firstCandidate = m_channelList.size();
    if (m_cardPresent && keptCardEntries < 2) {
        const CTrListFile::CardInfo card{static_cast<int>(m_cardIoAddress), static_cast<int>(m_cardDmaChannel),
                                         static_cast<int>(m_cardIrq)};
        if (m_trList.BuildFromTrList(CardCodeText(), 0, "", "", card, m_channelList) != CTrListFile::kBuilt)
            MessageBox(0, "Sorry,transceiver description not found!", "", MB_OK | MB_ICONEXCLAMATION);
    }

    // No wait cursor: the core has none to show, and the dialog's own
    // windows are not open yet.
    if (m_enableDeckUnit)
        m_discovery->QueryDeckUnit();
    if (m_model == SounderModel::QYNVU) {
        const auto request = CUnitDiscovery::NvuVersionRequest();
        m_discovery->Discover(kDiscoveryPort, request.data(), static_cast<int>(request.size()));
    } else if (m_model == SounderModel::QY210 || m_model == SounderModel::QY310) {
        const auto request = CUnitDiscovery::HxuVersionRequest();
        m_discovery->Discover(kUnitPort, request.data(), static_cast<int>(request.size()));
    }

    // Every candidate answered (or is the card found); installed entries
    // are found when a candidate is the same channel, which then goes, so
    // that each channel is listed once.
    for (std::size_t i = firstCandidate; i < m_channelList.size(); ++i)
        m_channelList[i]->found = 1;
    if (registryEntries > 0) {
        for (auto& installed : m_channelList) {
            if (!installed->installed)
                continue;
            installed->found = 0;
            for (auto& candidate : m_channelList) {
                if (candidate->installed || candidate->remove)
                    continue;
                if (candidate->transducerSetting == installed->transducerSetting &&
                    candidate->transceiverId == installed->transceiverId &&
                    candidate->channelNo == installed->channelNo) {
                    installed->localPcIp = candidate->localPcIp;
                    installed->information = candidate->information;
                    installed->found = 1;
                    candidate->remove = 1;
                }
            }
        }
        std::erase_if(m_channelList, [](const std::unique_ptr<CTrList>& e) { return e->remove != 0; });
    }

    const auto adapters = CNetworkAdapters::List();
    m_maskedPcAddress = adapters.empty() ? std::string() : MaskedAddressText(adapters.front().address);
    if (m_dialog)
        m_dialog(*this);
}

void CTransceiverInstallation::ChangeUnitAddress(CTrList& entry, const std::string& typedAddress)
{
    switch (entry.type) {
    case TransceiverType::HXU:
        m_discovery->ChangeHxuAddress(entry, typedAddress);
        break;
    case TransceiverType::NVU:
    case TransceiverType::QY42:
    case TransceiverType::GEO:
        m_discovery->ChangeUnitAddress(entry, typedAddress);
        break;
    default:
        break;
    }
}
