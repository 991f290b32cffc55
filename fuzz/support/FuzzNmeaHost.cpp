#include "fuzz/support/FuzzNmeaHost.h"

#include "fuzz/support/FuzzInput.h"

#include <string>

CFuzzNmeaHost::CFuzzNmeaHost(CFuzzInput& input)
{
    const std::uint8_t sources = input.Byte();
    const std::uint8_t flags = input.Byte();
    const std::uint8_t fields = input.Byte();
    const std::uint8_t limits = input.Byte();
    m_settings.PositionSource = sources % 3;
    m_settings.ClockSource = sources / 3 % 3;
    m_settings.SpeedType = sources / 9 % 3;
    m_settings.UseAutoZda = sources >> 7;
    m_sounder = flags & 1;
    m_recorder = flags & 2;
    m_clockRequest = flags & 4;
    m_annotations = flags & 8;
    m_model = static_cast<SounderModel>(flags >> 4 & 7) == SounderModel::QYNVU
                  ? SounderModel::QYNVU
                  : static_cast<SounderModel>(flags >> 4 & 3);
    m_settings.FieldSeparator = flags & 0x80 ? ";" : ",";
    m_settings.StartField = fields & 15;
    m_settings.NoOfFields = fields >> 4;
    m_settings.GGA_QI = limits & 3;
    m_settings.GGA_NoOfSat = limits >> 2 & 7;
    m_settings.GGA_HorDil = limits >> 5;
    m_settings.Latency = limits;
    m_settings.AntennaHeight = 12.5;
    m_settings.StartSequence = std::string(input.Until('\n'));
    m_external.SetSourceName(0, CExternalDepth::kGeoSource);
    m_geographic.EnsureHistoryLength(50);
}

bool CFuzzNmeaHost::GetNavigationSettings(SNavigationSettings& settings)
{
    settings = m_settings;
    return true;
}

bool CFuzzNmeaHost::GetNavigationAnnotation(std::uint32_t& interval)
{
    interval = 2;
    return m_annotations;
}

void CFuzzNmeaHost::QueryHistory(std::uint64_t from, std::uint64_t to)
{
    const std::uint64_t step = (to - from) / 8 + 1;
    for (std::uint64_t t = from; t <= to + step; t += step) {
        m_geographic.AddPing(t);
        double first = 0.0, second = 0.0;
        m_geographic.GetHeadingAtTime(t);
        m_geographic.GetPositionAtTime(t, first, second);
    }
    std::string name;
    m_external.GetSourceDepth(0, name);
    m_external.GetCurrentDepth();
}
