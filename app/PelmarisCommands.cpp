// Menu commands of the application object and the routing of commands.
#include "app/Pelmaris.h"
#include "base/DepthUnit.h"
#include "base/RegistrySupport.h"
#include "base/TemperatureUnit.h"

namespace app {

bool CPelmaris::RouteCommand(unsigned id)
{
    for (ICommandTarget* target : commandTargets)
        if (target && target->OnCommand(id))
            return true;
    return OnCommand(id);
}

bool CPelmaris::RouteUpdate(CCmdUI& ui)
{
    for (ICommandTarget* target : commandTargets)
        if (target && target->OnUpdateCommand(ui))
            return true;
    return OnUpdateCommand(ui);
}

namespace {

// The settings dialog command of each sensor object.
struct SensorCommand
{
    unsigned id;
    SensorId sensor;
    bool notWhileReplaying;
};

constexpr SensorCommand kSensorCommands[] = {
    {cmd::NAVIGATION, SensorId::Navigation, false},
    {cmd::PURSE_SEINE, SensorId::PurseSeine, true},
    {cmd::TRAWL, SensorId::Trawl, true},
    {cmd::HEAVE, SensorId::Heave, false},
    {cmd::TEMPERATURE, SensorId::Temperature, false},
    {cmd::HEADING, SensorId::Heading, false},
    {cmd::NMEA_DEPTH, SensorId::NmeaDepth, false},
    {cmd::LOBE, SensorId::Lobe, false},
    {cmd::LX750, SensorId::LX750, false},
    {cmd::FISH, SensorId::Fish, false},
    {cmd::SERIAL_INTERFACE, SensorId::SerialOutput, false},
    {cmd::NETWORK_INTERFACE, SensorId::NetworkOutput, false},
    {cmd::REMOTE_DISPLAY, SensorId::RemoteDisplay, false},
    {cmd::RAW_DATA, SensorId::RawDataOutput, false},
    {cmd::SVP_DIALOG, SensorId::SvpProbe, true},
    {cmd::HW_STATUS, SensorId::HardwareStatus, false},
};

const SensorCommand* FindSensorCommand(unsigned id)
{
    for (const auto& c : kSensorCommands)
        if (c.id == id)
            return &c;
    return nullptr;
}

}  // namespace

bool CPelmaris::OnSensorCommand(unsigned id)
{
    const SensorCommand* sc = FindSensorCommand(id);
    if (!sc)
        return false;
    // Each object opens its own dialog.
    if (CSensorObject* object = SensorObject(sc->sensor); object && object->HasSettingsDialog())
        object->RunSettingsDialog();
    return true;
}

bool CPelmaris::OnUpdateSensorCommand(CCmdUI& ui)
{
    const SensorCommand* sc = FindSensorCommand(ui.id);
    if (!sc)
        return false;
    const CSensorObject* object = SensorObject(sc->sensor);
    ui.Enable(object && object->HasSettingsDialog() && !(sc->notWhileReplaying && IsReplaying()));
    return true;
}

bool CPelmaris::OnCommand(unsigned id)
{
    if (id == cmd::STOP_SOUNDER) {
        m_operation->PostStop(0);
        return true;
    }
    if (id >= cmd::DEPTH_UNIT_FIRST && id <= cmd::DEPTH_UNIT_LAST) {
        const int unit = static_cast<int>(id - cmd::DEPTH_UNIT_FIRST);
        CDepthUnit::SetUnit(unit);
        WriteDword("Units", "Depth", static_cast<DWORD>(unit));
        return true;
    }
    if (id >= cmd::TEMP_UNIT_FIRST && id <= cmd::TEMP_UNIT_LAST) {
        const int unit = static_cast<int>(id - cmd::TEMP_UNIT_FIRST);
        CTemperatureUnit::SetUnit(unit);
        WriteDword("Units", "Temperature", static_cast<DWORD>(unit));
        return true;
    }
    if (OnSensorCommand(id))
        return true;
    switch (id) {
    case cmd::HISTORY:
        if (!m_host->HasHistoryDialog())
            return true;
        m_host->OpenHistoryDialog();
        // The dialog's pictures may have changed what the screen shows.
        if (m_frame)
            m_frame->ApplyColourScheme(m_frame->GetColourScheme());
        return true;
    case cmd::SECOND_LAYER:
        if (!m_host->HasEngineExtra(id))
            return true;
        secondLayer = !secondLayer;
        m_host->SetSecondLayer(secondLayer != 0);
        return true;
    case cmd::EXP_CALCULATION:
        if (!m_host->HasEngineExtra(id))
            return true;
        expCalculation = !expCalculation;
        m_host->SetExpCalculation(expCalculation != 0);
        return true;
    case cmd::FREQ_SWEEP:
        if (m_host->HasEngineExtra(id))
            m_host->FrequencySweep();
        return true;
    case cmd::DEBUG_TRACE:
        if (m_frame) {
            auto switches = debugTrace;
            if (m_frame->RunDebugTraceDialog(switches))
                debugTrace = switches;
        }
        return true;
    case cmd::LANGUAGE:
        if (m_frame) {
            unsigned language = m_language;
            if (m_frame->RunLanguageDialog(language) && language != m_language)
                ChangeLanguage(language);
        }
        return true;
    case cmd::ABOUT:
        if (m_frame)
            m_frame->RunAboutBox();
        return true;
    case cmd::HELP_FINDER:
        m_help->ShowHelp(0, CHelp::HELP_FINDER);
        return true;
    default:
        return false;
    }
}

bool CPelmaris::OnUpdateCommand(CCmdUI& ui)
{
    const unsigned id = ui.id;
    if (id == cmd::STOP_SOUNDER) {
        ui.Enable(GetEchoSounder() != nullptr);
        return true;
    }
    if (id == cmd::HISTORY) {
        ui.Enable(m_host->HasHistoryDialog());
        return true;
    }
    if (id == cmd::SECOND_LAYER) {
        ui.Enable(GetEchoSounder() != nullptr && m_host->HasEngineExtra(id));
        ui.SetCheck(secondLayer != 0);
        return true;
    }
    if (id == cmd::EXP_CALCULATION || id == cmd::FREQ_SWEEP) {
        ui.Enable(m_host->HasEngineExtra(id));
        if (id == cmd::EXP_CALCULATION)
            ui.SetCheck(expCalculation != 0);
        return true;
    }
    if (id >= cmd::DEPTH_UNIT_FIRST && id <= cmd::DEPTH_UNIT_LAST) {
        const int unit = static_cast<int>(id - cmd::DEPTH_UNIT_FIRST);
        ui.SetText(CDepthUnit::GetUnitName(unit));
        ui.SetCheck(CDepthUnit::GetUnit() == unit);
        return true;
    }
    if (id >= cmd::TEMP_UNIT_FIRST && id <= cmd::TEMP_UNIT_LAST) {
        const int unit = static_cast<int>(id - cmd::TEMP_UNIT_FIRST);
        ui.SetText(CTemperatureUnit::GetUnitName(unit));
        ui.SetCheck(CTemperatureUnit::GetUnit() == unit);
        return true;
    }
    if (OnUpdateSensorCommand(ui))
        return true;
    switch (id) {
    case cmd::DEBUG_TRACE:
    case cmd::LANGUAGE:
    case cmd::ABOUT:
    case cmd::HELP_FINDER:
        ui.Enable(m_frame != nullptr || id == cmd::HELP_FINDER);
        return true;
    default:
        return false;
    }
}

}  // namespace app
