#include "engine/Fish.h"

#include "engine/DetectionDialogs.h"

#include <cmath>

namespace {

constexpr double kConvert[CFish::kSpeciesCount] = {-62.0, -63.0, -71.0, -86.0};

// A value read from the registry that is not a number would turn every
// length into NaN: the default stands instead.
void ReadDouble(CRegistrySupport& reg, HKEY key, const char* name, double& value)
{
    double v = value;
    if (reg.GetDouble(key, "", name, v, TRUE) && std::isfinite(v))
        value = v;
}

}  // namespace

double CFish::ConvertValueOf(int type)
{
    return (type >= 0 && type < kSpeciesCount) ? kConvert[type] : kDefaultConvert;
}

CFish::CFish(HKEY userRoot, IDetectionDialogs* dialogs) : m_dialogs(dialogs), m_root(userRoot)
{
    if (m_root != nullptr) {
        HKEY key = m_registry.OpenKey(m_root, kKeyName, TRUE);
        m_key = (key == m_root) ? nullptr : key;
    }
    if (m_key != nullptr)
        LoadSettings(m_key);
}

CFish::~CFish()
{
    if (m_key != nullptr)
        m_registry.CloseKey(m_key);
}

double* CFish::OffsetSlot(int type)
{
    switch (type) {
    case Whitefish:
        return &m_whitefishOffset;
    case Herring:
        return &m_herringOffset;
    case Anchovy:
        return &m_anchovyOffset;
    case Mackerel:
        return &m_mackerelOffset;
    default:
        return nullptr;
    }
}

double CFish::GetOffset(int type) const
{
    switch (type) {
    case Whitefish:
        return m_whitefishOffset;
    case Herring:
        return m_herringOffset;
    case Anchovy:
        return m_anchovyOffset;
    case Mackerel:
        return m_mackerelOffset;
    default:
        return 0.0;
    }
}

void CFish::LoadSettings(HKEY key)
{
    if (key == nullptr)
        return;
    DWORD type = static_cast<DWORD>(m_type);
    if (m_registry.GetDword(key, "", "Type", type, TRUE))
        m_type = static_cast<std::int32_t>(type);
    ReadDouble(m_registry, key, "ConvertValue", m_convertValue);
    ReadDouble(m_registry, key, "WhitefishOffset", m_whitefishOffset);
    ReadDouble(m_registry, key, "HerringOffset", m_herringOffset);
    ReadDouble(m_registry, key, "AnchovyOffset", m_anchovyOffset);
    ReadDouble(m_registry, key, "MackerelOffset", m_mackerelOffset);
    m_currentOffset = GetOffset(m_type);
}

void CFish::SaveSettings(HKEY key)
{
    if (key == nullptr)
        return;
    m_registry.SetDword(key, "", "Type", static_cast<DWORD>(m_type));
    m_registry.SetDouble(key, "", "ConvertValue", m_convertValue);
    m_registry.SetDouble(key, "", "WhitefishOffset", m_whitefishOffset);
    m_registry.SetDouble(key, "", "HerringOffset", m_herringOffset);
    m_registry.SetDouble(key, "", "AnchovyOffset", m_anchovyOffset);
    m_registry.SetDouble(key, "", "MackerelOffset", m_mackerelOffset);
}

BOOL CFish::ShowDialog()
{
    if (m_dialogs) {
        DialogValues v;
        v.Type = m_type;
        for (int t = 0; t < kSpeciesCount; ++t)
            v.Offsets[static_cast<std::size_t>(t)] = GetOffset(t);
        if (m_dialogs->RunFish(v)) {
            m_type = v.Type;
            for (int t = 0; t < kSpeciesCount; ++t)
                if (std::isfinite(v.Offsets[static_cast<std::size_t>(t)]))
                    *OffsetSlot(t) = v.Offsets[static_cast<std::size_t>(t)];
            m_convertValue = ConvertValueOf(m_type);
            m_currentOffset = GetOffset(m_type);
        }
    }
    if (m_key == nullptr)
        return FALSE;
    SaveSettings(m_key);
    return TRUE;
}

double CFish::LengthFromTs(double ts, double constant)
{
    return std::pow(10.0, (ts - constant) / 20.0);
}

double CFish::GetLength(double ts) const
{
    return LengthFromTs(ts, GetConstant());
}
