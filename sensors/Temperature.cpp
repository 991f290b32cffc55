#include "sensors/Temperature.h"

#include "base/RegistrySupport.h"
#include "platform/NumberText.h"
#include "sensors/Environment.h"

#include <cmath>

namespace {

// The thermistor's B value: ln(0.3060871864863731) / -0.0003072989650170859,
// about 3852.55 K.
const double kBeta = std::log(0.3060871864863731) / -0.0003072989650170859;
constexpr double kReferenceOhms = 10000.0;
constexpr double kReferenceKelvin = 298.0;
constexpr double kZeroCelsius = 273.0;

double Fahrenheit(double celsius)
{
    return celsius * 1.8 + 32.0;
}

}  // namespace

double CTemperature::ResistanceToKelvin(double ohms)
{
    if (!(ohms > 0.0))
        return 0.0;
    const double kelvin = 1.0 / (std::log(ohms / kReferenceOhms) / kBeta + 1.0 / kReferenceKelvin);
    // Below a few hundredths of an ohm the curve passes absolute zero: no
    // reading either.
    return std::isfinite(kelvin) && kelvin > 0.0 ? kelvin : 0.0;
}

std::optional<double> CTemperature::ParseSentence(const std::string& text)
{
    if (text.find("YXMTW") == std::string::npos)
        return std::nullopt;
    const std::size_t first = text.find(',');
    if (first == std::string::npos)
        return std::nullopt;
    const std::size_t end = text.find(',', first + 1);
    std::string field = text.substr(first + 1, end == std::string::npos ? std::string::npos : end - first - 1);
    double celsius = 0.0;
    if (!CNumberText::TryParseDouble(field, celsius) || !std::isfinite(celsius))
        return std::nullopt;
    return celsius;
}

CTemperature::CTemperature(CEnvironment& environment, const ISensorHost& host)
    : CSerialSensor(kSettingId, host, kLogCutAbove, kLogKeep), m_environment(environment)
{}

CTemperature::~CTemperature()
{
    ClosePort();
}

int CTemperature::LoadSettings(HKEY key)
{
    KeepKey(key);
    if (Key()) {
        CRegistrySupport reg;
        DWORD source = m_source.load();
        reg.GetDword(Key(), "", "Source", source, TRUE);
        DWORD analog = 0;
        reg.GetDword(Key(), "", "Analog", analog, FALSE);
        if (analog != 0) {
            source = kAnalog;
            reg.SetDword(Key(), "", "Analog", 0);
            reg.SetDword(Key(), "", "Source", source);
        }
        m_source = source;
        std::string transceiver = GetTransceiverSource();
        reg.GetString(Key(), "", "TransceiverSource", transceiver, TRUE);
        std::lock_guard lock(m_lock);
        m_transceiverSource = transceiver;
    }
    if (IsOpen())
        SetTxProtocol("");
    return GetTransceiverSource().empty() ? 1 : 0;
}

HRESULT CTemperature::OpenPort()
{
    const HRESULT hr = OpenSerial();
    if (hr != 0) {
        CloseSerial();
        return hr;
    }
    SetTxProtocol("");
    return 0;
}

void CTemperature::ClosePort()
{
    CloseSerial();
}

std::string CTemperature::GetTransceiverSource() const
{
    std::lock_guard lock(m_lock);
    return m_transceiverSource;
}

bool CTemperature::StoreSettings(DWORD source, const std::string& transceiverSource)
{
    m_source = source;
    {
        std::lock_guard lock(m_lock);
        m_transceiverSource = transceiverSource;
    }
    if (!Key())
        return false;
    CRegistrySupport reg;
    reg.SetString(Key(), "", "TransceiverSource", transceiverSource);
    return reg.SetDword(Key(), "", "Source", source) != FALSE;
}

void CTemperature::SetSourceList(const std::vector<std::string>& names)
{
    std::lock_guard lock(m_lock);
    m_sourceList = names;
}

std::vector<std::string> CTemperature::GetSourceList() const
{
    std::lock_guard lock(m_lock);
    return m_sourceList;
}

CTemperature::SReading CTemperature::GetReading() const
{
    std::lock_guard lock(m_lock);
    return m_reading;
}

int CTemperature::GetTemperature(double& celsius) const
{
    const SReading r = GetReading();
    celsius = r.celsius;
    return r.valid ? 0 : 1;
}

std::optional<double> CTemperature::GetTemperature() const
{
    const SReading r = GetReading();
    return r.valid ? std::optional<double>(r.celsius) : std::nullopt;
}

void CTemperature::Take(const SReading& reading, const std::string& logLine)
{
    {
        std::lock_guard lock(m_lock);
        m_reading = reading;
    }
    if (m_exchanged.load()) {
        // The first reading replaces "Data not available".
        if (m_noDataShown.exchange(false))
            Monitor().Clear();
        Monitor().AppendText(logLine);
    }
    m_environment.SetSensorTemperature(reading.celsius, reading.valid ? TRUE : FALSE);
}

void CTemperature::SetResistance(const std::string& transceiverName, double ohms)
{
    // A resistance that is no number gives no reading at all.
    if (m_source.load() != kAnalog || std::isnan(ohms) || transceiverName != GetTransceiverSource())
        return;
    SReading r;
    r.ohms = ohms;
    r.kelvin = ResistanceToKelvin(ohms);
    r.celsius = r.kelvin - kZeroCelsius;
    r.fahrenheit = Fahrenheit(r.celsius);
    r.valid = r.kelvin > 0.0;
    Take(r, CNumberText::Format("%.0f ohm   %4.1f\u00B0C  %4.1f\u00B0F\r\n", ohms, r.celsius, r.fahrenheit));
}

void CTemperature::ParseTelegram(const CTarnMessage& message)
{
    if (m_source.load() != kSerial)
        return;
    const auto celsius = ParseSentence(TextOf(message));
    if (!celsius)
        return;
    SReading r;
    r.celsius = *celsius;
    r.kelvin = kZeroCelsius + *celsius;
    r.fahrenheit = Fahrenheit(*celsius);
    r.valid = r.kelvin > 0.0;
    Take(r, CNumberText::Format("%4.1f\u00B0C  %4.1f\u00B0F\r\n", r.celsius, r.fahrenheit));
}

void CTemperature::SetReplayTemperature(double celsius)
{
    if (celsius == 0.0 || !std::isfinite(celsius)) {
        std::lock_guard lock(m_lock);
        m_reading.valid = false;
        return;
    }
    SReading r;
    r.celsius = celsius;
    r.kelvin = kZeroCelsius + celsius;
    r.fahrenheit = Fahrenheit(celsius);
    r.valid = true;
    Take(r, CNumberText::Format("%4.1f\u00B0C  %4.1f\u00B0F\r\n", r.celsius, r.fahrenheit));
}

void CTemperature::ShowNoData()
{
    Monitor().Clear();
    Monitor().AppendText(std::string(kNoData) + "\r\n");
    m_noDataShown = true;
}

void CTemperature::ShowDialogData()
{
    m_exchanged = true;
    if (m_source.load() != kOff)
        ShowNoData();
}

void CTemperature::SetDataDisplay(bool on)
{
    m_dataDisplay = on;
    if (on)
        ShowNoData();
    std::lock_guard lock(m_lock);
    m_reading.valid = false;
}
