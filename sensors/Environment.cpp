#include "sensors/Environment.h"

#include "base/RegistrySupport.h"
#include "platform/FileTime.h"
#include "platform/MessageBox.h"
#include "platform/MessageDispatcher.h"
#include "platform/NumberText.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace {

std::string ExtensionOf(const std::string& fileName)
{
    std::size_t dot = fileName.rfind('.');
    std::size_t sep = fileName.find_last_of("\\/");
    if (dot == std::string::npos || (sep != std::string::npos && dot < sep))
        return {};
    return fileName.substr(dot + 1);
}

// The format a profile file is read with, by its extension (compared with
// case, as the file choice does).
DWORD FormatFromExtension(const std::string& ext)
{
    if (ext == "cal" || ext == "calc")
        return CSvpProfile::FormatCalc;
    if (ext == "ksi")
        return CSvpProfile::FormatS10;
    return CSvpProfile::FormatAsvp;
}

}  // namespace

CEnvironment::CEnvironment() = default;

CEnvironment::~CEnvironment()
{
    WriteSettings();
}

// ---------------------------------------------------------------------------
// Formulas

double CEnvironment::ComputeVelocity(double t, double s)
{
    return 1449.05 + t * (4.57 - t * (0.0521 - 0.00023 * t)) + (1.333 - t * (0.0126 - 0.00009 * t)) * (s - 35.0);
}

double CEnvironment::ProfileMean(const SAppliedProfile& p, double depth, double fallback)
{
    const std::size_t n = p.Count();
    if (depth <= 0.0 || n == 0)
        return fallback;
    double m = 0.0;
    double d = 0.0;
    std::size_t i = 0;
    // Layer i runs from depth[i] to depth[i+1] with velocity[i]; the first
    // layer reaches up to the surface.
    for (; i + 1 < n && depth >= p.depth[i + 1]; ++i) {
        if (i == 0)
            m = p.velocity[0];
        else
            m = ((p.depth[i + 1] - d) * p.velocity[i] + m * d) / p.depth[i + 1];
        d = p.depth[i + 1];
    }
    return (m * d + (depth - d) * p.velocity[i]) / depth;
}

double CEnvironment::ComputedVelocityLocked() const
{
    const Settings& s = m_settings;
    double t = s.temperatureType == 1 ? s.tempSensor : s.tempConstant;
    double sal = s.waterType == 1 ? s.salinity : 0.0;
    return ComputeVelocity(t, sal);
}

void CEnvironment::RecomputeLocked()
{
    if (m_settings.svpType == SvpTypeComputed)
        m_settings.svpComputed = ComputedVelocityLocked();
}

bool CEnvironment::SensorValidLocked() const
{
    return m_bSensorValid && m_settings.tempSensor >= -2.0 && m_settings.tempSensor < 30.0;
}

// ---------------------------------------------------------------------------
// Queries

double CEnvironment::GetSoundVelocity()
{
    DWORD type;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        type = m_settings.svpType;
    }
    if (type == SvpTypeProfile) {
        // Asked outside our lock: the source reads the channels, which may be
        // the very caller holding its own lock.
        double deepest = m_depthSource ? m_depthSource() : 0.0;
        std::lock_guard<std::mutex> lock(m_lock);
        std::shared_ptr<const SAppliedProfile> profile = GetAppliedProfile();
        if (deepest != m_meanDepth && deepest > 0.0 && profile && profile->Count() > 0) {
            m_settings.svpConstFromFile = ProfileMean(*profile, deepest, m_settings.svpConstFromFile);
            m_meanDepth = deepest;
        }
        m_lastQueryDepth = deepest;
        return m_settings.svpConstFromFile;
    }

    bool fellBack = false;
    double answer;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        Settings& s = m_settings;
        switch (s.svpType) {
        case SvpTypeComputed:
            if (s.temperatureType == 0) {
                answer = s.svpComputed;
                break;
            }
            if (SensorValidLocked())
                m_invalidCount = 0;
            else if (++m_invalidCount > MaxInvalidSensorReadings) {
                s.temperatureType = 0;
                m_invalidCount = 0;
                RecomputeLocked();
                fellBack = true;
            }
            if (std::fabs(s.tempSensor - m_heldTemperature) > 0.5) {
                m_heldVelocity = s.svpComputed;
                m_heldTemperature = s.tempSensor;
            }
            if (s.salinity != m_heldSalinity) {
                m_heldVelocity = s.svpComputed;
                m_heldSalinity = s.salinity;
            }
            if (m_bForce) {
                m_heldVelocity = s.svpComputed;
                m_bForce = FALSE;
            }
            answer = m_heldVelocity;
            break;
        case SvpTypeProbe:
            answer = s.svpReal;
            break;
        default:
            answer = s.svpConstant;
            break;
        }
    }
    if (fellBack)
        PostMessage(GetMainWindow(), app::WM_ES_STATUSMESSAGE, IdsNoTemperatureSensor, 0);
    return answer;
}

double CEnvironment::GetAbsorption(double frequencyHz)
{
    const double c = GetSoundVelocity();
    double t, z, ph, s;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        const Settings& st = m_settings;
        if (st.temperatureType == 0)
            t = st.tempConstant;
        else {
            if (std::fabs(st.tempSensor - m_absorptionTemperature) > 0.5)
                m_absorptionTemperature = st.tempSensor;
            t = m_absorptionTemperature;
        }
        z = st.depth;
        ph = st.ph;
        s = st.waterType == 1 ? st.salinity : 0.0;
    }
    // A term whose relaxation frequency and signal frequency are both zero
    // (fresh water has no boric acid relaxation; a channel may report 0 Hz)
    // contributes nothing instead of 0/0.
    auto relaxation = [](double a, double p, double fr, double f2) {
        double den = fr * fr + f2;
        return den > 0.0 ? a * p * fr * f2 / den : 0.0;
    };
    const double f = frequencyHz / 1000.0;
    const double f2 = f * f;
    const double kelvin = t + 273.0;
    const double sal = std::max(s, 0.0);
    if (!(c > 0.0) || !(kelvin > 0.0))
        return 0.0;

    const double a1 = 8.86 / c * std::pow(10.0, 0.78 * ph - 5.0);
    const double f1 = 2.8 * std::sqrt(sal / 35.0) * std::pow(10.0, 4.0 - 1245.0 / kelvin);
    const double a2 = 21.44 * sal / c * (1.0 + 0.025 * t);
    const double p2 = 1.0 - 1.37e-4 * z + 6.2e-9 * z * z;
    const double f2r = 8.17 * std::pow(10.0, 8.0 - 1990.0 / kelvin) / (1.0 + 0.0018 * (sal - 35.0));
    const double a3 = 4.937e-4 - 2.59e-5 * t + 9.11e-7 * t * t - 1.50e-8 * t * t * t;
    const double p3 = 1.0 - 3.83e-5 * z + 4.9e-10 * z * z;

    const double alpha = relaxation(a1, 1.0, f1, f2) + relaxation(a2, p2, f2r, f2) + a3 * p3 * f2;
    return std::isfinite(alpha) ? alpha / 1000.0 : 0.0;
}

double CEnvironment::GetDepthFromTravelTime(double travelTime, double startDepth) const
{
    std::shared_ptr<const SAppliedProfile> p = GetAppliedProfile();
    if (!p || p->Count() == 0)
        return 0.0;
    const std::vector<double>& depth = p->depth;
    const std::vector<double>& velocity = p->velocity;
    const std::size_t n = depth.size();
    // The layer holding the start: the first i with start < depth[i+1].
    std::size_t k =
        static_cast<std::size_t>(std::upper_bound(depth.begin() + 1, depth.end(), startDepth) - (depth.begin() + 1));
    double z = startDepth;
    double elapsed = 0.0;
    while (k + 1 < n) {
        double next = elapsed + (depth[k + 1] - z) / velocity[k];
        if (travelTime < next)
            break;
        z = depth[k + 1];
        elapsed = next;
        ++k;
    }
    return z + (travelTime - elapsed) * velocity[k];
}

double CEnvironment::GetMeanSoundVelocity(double fromDepth, double toDepth)
{
    std::shared_ptr<const SAppliedProfile> p = GetAppliedProfile();
    if (!p || p->Count() == 0)
        return GetSoundVelocity();
    if (toDepth < fromDepth)
        std::swap(fromDepth, toDepth);
    // Integral of the layer velocities from the surface down to z.
    auto integral = [&p](double z) { return z <= 0.0 ? z * p->velocity[0] : ProfileMean(*p, z, 0.0) * z; };
    if (toDepth == fromDepth) {
        std::size_t k = static_cast<std::size_t>(std::upper_bound(p->depth.begin() + 1, p->depth.end(), fromDepth) -
                                                 (p->depth.begin() + 1));
        return p->velocity[k];
    }
    return (integral(toDepth) - integral(fromDepth)) / (toDepth - fromDepth);
}

std::shared_ptr<const SAppliedProfile> CEnvironment::GetAppliedProfile() const
{
    std::lock_guard<std::mutex> lock(m_appliedLock);
    return m_applied;
}

BOOL CEnvironment::IsRealSvp() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_settings.svpType == SvpTypeProfile;
}

// ---------------------------------------------------------------------------
// Replay, probe and temperature sensor

BOOL CEnvironment::SetSvpType(DWORD type)
{
    if (type != SvpTypeConstant && type != SvpTypeProfile)
        return FALSE;
    std::lock_guard<std::mutex> lock(m_lock);
    m_settings.svpType = type;
    return TRUE;
}

void CEnvironment::ClearProfileDepth()
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_meanDepth = 0.0;
}

BOOL CEnvironment::GetUpdateFlag() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_bUpdateFlag;
}

void CEnvironment::SetUpdateFlag(BOOL flag)
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_bUpdateFlag = flag;
    }
    if (flag)
        OnEnvironment();
}

void CEnvironment::SetProbeVelocity(double velocity)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_settings.svpReal = velocity;
}

double CEnvironment::GetProbeVelocity() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_settings.svpReal;
}

void CEnvironment::SetSensorTemperature(double temperature, BOOL valid)
{
    std::lock_guard<std::mutex> lock(m_lock);
    if (valid && temperature >= -2.0 && temperature <= 30.0) {
        m_settings.tempSensor = temperature;
        m_bSensorValid = TRUE;
        RecomputeLocked();
    } else
        m_bSensorValid = FALSE;
}

// ---------------------------------------------------------------------------
// Settings and profiles

CEnvironment::Settings CEnvironment::GetSettings() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_settings;
}

std::string CEnvironment::DefaultFolder() const
{
    return CSvpProfile::GetFolder(m_modelCode);
}

void CEnvironment::LoadUserSettings()
{
    ReadSettings();
    DWORD type;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_meanDepth = 0.0;
        m_lastQueryDepth = 0.0;
        m_bUpdateFlag = FALSE;
        type = m_settings.svpType;
    }
    if (type == SvpTypeProfile)
        ApplyProfileFile();
    else
        RecordConstant();
    std::lock_guard<std::mutex> lock(m_lock);
    m_heldVelocity = 0.0;
    m_heldTemperature = 0.0;
    m_heldSalinity = 0.0;
    m_invalidCount = 0;
    m_absorptionTemperature = 0.0;
    m_bForce = TRUE;
}

void CEnvironment::SetDefaults()
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        Settings defaults;
        defaults.depth = m_settings.depth;
        defaults.svpFilePath = DefaultFolder();
        m_settings = defaults;
    }
    WriteSettings();
}

void CEnvironment::SetPendingProfile(BOOL autoApply, const std::string& folder, const std::string& fileName)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_pendingAutoApply = autoApply;
    m_pendingFolder = folder;
    m_pendingFileName = fileName;
}

void CEnvironment::SetPendingFormat(DWORD format)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_pendingFormat = format;
}

BOOL CEnvironment::AnnounceNewProfile(BOOL autoApply, const std::string& folder, const std::string& fileName)
{
    SetPendingProfile(autoApply, folder, fileName);
    return PostMessage(GetMainWindow(), app::WM_ES_ENVIRONMENTCHANGED, 0, 0);
}

BOOL CEnvironment::ApplyProfileFile()
{
    std::string folder, name, ext;
    DWORD format;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_settings.svpFilePath.empty())
            m_settings.svpFilePath = DefaultFolder();
        folder = m_settings.svpFilePath;
        name = m_settings.svpFileName;
        ext = m_settings.svpFileExt;
        format = m_settings.svpFormat;
    }

    CSvpProfile read;
    // A file whose rows all lie above the surface, or an S10 datagram that
    // announced points and kept none, holds no profile either.
    bool usable = read.ParseDatagram(folder + "\\" + name, format) > 0;
    if (usable) {
        read.Update();
        usable = read.GetCount() > 0;
    }
    if (usable) {
        auto applied = std::make_shared<SAppliedProfile>();
        read.GetPoints(applied->depth, applied->velocity);
        // Update put a surface point first, so the arrays start at 0 m and
        // rise strictly: every layer has a thickness to divide by.
        m_profile = std::move(read);
        std::shared_ptr<const SAppliedProfile> old;
        {
            // The mean is forgotten together with the swap, so no query
            // can keep a mean of the old profile under the new one.
            std::lock_guard<std::mutex> lock(m_lock);
            m_meanDepth = -1.0;
            m_lastQueryDepth = -1.0;
            std::lock_guard<std::mutex> swap(m_appliedLock);
            old = std::exchange(m_applied, std::shared_ptr<const SAppliedProfile>(std::move(applied)));
        }
        // The previous profile is freed here, or by the last reader
        // still holding it.
        m_bHaveAppliedFile = true;
        m_appliedFolder = folder;
        m_appliedFileName = name;
        m_appliedExt = ext;
        m_appliedFormat = format;
        SendProfileToOutputs(m_profile.FormatProfile());
        return TRUE;
    }

    if (m_bHaveAppliedFile) {
        // A profile is in force: a bad new file must not throw the survey
        // back onto a constant velocity, nor leave the settings naming it.
        MessageBox(GetMainWindow(), "Could not read Svp file\nNo file applied\nThe current profile stays in use", "",
                   MB_ICONEXCLAMATION);
        {
            std::lock_guard<std::mutex> lock(m_lock);
            m_settings.svpFilePath = m_appliedFolder;
            m_settings.svpFileName = m_appliedFileName;
            m_settings.svpFileExt = m_appliedExt;
            m_settings.svpFormat = m_appliedFormat;
        }
        WriteSettings();
        return FALSE;
    }
    MessageBox(GetMainWindow(), "Could not read Svp file\nNo file applied\nFall back to constant SVP", "",
               MB_ICONEXCLAMATION);
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_settings.svpType = SvpTypeConstant;
    }
    WriteSettings();
    return FALSE;
}

void CEnvironment::RecordCurrentProfile()
{
    DWORD type;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        type = m_settings.svpType;
    }
    if (type == SvpTypeProfile)
        SendProfileToOutputs(m_profile.FormatProfile());
    else
        RecordConstant();
}

void CEnvironment::SendProfileToOutputs(const std::string& text)
{
    if (!text.empty() && m_sendToOutputs)
        m_sendToOutputs(text, CFileTime::Now());
}

void CEnvironment::RecordConstant()
{
    if (m_recordText)
        m_recordText("Constant", CFileTime::Now());
}

SEnvironmentDialogValues CEnvironment::MakeDialogValues() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    const Settings& s = m_settings;
    SEnvironmentDialogValues v;
    v.constantVelocity = s.svpConstant;
    v.waterType = s.waterType;
    v.salinity = s.salinity;
    v.temperatureType = s.temperatureType;
    v.temperatureConstant = s.tempConstant;
    v.temperatureSensor = s.tempSensor;
    v.svpType = s.svpType;
    v.fileName = s.svpFileName;
    v.folder = s.svpFilePath;
    v.extension = s.svpFileExt;
    v.format = s.svpFormat;
    v.updateFlag = m_bUpdateFlag;
    v.probeVelocityText = CNumberText::Fixed(s.svpReal, 1);
    v.computedVelocityText = CNumberText::Fixed(s.svpComputed, 1);
    v.sensorAvailable = SensorValidLocked() ? TRUE : FALSE;
    if (!v.sensorAvailable)
        v.temperatureType = 0;
    return v;
}

void CEnvironment::TakeDialogValues(const SEnvironmentDialogValues& v)
{
    std::lock_guard<std::mutex> lock(m_lock);
    Settings& s = m_settings;
    s.svpConstant = v.constantVelocity;
    s.waterType = v.waterType;
    s.salinity = v.salinity;
    s.temperatureType = v.temperatureType;
    s.tempConstant = v.temperatureConstant;
    s.svpType = v.svpType;
    s.svpFileName = v.fileName;
    s.svpFilePath = v.folder;
    s.svpFileExt = v.extension;
    m_bUpdateFlag = v.updateFlag;
}

BOOL CEnvironment::RunDialog(SEnvironmentDialogValues& values)
{
    return m_dialog ? m_dialog(values) : FALSE;
}

void CEnvironment::FinishDialog()
{
    DWORD type;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_bForce = TRUE;
        RecomputeLocked();
        type = m_settings.svpType;
    }
    WriteSettings();
    if (type == SvpTypeProfile)
        ApplyProfileFile();
    else
        RecordConstant();
}

void CEnvironment::OnEnvironment()
{
    SEnvironmentDialogValues values = MakeDialogValues();
    if (!RunDialog(values))
        return;
    TakeDialogValues(values);
    FinishDialog();
}

BOOL CEnvironment::IsEnvironmentCommandEnabled(BOOL replaying) const
{
    return !replaying || GetUpdateFlag();
}

void CEnvironment::ApplyNewProfile()
{
    // The question, the dialog and an error box each run a message loop in
    // which the next profile's message is handled: it waits as the pending
    // profile (the newest) instead of opening a question inside this one.
    if (m_applyingNewProfile) {
        m_newProfileWhileApplying = true;
        return;
    }
    m_applyingNewProfile = true;
    m_newProfileWhileApplying = false;
    ApplyPendingProfile();
    m_applyingNewProfile = false;
    // A profile that came after the one applied (in an error box or the
    // dialog) is announced again.
    if (m_newProfileWhileApplying)
        PostMessage(GetMainWindow(), app::WM_ES_ENVIRONMENTCHANGED, 0, 0);
    m_newProfileWhileApplying = false;
}

void CEnvironment::ApplyPendingProfile()
{
    BOOL autoApply;
    std::string folder, name;
    DWORD format;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        autoApply = m_pendingAutoApply;
        folder = m_pendingFolder;
        name = m_pendingFileName;
        format = m_pendingFormat;
        m_pendingFormat = NoPendingFormat;
    }
    if (autoApply) {
        {
            std::lock_guard<std::mutex> lock(m_lock);
            m_settings.svpFilePath = folder;
            m_settings.svpFileName = name;
            // The file delivered is read by what it is (as its deliverer
            // says, else by its extension), whatever format the previous
            // profile had.
            m_settings.svpFileExt = ExtensionOf(name);
            m_settings.svpFormat = format != NoPendingFormat ? format : FormatFromExtension(m_settings.svpFileExt);
        }
        WriteSettings();
        ApplyProfileFile();
        return;
    }
    int answer = MessageBox(GetMainWindow(), "A new Sound Velocity Profile was loaded.  \nApply it now ?\n", "",
                            MB_YESNO | MB_ICONQUESTION);
    // Yes is for the newest profile that waited while the question was open;
    // No declines it with the rest.
    {
        std::lock_guard<std::mutex> lock(m_lock);
        folder = m_pendingFolder;
        name = m_pendingFileName;
        m_pendingFormat = NoPendingFormat;
    }
    m_newProfileWhileApplying = false;
    if (answer != IDYES)
        return;
    SEnvironmentDialogValues values = MakeDialogValues();
    values.folder = folder;
    values.fileName = name;
    values.extension = ExtensionOf(name);
    values.svpType = SvpTypeProfile;
    if (!RunDialog(values))
        return;
    TakeDialogValues(values);
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_settings.svpFormat = FormatFromExtension(m_settings.svpFileExt);
    }
    FinishDialog();
}

// ---------------------------------------------------------------------------
// Wiring

void CEnvironment::SetChannelDepthSource(std::function<double()> source)
{
    m_depthSource = std::move(source);
}

void CEnvironment::SetProfileSinks(std::function<void(const std::string&, ULONGLONG)> sendToOutputs,
                                   std::function<void(const std::string&, ULONGLONG)> recordText)
{
    m_sendToOutputs = std::move(sendToOutputs);
    m_recordText = std::move(recordText);
}

void CEnvironment::SetDialogRunner(std::function<BOOL(SEnvironmentDialogValues&)> runner)
{
    m_dialog = std::move(runner);
}

void CEnvironment::SetModelCode(SounderModel model)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_modelCode = model;
}

// ---------------------------------------------------------------------------
// Registry

namespace {

constexpr const char* SettingsKey = "Environment";

}  // namespace

void CEnvironment::ReadSettings()
{
    CRegistrySupport reg;
    const HKEY root = CRegistrySupport::UserRootKey();
    if (HKEY user = reg.OpenKey(root, std::string(SettingsKey) + "\\User", TRUE))
        reg.CloseKey(user);

    Settings s;
    s.svpFilePath = DefaultFolder();
    auto dword = [&](const char* name, DWORD& value) { reg.GetDword(root, SettingsKey, name, value, TRUE); };
    auto text = [&](const char* name, std::string& value) { reg.GetString(root, SettingsKey, name, value, TRUE); };
    // A stored text that reads as no finite number ("nan", "inf") would
    // poison every depth; the default stands instead.
    auto number = [&](const char* name, double& value) {
        double read = value;
        if (reg.GetDouble(root, SettingsKey, name, read, TRUE) && std::isfinite(read))
            value = read;
    };
    dword("dwSvpType", s.svpType);
    number("SvpConstant", s.svpConstant);
    number("SvpComputed", s.svpComputed);
    number("SvpConstFromFile", s.svpConstFromFile);
    number("SvpReal", s.svpReal);
    dword("dwWaterType", s.waterType);
    number("Salinity", s.salinity);
    dword("TemperatureType", s.temperatureType);
    number("TempConstant", s.tempConstant);
    number("TempSensor", s.tempSensor);
    number("Ph", s.ph);
    number("Depth", s.depth);
    text("SvpFileName", s.svpFileName);
    dword("SvpFormat", s.svpFormat);
    text("SvpFileExt", s.svpFileExt);
    text("SvpFilePath", s.svpFilePath);
    if (s.tempSensor < 0.0 || s.tempSensor > 30.0)
        s.tempSensor = 10.0;

    std::lock_guard<std::mutex> lock(m_lock);
    m_settings = s;
}

void CEnvironment::WriteSettings()
{
    const HKEY root = CRegistrySupport::UserRootKey();
    if (!root)
        return;
    Settings s = GetSettings();
    CRegistrySupport reg;
    reg.SetDword(root, SettingsKey, "dwSvpType", s.svpType);
    reg.SetDouble(root, SettingsKey, "SvpConstant", s.svpConstant);
    reg.SetDouble(root, SettingsKey, "SvpComputed", s.svpComputed);
    reg.SetDouble(root, SettingsKey, "SvpConstFromFile", s.svpConstFromFile);
    reg.SetDouble(root, SettingsKey, "SvpReal", s.svpReal);
    reg.SetDword(root, SettingsKey, "dwWaterType", s.waterType);
    reg.SetDouble(root, SettingsKey, "Salinity", s.salinity);
    reg.SetDword(root, SettingsKey, "TemperatureType", s.temperatureType);
    reg.SetDouble(root, SettingsKey, "TempConstant", s.tempConstant);
    reg.SetDouble(root, SettingsKey, "TempSensor", s.tempSensor);
    reg.SetDouble(root, SettingsKey, "Ph", s.ph);
    reg.SetDouble(root, SettingsKey, "Depth", s.depth);
    reg.SetString(root, SettingsKey, "SvpFileName", s.svpFileName);
    reg.SetDword(root, SettingsKey, "SvpFormat", s.svpFormat);
    reg.SetString(root, SettingsKey, "SvpFileExt", s.svpFileExt);
    reg.SetString(root, SettingsKey, "SvpFilePath", s.svpFilePath);
}
