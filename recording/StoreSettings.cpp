#include "recording/StoreSettings.h"

#include "base/RegistrySupport.h"
#include "platform/NumberText.h"

namespace zv::recording {

namespace {

constexpr const char* kStoreKey = "Store";
constexpr const char* kUserKey = "Store\\User";

// One table of every value, so loading and saving cannot drift apart.
template <class Settings, class Dword, class Double, class Text>
void ForEachValue(Settings& s, Dword dword, Double dbl, Text text)
{
    text("FilePath", s.filePath);
    dword("MaxFileSize", s.maxFileSize);
    dword("LineNumber", s.lineNumber);
    dword("LineIncrease", s.lineIncrease);
    dword("LineActive", s.lineActive);
    dword("LocalTime", s.localTime);
    dword("SaveRawData", s.saveRawData);
    dword("SaveOutData", s.saveOutData);
    for (int i = 0; i < 4; ++i)
        dword(CNumberText::Format("Echogram%d", i + 1), s.echogram[i]);
    for (int i = 0; i < 4; ++i)
        dword(CNumberText::Format("Out%d", i + 1), s.out[i]);
    dword("GeoRef", s.geoRef);
    dword("Txt", s.txt);
    for (int i = 0; i < 4; ++i)
        dword(CNumberText::Format("Xyz%d", i + 1), s.xyz[i]);
    dword("SaveXyzData", s.saveXyzData);
    dword("SaveEchogramData", s.saveEchogramData);
    dbl("EchogramRangeSurface", s.echogramRangeSurface);
    dbl("EchogramRangeSurfaceStart", s.echogramRangeSurfaceStart);
    dbl("EchogramRangeBottom", s.echogramRangeBottom);
    dbl("EchogramRangeBottomStart", s.echogramRangeBottomStart);
    dword("EchogramSurfaceCount", s.echogramSurfaceCount);
    dword("EchogramBottomCount", s.echogramBottomCount);
    dword("TVGType", s.tvgType);
    dword("SaveXTFData", s.saveXtfData);
    dword("AddNMEADepth", s.addNmeaDepth);
    dword("NMEAChannel", s.nmeaChannel);
}

}  // namespace

std::string SStoreSettings::DefaultFolder(SounderModel model)
{
    if (model == SounderModel::QY310)
        return "C:\\QY310\\data";
    if (model == SounderModel::QYNVU)
        return "C:\\QYNVU\\data";
    return "C:\\QY210\\data";
}

SStoreSettings SStoreSettings::Load(HKEY parent, SounderModel model, bool fixedName)
{
    SStoreSettings s;
    s.filePath = DefaultFolder(model);
    CRegistrySupport reg;
    if (fixedName) {
        DWORD v = s.maxFileSize;
        reg.GetDword(parent, kUserKey, "MaxFileSize", v, TRUE);
        s.maxFileSize = v;
        return s;
    }
    ForEachValue(
        s,
        [&](const std::string& name, std::uint32_t& v) {
            DWORD d = v;
            reg.GetDword(parent, kStoreKey, name, d, TRUE);
            v = d;
        },
        [&](const std::string& name, double& v) { reg.GetDouble(parent, kStoreKey, name, v, TRUE); },
        [&](const std::string& name, std::string& v) { reg.GetString(parent, kStoreKey, name, v, TRUE); });
    if (s.filePath.empty())
        s.filePath = DefaultFolder(model);
    // A line number outside 0..9999 cannot come from the program itself.
    if (s.lineNumber > 9999)
        s.lineNumber = 0;
    if (s.nmeaChannel > 3)
        s.nmeaChannel = 0;
    return s;
}

bool SStoreSettings::Save(HKEY parent) const
{
    CRegistrySupport reg;
    bool ok = true;
    ForEachValue(
        *this,
        [&](const std::string& name, const std::uint32_t& v) {
            ok &= reg.SetDword(parent, kStoreKey, name, v) != FALSE;
        },
        [&](const std::string& name, const double& v) { ok &= reg.SetDouble(parent, kStoreKey, name, v) != FALSE; },
        [&](const std::string& name, const std::string& v) {
            ok &= reg.SetString(parent, kStoreKey, name, v) != FALSE;
        });
    return ok;
}

}  // namespace zv::recording
