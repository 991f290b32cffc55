#include "sounder/CalibrationLink.h"

#include "base/AppIds.h"
#include "base/StringTable.h"
#include "base/TimeText.h"
#include "engine/Channel.h"
#include "platform/SystemMessage.h"
#include "transceivers/Transceiver.h"

#include <utility>

namespace {

std::string BoxText(HRESULT hr)
{
    const std::string text = FormatSystemMessage(hr);
    return text.empty() ? "Failed" : text;
}

// A text of the call as a BSTR, freed when the call is done.
class CBstr
{
public:
    explicit CBstr(const std::string& text) : m_text(SysAllocStringLen(text.data(), UINT(text.size()))) {}
    ~CBstr() { SysFreeString(m_text); }
    CBstr(const CBstr&) = delete;
    CBstr& operator=(const CBstr&) = delete;
    BSTR Get() const { return m_text; }

private:
    BSTR m_text;
};

}  // namespace

CCalibrationLink::CCalibrationLink()
{
    RegisterCalibrationProxy();
}

CCalibrationLink::~CCalibrationLink()
{
    Release();
}

void CCalibrationLink::SetApplicationTexts(std::string productVersion, std::string trListPath)
{
    std::lock_guard lock(m_lock);
    m_productVersion = std::move(productVersion);
    m_trListPath = std::move(trListPath);
}

CCalibrationLink::SStartResult CCalibrationLink::Start(CChannel& channel, const std::vector<CChannel*>& channels)
{
    SStartResult r;
    for (const CChannel* c : channels)
        if (c && c->GetLinkFlag()) {
            r.outcome = SStartResult::AlreadyLinked;
            return r;
        }
    {
        std::lock_guard lock(m_lock);
        // What an earlier link left when it went off goes before the new one.
        ReleaseLocked();
        m_lost = false;
        m_parameterBoxShown = false;
        void* component = nullptr;
        r.result = CoCreateInstance(CLSID_Calibration, nullptr, CLSCTX_LOCAL_SERVER, IID_ICalibration, &component);
        if (FAILED(r.result)) {
            r.caption = "Calibration CoCreateInstance";
        } else {
            m_component = static_cast<ICalibration*>(component);
            r.result = CoMarshalInterThreadInterfaceInStream(IID_ICalibration, m_component, &m_stream);
            if (FAILED(r.result)) {
                m_stream = nullptr;
                r.caption = "Calibration CoMarshalInterThreadInterfaceInStream";
            } else {
                r.outcome = SStartResult::Started;
            }
        }
    }
    // The channel's flag is set outside this link's lock: a requesting
    // thread holds the channel's lock while it waits for this one.
    channel.SetLinkFlag(r.outcome == SStartResult::Started);
    return r;
}

void CCalibrationLink::Release()
{
    std::lock_guard lock(m_lock);
    ReleaseLocked();
}

void CCalibrationLink::ReleaseLocked()
{
    if (IStream* stream = std::exchange(m_stream, nullptr)) {
        void* unused = nullptr;
        if (SUCCEEDED(CoGetInterfaceAndReleaseStream(stream, IID_ICalibration, &unused)))
            static_cast<ICalibration*>(unused)->Release();
    }
    if (ICalibration* link = std::exchange(m_link, nullptr))
        link->Release();
    if (ICalibration* component = std::exchange(m_component, nullptr))
        component->Release();
}

SCalibrationHandOverResult CCalibrationLink::HandOver(const CChannel& channel, const SCalibrationChannelValues& values,
                                                      bool sendParameters, const SingleTargetRecord& record,
                                                      std::uint64_t pingTime)
{
    SCalibrationHandOverResult result;
    std::lock_guard lock(m_lock);
    if (m_component && !m_link && m_stream) {
        // The attempt uses the stream up, whatever it answers.
        void* link = nullptr;
        const HRESULT hr = CoGetInterfaceAndReleaseStream(std::exchange(m_stream, nullptr), IID_ICalibration, &link);
        if (FAILED(hr)) {
            ReleaseLocked();
            result.linkOff = true;
            result.boxCaption = "Calibration CoGetInterfaceAndReleaseStream";
            result.boxText = BoxText(hr);
            return result;
        }
        m_link = static_cast<ICalibration*>(link);
    }
    if (!m_link) {
        result.linkOff = true;
        return result;
    }
    if (sendParameters) {
        const HRESULT hr = SendParameters(channel, values);
        if (SUCCEEDED(hr)) {
            result.parametersSent = true;
        } else if (!m_parameterBoxShown) {
            // Tried again with every ping, told once.
            m_parameterBoxShown = true;
            result.boxCaption = "Calibration SetParameters";
            result.boxText = BoxText(hr);
        }
    }
    if (!m_lost)
        AddTargets(record, pingTime);
    if (m_lost) {
        ReleaseLocked();
        result.linkOff = true;
    }
    return result;
}

HRESULT CCalibrationLink::Watch(HRESULT hr)
{
    if (hr == RPC_E_DISCONNECTED || hr == RPC_E_TIMEOUT || hr == RPC_E_INVALID_DATAPACKET)
        m_lost = true;
    return hr;
}

HRESULT CCalibrationLink::SetParameter(const char* name, double value)
{
    VARIANT v;
    v.vt = VT_R8;
    v.dblVal = value;
    const CBstr n(name);
    if (!n.Get())
        return E_OUTOFMEMORY;
    return Watch(m_link->SetParameter(n.Get(), v));
}

HRESULT CCalibrationLink::SetParameter(const char* name, const std::string& text)
{
    const CBstr n(name);
    const CBstr t(text);
    if (!n.Get() || !t.Get())
        return E_OUTOFMEMORY;
    VARIANT v;
    v.vt = VT_BSTR;
    v.bstrVal = t.Get();
    return Watch(m_link->SetParameter(n.Get(), v));
}

HRESULT CCalibrationLink::SendParameters(const CChannel& channel, const SCalibrationChannelValues& v)
{
    // Only "Frequency" decides: the other 26 go whatever they answer.
    const HRESULT first = SetParameter("Frequency", v.Frequency);
    if (FAILED(first))
        return first;

    std::string transducer, transceiverId;
    double bandwidth = 0.0, soundVelocity = 0.0, temperature = 0.0;
    if (const CTransceiver* t = channel.GetTransceiver()) {
        std::string description;
        double f, g, w, ba, bb, sa, sb, oa, ob;
        int beamType;
        t->GetChannelParameters(&channel, description, transceiverId, f, g, w, bandwidth, ba, bb, sa, sb, oa, ob,
                                beamType, soundVelocity, temperature);
        if (const CTransceiver::StructChannelParameters* r = t->FindRecord(&channel))
            transducer = r->capability.transducerName.empty() ? r->transducerLabel : r->capability.transducerName;
    }
    const unsigned beam = v.BeamType == 0 ? app::ids::BEAM_SINGLE : app::ids::BEAM_SPLIT;

    SetParameter("Power", v.Power);
    SetParameter("Athwartship Beam", v.BeamWidthAthwart);
    SetParameter("Alongship Beam", v.BeamWidthAlong);
    SetParameter("TransducerName", transducer);
    SetParameter("TransceiverID", transceiverId);
    SetParameter("ProductVersion", m_productVersion);
    SetParameter("BeamType", app::Strings().Load(beam));
    SetParameter("Gain", v.Gain);
    SetParameter("Equivalent2WayBeamangle", v.TwoWayBeamAngle);
    SetParameter("SenseAthwart", v.SensitivityAthwart);
    SetParameter("SenseAlong", v.SensitivityAlong);
    SetParameter("OffsetAthwart", v.OffsetAthwart);
    SetParameter("OffsetAlong", v.OffsetAlong);
    SetParameter("PulseLength", v.PulseLength);
    SetParameter("SampleInterval", v.SampleDistance);
    SetParameter("Bandwidth", bandwidth);
    SetParameter("TSDetectionMinValue", v.MinimumTS);
    SetParameter("TSDetectionMaxBeamComp", v.Detection.MaxGainCompensation);
    SetParameter("TSDetectionMinEcholength", v.Detection.MinEchoLength);
    SetParameter("TSDetectionMaxEcholength", v.Detection.MaxEchoLength);
    SetParameter("TSDetectionMaxPhaseDev", v.Detection.MaxPhaseDeviation);
    SetParameter("EnvironmentAbsorptionCoefficient", v.Absorption);
    SetParameter("EnvironmentSoundVelocity", soundVelocity);
    SetParameter("EnvironmentTemperature", temperature);
    SetParameter("EnvironmentSalinity", std::string("Dummy"));
    SetParameter("TrListPath", m_trListPath);
    return first;
}

HRESULT CCalibrationLink::AddTargets(const SingleTargetRecord& record, std::uint64_t pingTime)
{
    const CBstr time(FormatTimeLocal(pingTime, 2));
    const CBstr date(FormatDateLocal(pingTime));
    if (!time.Get() || !date.Get())
        return E_OUTOFMEMORY;
    VARIANT count;
    count.vt = VT_UI2;
    count.uiVal = record.Count;
    VARIANT values;
    values.vt = VT_ARRAY | VT_R8;
    values.parray = SafeArrayCreateVector(VT_R8, 0, ULONG(record.Count) * 6);
    if (!values.parray)
        return E_OUTOFMEMORY;
    void* data = nullptr;
    HRESULT hr = SafeArrayAccessData(values.parray, &data);
    if (SUCCEEDED(hr)) {
        auto* out = static_cast<double*>(data);
        for (std::size_t t = 0; t < record.Count; ++t)
            for (const double value : record.Targets[t].Values())
                *out++ = value;
        // The call is made while the data is open, as the component expects.
        hr = Watch(m_link->AddTargets(time.Get(), date.Get(), count, values));
        SafeArrayUnaccessData(values.parray);
    }
    VariantClear(&values);
    return hr;
}
