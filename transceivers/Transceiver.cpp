#include "transceivers/Transceiver.h"

#include "base/RegistrySupport.h"
#include "engine/Channel.h"
#include "engine/ChannelParameters.h"
#include "platform/ByteReader.h"
#include "platform/ByteWriter.h"
#include "sensors/TrawlSource.h"
#include "transceivers/TransceiverOwner.h"
#include "transceivers/TransceiverServices.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>

namespace {

// A channel's settings file: i32 transceiver mode, f64 pulse length,
// f64 transmit power.
constexpr std::size_t kSettingsFileSize = 20;

// Entries of the pulse-length table before the first repeat (5 when none
// repeats): the trailing repeats only mark the end of the table.
int PulseTableLength(const double* table)
{
    for (int i = 1; i < 5; ++i)
        if (table[i] == table[i - 1])
            return i;
    return 5;
}

}  // namespace

CTransceiver::CTransceiver() = default;

CTransceiver::CTransceiver(IChannelLinks* channelLinks) : CTransceiver(nullptr, channelLinks) {}

CTransceiver::CTransceiver(ITransceiverServices& services) : CTransceiver(&services, services.ChannelLinks()) {}

CTransceiver::CTransceiver(ITransceiverServices* services, IChannelLinks* channelLinks)
    : m_services(services), m_channelLinks(channelLinks)
{}

CTransceiver::~CTransceiver() = default;

CChannel* CTransceiver::GetChannelId(int index) const
{
    if (index < 0 || index >= GetChannelCount())
        return nullptr;
    return m_channels[static_cast<std::size_t>(index)]->channel;
}

CTransceiver::StructChannelParameters* CTransceiver::FindRecord(const CChannel* channel) const
{
    if (!channel)
        return nullptr;
    for (StructChannelParameters* r : m_channels)
        if (r->channel == channel)
            return r;
    return nullptr;
}

std::string CTransceiver::GetChannelName(const CChannel* channel) const
{
    const StructChannelParameters* r = FindRecord(channel);
    return r ? r->transducerLabel : std::string();
}

int CTransceiver::GetChannelParameters(const CChannel* channel, std::string& description, std::string& channelName,
                                       double& frequency, double& gain, double& twoWayBeamAngle, double& bandwidth,
                                       double& beamWidthAlongship, double& beamWidthAthwartship,
                                       double& angleSensitivityAlongship, double& angleSensitivityAthwartship,
                                       double& angleOffsetAlongship, double& angleOffsetAthwartship, int& beamType,
                                       double& soundVelocity, double& temperature) const
{
    const StructChannelParameters* r = FindRecord(channel);
    if (!r)
        return 0;
    description = r->description;
    channelName = r->channelName;
    frequency = r->frequency;
    gain = r->gain;
    twoWayBeamAngle = r->twoWayBeamAngle;
    bandwidth = r->bandwidth;
    beamWidthAlongship = r->beamWidthAlongship;
    beamWidthAthwartship = r->beamWidthAthwartship;
    angleSensitivityAlongship = r->angleSensitivityAlongship;
    angleSensitivityAthwartship = r->angleSensitivityAthwartship;
    angleOffsetAlongship = r->angleOffsetAlongship;
    angleOffsetAthwartship = r->angleOffsetAthwartship;
    beamType = r->beamType;
    soundVelocity = m_soundVelocity;
    temperature = m_temperature ? m_temperature->GetTemperature() : 0.0;
    return 1;
}

int CTransceiver::GetChannelValues(const CChannel* channel, double& pulseLength, double& txPower, double& gain,
                                   double& transducerDepth) const
{
    const StructChannelParameters* r = FindRecord(channel);
    if (!r)
        return 0;
    pulseLength = r->pulseLength;
    txPower = r->txPower;
    gain = r->gain;
    transducerDepth = r->transducerDepth;
    return 1;
}

void CTransceiver::SetChannelParameters(const CChannel* channel, const ChannelParameters& p)
{
    StructChannelParameters* r = FindRecord(channel);
    if (!r)
        return;
    r->pulseLength = p.PulseLength;
    r->txPower = p.TransmitPower;
    r->fmPulse = p.FmPulse;
    r->fmPulseLength = p.FmPulseLength;
    r->fmResolutionLength = p.FmResolutionLength;
    r->resolutionLength = p.ResolutionLength;
    r->cwResolutionLength = p.CwResolutionLength;
    r->doubleSampleRate = p.DoubleSampleRate;
}

void CTransceiver::SetAllChannelsPassive()
{
    for (StructChannelParameters* r : m_channels)
        r->transceiverMode = kPassive;
}

void CTransceiver::SetChannelMode(CChannel* channel, int mode)
{
    StructChannelParameters* r = FindRecord(channel);
    if (!r)
        return;
    r->transceiverMode = mode;
    ChannelParameters p = channel->GetNextParameters();
    p.TransceiverMode = mode;
    channel->SetChannelParameters(p);
}

void CTransceiver::SetChannelPassive(int index)
{
    if (index >= 0 && index < GetChannelCount())
        m_channels[static_cast<std::size_t>(index)]->transceiverMode = kPassive;
}

double CTransceiver::GetMaxChannelValue() const
{
    double largest = 0.0;
    for (const StructChannelParameters* r : m_channels)
        if (r->channel)
            largest = std::max(largest, r->channel->GetBottomDepth());
    return largest;
}

int CTransceiver::FindTableIndex(double value, const double* table, int count)
{
    if (count <= 0)
        return 0;
    int i = 0;
    while (i < count && !(value <= table[i]))
        ++i;
    if (i == 0)
        return 0;
    if (i == count)
        return count - 1;
    const double d1 = value - table[i - 1];
    const double d2 = table[i] - value;
    return d1 < d2 ? i - 1 : i;
}

void CTransceiver::RequestNextPing()
{
    ITransceiverOwner* owner = m_echoSounder.load();
    const bool stepping = owner && owner->GetRateMode() == 1;
    if (GetTypeCode() != TransceiverType::HXU && !stepping) {
        SetPingRequest(1);
        return;
    }
    m_pingConsumed = 1;
    SetPingRequest(1);
}

void CTransceiver::RequestPosition(int position)
{
    m_requestedPosition = position;
    m_positionPending = true;
}

bool CTransceiver::TakeRequestedPosition(int& position)
{
    if (!m_positionPending.exchange(false))
        return false;
    position = m_requestedPosition.load();
    return true;
}

void CTransceiver::GetTrawlHeader(std::uint32_t words[8]) const
{
    TrawlRecord trawl;
    if (m_services)
        m_services->Trawl().GetTrawlData(trawl);
    std::fill_n(words, 8, 0u);
    CByteWriter w(words, 8 * sizeof(std::uint32_t));
    w.I32(0, trawl.depthState);
    w.F64(8, trawl.depth);
    w.I32(16, trawl.openingState);
    w.F64(24, trawl.opening);
}

void CTransceiver::ApplyPingerPulseLength(StructChannelParameters& r) const
{
    const std::optional<double> pinger = m_services ? m_services->GetPingerPulseLength() : std::nullopt;
    if (!pinger)
        return;
    const int i = FindTableIndex(*pinger / 2000.0, r.pulseLengthTable, 4);
    r.pulseLength = r.pulseLengthTable[i];
}

void CTransceiver::ReadChannelSettings(StructChannelParameters& r)
{
    if (!r.key)
        return;
    CRegistrySupport reg;
    DWORD dw = static_cast<DWORD>(r.transceiverMode);
    reg.GetDword(r.key, "", "enumTransceiverMode", dw, TRUE);
    r.transceiverMode = static_cast<int>(dw);
    r.pulseLength = r.pulseLengthTable[PulseTableLength(r.pulseLengthTable) / 2];
    reg.GetDouble(r.key, "", "PulseLength", r.pulseLength, TRUE);
    ApplyPingerPulseLength(r);
    r.txPower = r.maxPower;
    reg.GetDouble(r.key, "", "TxPower", r.txPower, TRUE);
    r.transducerDepth = r.transducerZ = r.transducerX = r.transducerY = 0.0;
    r.transducerRoll = -180.0;
    r.transducerPitch = r.transducerAzimuth = 0.0;
    reg.GetDouble(r.key, "", "TransducerDepth", r.transducerDepth, TRUE);
    reg.GetDouble(r.key, "", "TransducerZ", r.transducerZ, TRUE);
    reg.GetDouble(r.key, "", "TransducerX", r.transducerX, TRUE);
    reg.GetDouble(r.key, "", "TransducerY", r.transducerY, TRUE);
    reg.GetDouble(r.key, "", "TransducerRoll", r.transducerRoll, TRUE);
    reg.GetDouble(r.key, "", "TransducerPitch", r.transducerPitch, TRUE);
    reg.GetDouble(r.key, "", "TransducerAzimuth", r.transducerAzimuth, TRUE);
    r.transducerZMinusDepth = r.transducerZ - r.transducerDepth;
    r.transducerLabel.clear();
    reg.GetString(r.key, "", "TransducerLabel", r.transducerLabel, TRUE);
    r.fixedDraft = r.variableDraft = 0.0;
    reg.GetDouble(r.key, "", "TrFixedDraft", r.fixedDraft, TRUE);
    reg.GetDouble(r.key, "", "TrVariableDraft", r.variableDraft, TRUE);
    r.fmPulse = 0;
    // Only the wide-band model's channels offer FM pulses.
    if (m_services && m_services->GetModel() == SounderModel::QYNVU) {
        dw = 0;
        reg.GetDword(r.key, "", "bFMpulse", dw, TRUE);
        r.fmPulse = static_cast<int>(dw);
    }
    r.fmPulseLength = r.fmResolutionLength = 0.0;
    reg.GetDouble(r.key, "", "FmPulseLength", r.fmPulseLength, TRUE);
    reg.GetDouble(r.key, "", "FmResolutionLength", r.fmResolutionLength, TRUE);
    dw = 0;
    reg.GetDword(r.key, "", "DoubleSampleRate", dw, TRUE);
    r.doubleSampleRate = static_cast<int>(dw);
    r.cwResolutionLength = r.resolutionLength = 1.0;
    reg.GetDouble(r.key, "", "CWResolutionLength", r.cwResolutionLength, TRUE);
    reg.GetDouble(r.key, "", "ResolutionLength", r.resolutionLength, TRUE);
    dw = 0;
    reg.GetDword(r.key, "", "FilterType", dw, TRUE);
    r.filterType = static_cast<int>(dw);
}

std::string CTransceiver::SettingsFileName(const std::string& folder, const std::string& channelName)
{
    std::string name = channelName;
    for (char& c : name)
        if (std::strchr("/\\:*?\"<>|", c) && c != '\0')
            c = '_';
    std::string path = folder;
    if (!path.empty() && path.back() != '/')
        path += '/';
    return path + name + "_T.sav";
}

namespace {

// The values an operator chooses per channel, kept below "User".
struct UserValue
{
    const char* name;
    enum Kind { Double, Dword, String } kind;
    double CTransceiver::StructChannelParameters::*d = nullptr;
    int CTransceiver::StructChannelParameters::*i = nullptr;
    std::string CTransceiver::StructChannelParameters::*s = nullptr;
};

using R = CTransceiver::StructChannelParameters;
const UserValue kUserValues[] = {
    {"TransducerDepth", UserValue::Double, &R::transducerDepth},
    {"TransducerZ", UserValue::Double, &R::transducerZ},
    {"TransducerX", UserValue::Double, &R::transducerX},
    {"TransducerY", UserValue::Double, &R::transducerY},
    {"TransducerRoll", UserValue::Double, &R::transducerRoll},
    {"TransducerPitch", UserValue::Double, &R::transducerPitch},
    {"TransducerAzimuth", UserValue::Double, &R::transducerAzimuth},
    {"TransducerLabel", UserValue::String, nullptr, nullptr, &R::transducerLabel},
    {"TrFixedDraft", UserValue::Double, &R::fixedDraft},
    {"TrVariableDraft", UserValue::Double, &R::variableDraft},
    {"bFMpulse", UserValue::Dword, nullptr, &R::fmPulse},
    {"FmPulseLength", UserValue::Double, &R::fmPulseLength},
    {"FmResolutionLength", UserValue::Double, &R::fmResolutionLength},
    {"DoubleSampleRate", UserValue::Dword, nullptr, &R::doubleSampleRate},
    {"ResolutionLength", UserValue::Double, &R::resolutionLength},
    {"CWResolutionLength", UserValue::Double, &R::cwResolutionLength},
    {"FilterType", UserValue::Dword, nullptr, &R::filterType},
};

}  // namespace

void CTransceiver::SaveChannelSettings()
{
    if (!m_key)
        return;
    CRegistrySupport reg;
    for (StructChannelParameters* r : m_channels) {
        std::array<unsigned char, kSettingsFileSize> bytes{};
        CByteWriter w(bytes);
        w.I32(0, r->transceiverMode);
        w.F64(4, r->pulseLength);
        w.F64(12, r->txPower);
        std::ofstream out(SettingsFileName(m_settingsFolder, r->channelName), std::ios::binary | std::ios::trunc);
        if (!out)
            return;
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out)
            return;
        if (!r->key)
            continue;
        for (const UserValue& v : kUserValues) {
            if (v.kind == UserValue::Double)
                reg.SetDouble(r->key, "User", v.name, r->*(v.d));
            else if (v.kind == UserValue::Dword)
                reg.SetDword(r->key, "User", v.name, static_cast<DWORD>(r->*(v.i)));
            else
                reg.SetString(r->key, "User", v.name, r->*(v.s));
        }
    }
}

int CTransceiver::LoadChannelSettings()
{
    if (!m_key)
        return 0;
    CRegistrySupport reg;
    for (StructChannelParameters* r : m_channels) {
        std::ifstream in(SettingsFileName(m_settingsFolder, r->channelName), std::ios::binary);
        if (in) {
            const std::vector<unsigned char> bytes{std::istreambuf_iterator<char>(in),
                                                   std::istreambuf_iterator<char>()};
            // Only a whole record is taken; a short file keeps what the
            // channel had.
            if (bytes.size() == kSettingsFileSize) {
                CByteReader b(bytes.data(), bytes.size());
                r->transceiverMode = b.I32(0);
                r->pulseLength = b.F64(4);
                r->txPower = b.F64(12);
                ApplyPingerPulseLength(*r);
                if (r->key) {
                    reg.SetDword(r->key, "", "enumTransceiverMode", static_cast<DWORD>(r->transceiverMode));
                    reg.SetDouble(r->key, "", "PulseLength", r->pulseLength);
                    reg.SetDouble(r->key, "", "TxPower", r->txPower);
                }
            }
        }
        if (!r->key)
            continue;
        for (const UserValue& v : kUserValues) {
            if (v.kind == UserValue::Double) {
                reg.GetDouble(r->key, "User", v.name, r->*(v.d), FALSE);
                reg.SetDouble(r->key, "", v.name, r->*(v.d));
            } else if (v.kind == UserValue::Dword) {
                DWORD dw = static_cast<DWORD>(r->*(v.i));
                reg.GetDword(r->key, "User", v.name, dw, FALSE);
                r->*(v.i) = static_cast<int>(dw);
                reg.SetDword(r->key, "", v.name, dw);
            } else {
                reg.GetString(r->key, "User", v.name, r->*(v.s), FALSE);
                reg.SetString(r->key, "", v.name, r->*(v.s));
            }
        }
    }
    return 1;
}
