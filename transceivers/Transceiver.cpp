#include "transceivers/Transceiver.h"

#include "base/AppIds.h"
#include "base/ModalSession.h"
#include "base/RegistrySupport.h"
#include "base/StateFileReport.h"
#include "base/StringTable.h"
#include "engine/Channel.h"
#include "engine/ChannelParameters.h"
#include "platform/ByteReader.h"
#include "platform/ByteWriter.h"
#include "platform/EventLog.h"
#include "platform/MessageDispatcher.h"
#include "platform/NumberText.h"
#include "sensors/TrawlSource.h"
#include "transceivers/TransceiverDialogs.h"
#include "transceivers/TransceiverOwner.h"
#include "transceivers/TransceiverServices.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <optional>
#include <utility>

namespace {

// A pulse length beyond this (seconds) is no pulse of any unit, and the
// sample-count conversions it feeds could not hold it.
constexpr double kMaxStoredPulseLength = 1.0;
// Transmit power (W) and the resolution lengths: beyond this no value is
// meant, and the transmit amplitude's conversion could not hold it.
constexpr double kMaxStoredNumber = 1e6;
// Offsets and drafts are taken as typed, whatever their size, when finite.
constexpr double kAnyFinite = std::numeric_limits<double>::max();

// A stored number that is not finite, or beyond what the code using it can
// convert, is taken as its default; the event log says which and what.
double CheckedStored(const char* key, double value, double fallback, double limit)
{
    if (std::isfinite(value) && std::fabs(value) <= limit)
        return value;
    if (HEVENTSOURCE log = RegisterEventSource("Ostrival")) {
        ReportEvent(log, EVENTLOG_WARNING_TYPE, 0, 0,
                    {std::string("Stored channel setting ") + key + " = " + CNumberText::Format("%g", value) +
                     " is not usable; its default " + CNumberText::Format("%g", fallback) + " is taken"});
        DeregisterEventSource(log);
    }
    return fallback;
}

// Reads a stored double over its default (kept when the value is absent or
// not usable).
void ReadStoredDouble(HKEY key, const char* subkey, const char* name, double& value, double limit = kMaxStoredNumber)
{
    const double fallback = value;
    CRegistrySupport().GetDouble(key, subkey, name, value, TRUE);
    value = CheckedStored(name, value, fallback, limit);
}

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

CTransceiver::~CTransceiver()
{
    // A dialog still open on a channel of this transceiver returns -1 to its
    // caller, which touches nothing of it after that.
    CModalSession::EndAll(m_channelDialog);
    CModalSession::EndAll(m_advancedDialog);
    if (m_modeless) {
        m_modeless->EndDialog(4);
        m_modeless.reset();
    }
}

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
    if (!r)
        return {};
    std::lock_guard<std::mutex> lock(m_recordLock);
    return r->transducerLabel;
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
    std::lock_guard<std::mutex> lock(m_recordLock);
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

double CTransceiver::GetMaxPower(const CChannel* channel) const
{
    const StructChannelParameters* r = FindRecord(channel);
    if (!r)
        return 0.0;
    std::lock_guard<std::mutex> lock(m_recordLock);
    double largest = 0.0;
    for (double step : r->powerSteps)
        largest = std::max(largest, step);
    return largest > 0.0 ? largest : r->maxPower;
}

int CTransceiver::GetChannelValues(const CChannel* channel, double& pulseLength, double& txPower, double& gain,
                                   double& transducerDepth) const
{
    const StructChannelParameters* r = FindRecord(channel);
    if (!r)
        return 0;
    std::lock_guard<std::mutex> lock(m_recordLock);
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
    std::lock_guard<std::mutex> lock(m_recordLock);
    // New values reach the unit with a new transmit set-up, by whatever road
    // they came; also a value handed back that a dialog had changed a moment
    // before, which the next refresh hands over again.
    if (r->pulseLength != p.PulseLength || r->txPower != p.TransmitPower || r->fmPulse != p.FmPulse ||
        r->fmPulseLength != p.FmPulseLength || r->fmResolutionLength != p.FmResolutionLength ||
        r->resolutionLength != p.ResolutionLength || r->cwResolutionLength != p.CwResolutionLength ||
        r->doubleSampleRate != p.DoubleSampleRate)
        r->changed = true;
    r->pulseLength = p.PulseLength;
    r->txPower = p.TransmitPower;
    r->fmPulse = p.FmPulse;
    r->fmPulseLength = p.FmPulseLength;
    r->fmResolutionLength = p.FmResolutionLength;
    r->resolutionLength = p.ResolutionLength;
    r->cwResolutionLength = p.CwResolutionLength;
    r->doubleSampleRate = p.DoubleSampleRate;
}

void CTransceiver::MarkChannelsChanged()
{
    std::lock_guard<std::mutex> lock(m_recordLock);
    for (StructChannelParameters* r : m_channels)
        r->changed = true;
}

void CTransceiver::SetAllChannelsPassive()
{
    std::lock_guard<std::mutex> lock(m_recordLock);
    for (StructChannelParameters* r : m_channels) {
        r->changed = r->changed || r->transceiverMode != kPassive;
        r->transceiverMode = kPassive;
    }
}

void CTransceiver::SetChannelMode(CChannel* channel, int mode)
{
    StructChannelParameters* r = FindRecord(channel);
    if (!r)
        return;
    {
        std::lock_guard<std::mutex> lock(m_recordLock);
        r->changed = r->changed || r->transceiverMode != mode;
        r->transceiverMode = mode;
    }
    ChannelParameters p = channel->GetNextParameters();
    p.TransceiverMode = mode;
    channel->SetChannelParameters(p);
}

void CTransceiver::SetChannelPassive(int index)
{
    if (index < 0 || index >= GetChannelCount())
        return;
    std::lock_guard<std::mutex> lock(m_recordLock);
    StructChannelParameters* r = m_channels[static_cast<std::size_t>(index)];
    r->changed = r->changed || r->transceiverMode != kPassive;
    r->transceiverMode = kPassive;
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

double CTransceiver::SelectSampleInterval(const StructChannelParameters& r)
{
    int best = 0;
    double bestDistance = std::min(std::abs(r.pulseLength - r.pulseLengthTable[0]), 1000.0);
    for (int i = 1; i < 5; ++i) {
        const double d = std::abs(r.pulseLength - r.pulseLengthTable[i]);
        if (d < bestDistance) {
            bestDistance = d;
            best = i;
        }
    }
    return r.capability.sampleInterval[best];
}

double CTransceiver::SensitivityFactor(double a, double b)
{
    if (a + b == 0.0)
        return 0.0;
    const double share = 2.0 * a / (a + b);
    return share * share * b;
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

std::unique_ptr<CTransceiver::StructChannelParameters>
CTransceiver::MakeChannelRecord(const TransceiverChannelRecord& cap, int channelNumber, const std::string& description,
                                double absorption, HKEY unitKey)
{
    auto r = std::make_unique<StructChannelParameters>();
    r->capability = cap;
    r->channelNumber = channelNumber;
    r->description = description;
    r->frequency = cap.frequency;
    r->maxPower = cap.txPowerMax;
    std::copy(std::begin(cap.pulseLength), std::end(cap.pulseLength), r->pulseLengthTable);
    std::copy(std::begin(cap.gain), std::end(cap.gain), r->gainTable);
    r->twoWayBeamAngle = cap.twoWayBeamAngle;
    r->bandwidth = cap.bandwidth;
    r->angleSensitivityAlongship = cap.angleSensitivityAlongship;
    r->angleSensitivityAthwartship = cap.angleSensitivityAthwartship;
    r->beamWidthAlongship = cap.beamWidthAlongship;
    r->beamWidthAthwartship = cap.beamWidthAthwartship;
    r->angleOffsetAlongship = cap.offsetAlongship;
    r->angleOffsetAthwartship = cap.offsetAthwartship;
    r->beamType = cap.beamType;
    for (int k = 0; k < 10; ++k)
        r->powerSteps[k] = cap.txPowerMax * (k + 1) / 10.0;
    r->absorption = absorption;
    r->channelName = cap.description.empty() ? r->description : cap.description;
    if (unitKey != nullptr) {
        HKEY channelKey = nullptr;
        if (RegCreateKeyEx(unitKey, r->channelName.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &channelKey,
                           nullptr) == ERROR_SUCCESS)
            r->key = channelKey;
    }
    // Values for a channel that has none stored yet.
    r->pulseLength = r->pulseLengthTable[0];
    r->txPower = r->maxPower;
    ReadChannelSettings(*r);
    r->gain = r->gain2 = r->gainTable[FindTableIndex(r->pulseLength, r->pulseLengthTable, 4)];
    r->sampleInterval = SelectSampleInterval(*r);
    r->sampleDistance = r->sampleInterval * m_soundVelocity * 0.5;
    return r;
}

std::string CTransceiver::KiloHertzName(const TransceiverChannelRecord& cap)
{
    const int kHz = cap.frequencyKHz > 0 ? cap.frequencyKHz : static_cast<int>(cap.frequency / 1000.0);
    return std::to_string(kHz) + " kHz";
}

std::unique_ptr<CChannel> CTransceiver::MakeChannel(const StructChannelParameters& r, int channelId)
{
    CChannel::Construction c;
    c.Transceiver = this;
    c.ChannelId = channelId;
    c.Frequency = r.frequency;
    c.ChannelName = r.channelName;
    c.SourceName = r.channelName;
    c.StandardParts = true;
    c.Links = ChannelLinks();
    c.BeamType = r.beamType;
    c.BeamWidthAlongship = r.beamWidthAlongship;
    c.BeamWidthAthwartship = r.beamWidthAthwartship;
    c.AngleSensitivityAlongship = r.angleSensitivityAlongship;
    c.AngleSensitivityAthwartship = r.angleSensitivityAthwartship;
    c.AngleOffsetAlongship = r.angleOffsetAlongship;
    c.AngleOffsetAthwartship = r.angleOffsetAthwartship;
    c.Parameters.PulseLength = r.pulseLength;
    c.Parameters.TransmitPower = r.txPower;
    c.Parameters.SampleDistance = r.sampleDistance;
    c.Parameters.SampleInterval = r.sampleInterval;
    c.Parameters.Gain = r.gain;
    c.Parameters.TwoWayBeamAngle = r.twoWayBeamAngle;
    c.Parameters.Bandwidth = r.bandwidth;
    c.Parameters.Absorption = r.absorption;
    c.Parameters.TransceiverMode = r.transceiverMode;
    c.Parameters.FilterType = r.filterType;
    return std::make_unique<CChannel>(c);
}

void CTransceiver::TakeSoundVelocity()
{
    if (!m_services)
        return;
    if (const std::optional<double> v = m_services->GetSoundVelocity(); v && std::isfinite(*v) && *v > 0.0)
        m_soundVelocity = *v;
}

std::optional<double> CTransceiver::EnvironmentAbsorption(double frequency) const
{
    if (!m_services)
        return std::nullopt;
    if (const std::optional<double> a = m_services->GetAbsorption(frequency); a && std::isfinite(*a) && *a >= 0.0)
        return a;
    return std::nullopt;
}

void CTransceiver::HandPingValues(StructChannelParameters& stored, const StructChannelParameters& ping,
                                  CChannel& channel)
{
    {
        const auto lock = LockRecords();
        stored.absorption = ping.absorption;
    }
    ChannelParameters p = channel.GetNextParameters();
    if (p.Absorption != ping.absorption || p.SampleDistance != ping.sampleDistance ||
        p.SampleInterval != ping.sampleInterval) {
        p.Absorption = ping.absorption;
        p.SampleDistance = ping.sampleDistance;
        p.SampleInterval = ping.sampleInterval;
        channel.SetChannelParameters(p);
    }
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
    const double defaultPulseLength = r.pulseLengthTable[PulseTableLength(r.pulseLengthTable) / 2];
    r.pulseLength = defaultPulseLength;
    reg.GetDouble(r.key, "", "PulseLength", r.pulseLength, TRUE);
    r.pulseLength = CheckedStored("PulseLength", r.pulseLength, defaultPulseLength, kMaxStoredPulseLength);
    ApplyPingerPulseLength(r);
    r.txPower = r.maxPower;
    reg.GetDouble(r.key, "", "TxPower", r.txPower, TRUE);
    r.txPower = CheckedStored("TxPower", r.txPower, r.maxPower, kMaxStoredNumber);
    r.transducerDepth = r.transducerZ = r.transducerX = r.transducerY = 0.0;
    r.transducerRoll = -180.0;
    r.transducerPitch = r.transducerAzimuth = 0.0;
    ReadStoredDouble(r.key, "", "TransducerDepth", r.transducerDepth, kAnyFinite);
    ReadStoredDouble(r.key, "", "TransducerZ", r.transducerZ, kAnyFinite);
    ReadStoredDouble(r.key, "", "TransducerX", r.transducerX, kAnyFinite);
    ReadStoredDouble(r.key, "", "TransducerY", r.transducerY, kAnyFinite);
    ReadStoredDouble(r.key, "", "TransducerRoll", r.transducerRoll, kAnyFinite);
    ReadStoredDouble(r.key, "", "TransducerPitch", r.transducerPitch, kAnyFinite);
    ReadStoredDouble(r.key, "", "TransducerAzimuth", r.transducerAzimuth, kAnyFinite);
    r.transducerZMinusDepth = r.transducerZ - r.transducerDepth;
    r.transducerLabel.clear();
    reg.GetString(r.key, "", "TransducerLabel", r.transducerLabel, TRUE);
    r.fixedDraft = r.variableDraft = 0.0;
    ReadStoredDouble(r.key, "", "TrFixedDraft", r.fixedDraft, kAnyFinite);
    ReadStoredDouble(r.key, "", "TrVariableDraft", r.variableDraft, kAnyFinite);
    r.fmPulse = 0;
    // Only the wide-band model's channels offer FM pulses.
    if (m_services && m_services->GetModel() == SounderModel::QYNVU) {
        dw = 0;
        reg.GetDword(r.key, "", "bFMpulse", dw, TRUE);
        r.fmPulse = static_cast<int>(dw);
    }
    r.fmPulseLength = r.fmResolutionLength = 0.0;
    ReadStoredDouble(r.key, "", "FmPulseLength", r.fmPulseLength, kMaxStoredPulseLength);
    ReadStoredDouble(r.key, "", "FmResolutionLength", r.fmResolutionLength);
    dw = 0;
    reg.GetDword(r.key, "", "DoubleSampleRate", dw, TRUE);
    r.doubleSampleRate = static_cast<int>(dw);
    r.cwResolutionLength = r.resolutionLength = 1.0;
    ReadStoredDouble(r.key, "", "CWResolutionLength", r.cwResolutionLength);
    ReadStoredDouble(r.key, "", "ResolutionLength", r.resolutionLength);
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
    double limit = kMaxStoredNumber;
};

using R = CTransceiver::StructChannelParameters;
const UserValue kUserValues[] = {
    {"TransducerDepth", UserValue::Double, &R::transducerDepth, nullptr, nullptr, kAnyFinite},
    {"TransducerZ", UserValue::Double, &R::transducerZ, nullptr, nullptr, kAnyFinite},
    {"TransducerX", UserValue::Double, &R::transducerX, nullptr, nullptr, kAnyFinite},
    {"TransducerY", UserValue::Double, &R::transducerY, nullptr, nullptr, kAnyFinite},
    {"TransducerRoll", UserValue::Double, &R::transducerRoll, nullptr, nullptr, kAnyFinite},
    {"TransducerPitch", UserValue::Double, &R::transducerPitch, nullptr, nullptr, kAnyFinite},
    {"TransducerAzimuth", UserValue::Double, &R::transducerAzimuth, nullptr, nullptr, kAnyFinite},
    {"TransducerLabel", UserValue::String, nullptr, nullptr, &R::transducerLabel},
    {"TrFixedDraft", UserValue::Double, &R::fixedDraft, nullptr, nullptr, kAnyFinite},
    {"TrVariableDraft", UserValue::Double, &R::variableDraft, nullptr, nullptr, kAnyFinite},
    {"bFMpulse", UserValue::Dword, nullptr, &R::fmPulse},
    {"FmPulseLength", UserValue::Double, &R::fmPulseLength, nullptr, nullptr, kMaxStoredPulseLength},
    {"FmResolutionLength", UserValue::Double, &R::fmResolutionLength},
    {"DoubleSampleRate", UserValue::Dword, nullptr, &R::doubleSampleRate},
    {"ResolutionLength", UserValue::Double, &R::resolutionLength},
    {"CWResolutionLength", UserValue::Double, &R::cwResolutionLength},
    {"FilterType", UserValue::Dword, nullptr, &R::filterType},
};
// The record's values for the channel's next ping, once a dialog confirmed
// them or the saved settings were loaded.
void HandToChannel(CChannel& channel, const CTransceiver::StructChannelParameters& r)
{
    ChannelParameters p = channel.GetNextParameters();
    p.PulseLength = r.pulseLength;
    p.TransmitPower = r.txPower;
    p.Gain = r.gain;
    p.TransceiverMode = r.transceiverMode;
    p.FixedDraft = r.fixedDraft;
    p.VariableDraft = r.variableDraft;
    p.TransducerDepth = r.transducerDepth;
    p.TransducerZ = r.transducerZ;
    p.TransducerX = r.transducerX;
    p.TransducerY = r.transducerY;
    p.TransducerZMinusDepth = r.transducerZMinusDepth;
    p.TransducerRoll = r.transducerRoll;
    p.TransducerPitch = r.transducerPitch;
    p.TransducerAzimuth = r.transducerAzimuth;
    p.TransducerLabel = r.transducerLabel;
    p.FmPulse = r.fmPulse;
    p.FmPulseLength = r.fmPulseLength;
    p.FmResolutionLength = r.fmResolutionLength;
    p.ResolutionLength = r.resolutionLength;
    p.CwResolutionLength = r.cwResolutionLength;
    p.FilterType = r.filterType;
    p.DoubleSampleRate = r.doubleSampleRate;
    if (r.sampleInterval > 0.0)
        p.SampleInterval = r.sampleInterval;
    channel.SetChannelParameters(p);
}

// The leading values above that give the transducer's place, its label and
// drafts: all the GEO dialog writes besides the mode.
constexpr std::size_t kTransducerValues = 10;

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
        const std::string path = SettingsFileName(m_settingsFolder, r->channelName);
        errno = 0;
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        if (!out) {
            CStateFileReport::NotSaved(path, errno);
            return;
        }
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        out.close();
        if (!out) {
            CStateFileReport::NotSaved(path, errno);
            return;
        }
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
                r->pulseLength = CheckedStored("PulseLength", b.F64(4), r->pulseLength, kMaxStoredPulseLength);
                r->txPower = CheckedStored("TxPower", b.F64(12), r->txPower, kMaxStoredNumber);
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
                double value = r->*(v.d);
                reg.GetDouble(r->key, "User", v.name, value, FALSE);
                r->*(v.d) = CheckedStored(v.name, value, r->*(v.d), v.limit);
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
    // What was loaded is what the channels ping with, as after a dialog's
    // OK: the channels were given the records' values before the files were
    // read.
    for (StructChannelParameters* r : m_channels) {
        r->gain = r->gain2 = r->gainTable[FindTableIndex(r->pulseLength, r->pulseLengthTable, 4)];
        r->transducerZMinusDepth = r->transducerZ - r->transducerDepth;
        r->changed = true;
        if (r->channel)
            HandToChannel(*r->channel, *r);
    }
    return 1;
}

// ---------------------------------------------------------------------------
// Settings dialogs

ITransceiverDialogs* CTransceiver::Dialogs() const
{
    return m_services ? m_services->Dialogs() : nullptr;
}

bool CTransceiver::HasChannelDialog(const CChannel* channel) const
{
    return FindRecord(channel) != nullptr && Dialogs() != nullptr;
}

CTransceiver::StructChannelParameters CTransceiver::CopyRecord(const StructChannelParameters& record) const
{
    std::lock_guard<std::mutex> lock(m_recordLock);
    return record;
}

bool CTransceiver::CopyRecordForPing(StructChannelParameters& record, StructChannelParameters& copy, bool takeMark)
{
    std::lock_guard<std::mutex> lock(m_recordLock);
    copy = record;
    if (!takeMark)
        return false;
    return std::exchange(record.changed, false);
}

void CTransceiver::WriteChannelValues(const StructChannelParameters& r, bool transmitValues, std::size_t userValues)
{
    if (!r.key)
        return;
    CRegistrySupport reg;
    reg.SetDword(r.key, "", "enumTransceiverMode", static_cast<DWORD>(r.transceiverMode));
    if (transmitValues) {
        reg.SetDouble(r.key, "", "PulseLength", r.pulseLength);
        reg.SetDouble(r.key, "", "TxPower", r.txPower);
    }
    for (std::size_t i = 0; i < userValues && i < std::size(kUserValues); ++i) {
        const UserValue& v = kUserValues[i];
        if (v.kind == UserValue::Double)
            reg.SetDouble(r.key, "", v.name, r.*(v.d));
        else if (v.kind == UserValue::Dword)
            reg.SetDword(r.key, "", v.name, static_cast<DWORD>(r.*(v.i)));
        else
            reg.SetString(r.key, "", v.name, r.*(v.s));
    }
}

void CTransceiver::ChannelValuesChanged()
{
    ::PostMessage(::GetMainWindow(), app::WM_ES_UPDATECHANNELSTATUS, 0, 0);
}

namespace {

// What the channel dialog confirmed, onto the record; the rest of the record
// (absorption, sample interval) stays as the unit keeps it meanwhile.
void TakeChannelDialogFields(CTransceiver::StructChannelParameters& to,
                             const CTransceiver::StructChannelParameters& from)
{
    to.doubleSampleRate = from.doubleSampleRate;
    to.fmPulse = from.fmPulse;
    to.filterType = from.filterType;
    to.fmPulseLength = from.fmPulseLength;
    to.fmResolutionLength = from.fmResolutionLength;
    to.resolutionLength = from.resolutionLength;
    to.cwResolutionLength = from.cwResolutionLength;
    to.pulseLength = from.pulseLength;
    to.txPower = from.txPower;
    to.gain = from.gain;
    to.gain2 = from.gain2;
    to.transceiverMode = from.transceiverMode;
    to.transducerLabel = from.transducerLabel;
}

// The transducer's place, which both dialogs set.
void TakeTransducerFields(CTransceiver::StructChannelParameters& to, const CTransceiver::StructChannelParameters& from)
{
    to.transducerDepth = from.transducerDepth;
    to.transducerZ = from.transducerZ;
    to.transducerX = from.transducerX;
    to.transducerY = from.transducerY;
    to.transducerRoll = from.transducerRoll;
    to.transducerPitch = from.transducerPitch;
    to.transducerAzimuth = from.transducerAzimuth;
    to.transducerZMinusDepth = from.transducerZMinusDepth;
    to.transducerLabel = from.transducerLabel;
}

}  // namespace

int CTransceiver::RunChannelDialog(CChannel* channel)
{
    StructChannelParameters* record = FindRecord(channel);
    if (!record)
        return 1;
    ITransceiverDialogs* dialogs = Dialogs();
    if (!dialogs)
        return 0;
    // The dialog edits a copy: the trigger thread copies the record for
    // every ping while the dialog is open.
    StructChannelParameters r = CopyRecord(*record);
    TransceiverDialogValues v;
    v.templateId = m_services->GetModel() == SounderModel::QYNVU ? TransceiverDialogValues::kTemplateWideBand
                                                                 : TransceiverDialogValues::kTemplate;
    v.testModeAllowed = SupportsTestMode() != 0;
    std::copy(std::begin(r.powerSteps), std::end(r.powerSteps), v.powerSteps);
    std::copy(std::begin(r.pulseLengthTable), std::end(r.pulseLengthTable), v.pulseLengths);
    v.frequency = r.frequency;
    v.doubleSampleRate = r.doubleSampleRate;
    v.fmPulse = r.fmPulse;
    v.filterType = r.filterType;
    v.fmPulseLength = r.fmPulseLength;
    v.fmResolutionLength = r.fmResolutionLength;
    v.resolutionLength = r.resolutionLength;
    v.cwResolutionLength = r.cwResolutionLength;
    v.pulseLength = r.pulseLength;
    v.power = r.txPower;
    v.channelName = r.channelName;
    v.description = r.description;
    v.draught = r.transducerDepth;
    v.z = r.transducerZ;
    v.x = r.transducerX;
    v.y = r.transducerY;
    v.roll = r.transducerRoll;
    v.pitch = r.transducerPitch;
    v.azimuth = r.transducerAzimuth;
    v.mode = r.transceiverMode;
    v.label = r.transducerLabel;
    v.tide = m_services->GetTide();
    v.advanced = [this, channel] { RunAdvancedDialog(channel); };

    CModalSession session(m_channelDialog);
    const int result = dialogs->RunChannel(v, session.Opened());
    if (session.OwnerGone())
        return -1;
    if (result < 0)
        return 0;
    if (result == 0)
        return 1;

    // Every confirmed dialog asks for a new transmit set-up, a changed
    // double sample rate among them.
    r.doubleSampleRate = v.doubleSampleRate;
    r.fmPulse = v.fmPulse;
    r.filterType = v.filterType;
    r.fmPulseLength = v.fmPulseLength;
    r.fmResolutionLength = v.fmResolutionLength;
    r.resolutionLength = v.resolutionLength;
    r.cwResolutionLength = v.cwResolutionLength;
    r.pulseLength = v.pulseLength;
    r.txPower = v.power;
    r.transducerDepth = v.draught;
    r.transducerZ = v.z;
    r.transducerX = v.x;
    r.transducerY = v.y;
    r.transducerRoll = v.roll;
    r.transducerPitch = v.pitch;
    r.transducerAzimuth = v.azimuth;
    r.transceiverMode = v.mode;
    r.transducerLabel = v.label;
    ApplyPingerPulseLength(r);
    r.gain = r.gain2 = r.gainTable[FindTableIndex(r.pulseLength, r.pulseLengthTable, 4)];
    r.transducerZMinusDepth = r.transducerZ - r.transducerDepth;
    if (r.transceiverMode == kTest && !SupportsTestMode())
        r.transceiverMode = kActive;
    {
        std::lock_guard<std::mutex> lock(m_recordLock);
        TakeChannelDialogFields(*record, r);
        TakeTransducerFields(*record, r);
        record->changed = true;
        r = *record;
    }
    HandToChannel(*channel, r);
    WriteChannelValues(r, true, std::size(kUserValues));
    ChannelValuesChanged();
    return 1;
}

int CTransceiver::RunGeoChannelDialog(CChannel* channel)
{
    StructChannelParameters* record = FindRecord(channel);
    if (!record)
        return 1;
    ITransceiverDialogs* dialogs = Dialogs();
    if (!dialogs)
        return 0;
    StructChannelParameters r = CopyRecord(*record);
    GeoTransceiverDialogValues v;
    std::copy(std::begin(r.capability.sampleInterval), std::end(r.capability.sampleInterval), v.sampleIntervals);
    v.sampleInterval = r.sampleInterval;
    v.draught = r.transducerDepth;
    v.x = r.transducerX;
    v.y = r.transducerY;
    v.z = r.transducerZ;
    v.roll = r.transducerRoll;
    v.pitch = r.transducerPitch;
    v.azimuth = r.transducerAzimuth;
    v.tide = m_services->GetTide();
    v.label = r.transducerLabel;
    v.advanced = [this, channel] { RunAdvancedDialog(channel); };

    CModalSession session(m_channelDialog);
    const int result = dialogs->RunGeoChannel(v, session.Opened());
    if (session.OwnerGone())
        return -1;
    if (result < 0)
        return 0;
    if (result == 0)
        return 1;

    r.sampleInterval = v.sampleInterval;
    r.transducerDepth = v.draught;
    r.transducerX = v.x;
    r.transducerY = v.y;
    r.transducerZ = v.z;
    r.transducerRoll = v.roll;
    r.transducerPitch = v.pitch;
    r.transducerAzimuth = v.azimuth;
    r.transducerLabel = v.label;
    r.transducerZMinusDepth = r.transducerZ - r.transducerDepth;
    if (r.transceiverMode == kTest && !SupportsTestMode())
        r.transceiverMode = kActive;
    {
        std::lock_guard<std::mutex> lock(m_recordLock);
        TakeTransducerFields(*record, r);
        record->sampleInterval = r.sampleInterval;
        record->transceiverMode = r.transceiverMode;
        record->changed = true;
        r = *record;
    }
    HandToChannel(*channel, r);
    WriteChannelValues(r, false, kTransducerValues);
    ChannelValuesChanged();
    return 1;
}

AdvancedTransceiverDialogValues CTransceiver::AdvancedValues(const StructChannelParameters& r) const
{
    using A = AdvancedTransceiverDialogValues;
    A v;
    const auto f2 = [](double value) { return CNumberText::Format("%.2f", value); };
    const auto f0 = [](double value) { return CNumberText::Format("%.0f", value); };
    v.Text(A::kFrequency) = f0(r.frequency);
    v.Text(A::kAngleOffsetAlongship) = f2(r.angleOffsetAlongship);
    v.Text(A::kAngleOffsetAthwartship) = f2(r.angleOffsetAthwartship);
    v.Text(A::kBeamWidthAlongship) = f2(r.beamWidthAlongship);
    v.Text(A::kBeamWidthAthwartship) = f2(r.beamWidthAthwartship);
    v.Text(A::kBeamType) = app::Strings().Load(r.beamType != 0 ? app::ids::BEAM_SPLIT : app::ids::BEAM_SINGLE);
    v.Text(A::kBandwidth) = f0(r.bandwidth);
    v.Text(A::kGain) = f2(r.gain);
    v.Text(A::kSampleInterval) = CNumberText::Format("%.4f", r.sampleDistance);
    v.Text(A::kSoundVelocity) = f0(m_soundVelocity.load());
    v.Text(A::kTwoWayBeamAngle) = f2(r.twoWayBeamAngle);
    v.Text(A::kAngleSensitivityAlongship) = f2(r.angleSensitivityAlongship);
    v.Text(A::kAngleSensitivityAthwartship) = f2(r.angleSensitivityAthwartship);
    v.Text(A::kAbsorption) = f2(r.absorption * 1000.0);
    return v;
}

int CTransceiver::RunAdvancedDialog(CChannel* channel)
{
    const StructChannelParameters* record = FindRecord(channel);
    if (!record)
        return 1;
    ITransceiverDialogs* dialogs = Dialogs();
    if (!dialogs)
        return 0;
    const AdvancedTransceiverDialogValues v = AdvancedValues(CopyRecord(*record));
    CModalSession session(m_advancedDialog);
    const int result = dialogs->RunAdvanced(v, session.Opened());
    if (session.OwnerGone())
        return -1;
    return result < 0 ? 0 : 1;
}

void CTransceiver::SetModelessDialog(std::unique_ptr<IModelessDialog> dialog)
{
    if (m_modeless)
        m_modeless->EndDialog(4);
    m_modeless = std::move(dialog);
}

void CTransceiver::ReleaseModelessDialog()
{
    // Its window deletes itself as it closes.
    (void)m_modeless.release();
}
