// The recorder's settings, one registry value each under the key "Store".
#pragma once

#include "base/ModelCodes.h"
#include "platform/Registry.h"

#include <cstdint>
#include <string>

namespace zv::recording {

struct SStoreSettings
{
    std::string filePath;                  // empty: the model's data folder
    std::uint32_t maxFileSize = 99614720;  // 95 MiB
    std::uint32_t lineNumber = 0;          // 0..9999
    std::uint32_t lineIncrease = 1;
    std::uint32_t lineActive = 0;
    std::uint32_t localTime = 0;
    std::uint32_t saveRawData = 0;
    std::uint32_t saveOutData = 0;
    std::uint32_t echogram[4] = {0, 0, 0, 0};
    std::uint32_t out[4] = {0, 0, 0, 0};
    std::uint32_t geoRef = 0;
    std::uint32_t txt = 0;
    std::uint32_t xyz[4] = {0, 0, 0, 0};
    std::uint32_t saveXyzData = 0;
    std::uint32_t saveEchogramData = 0;
    double echogramRangeSurface = 250.0;
    double echogramRangeSurfaceStart = 0.0;
    double echogramRangeBottom = 25.0;
    double echogramRangeBottomStart = 15.0;
    std::uint32_t echogramSurfaceCount = 250;
    std::uint32_t echogramBottomCount = 500;
    std::uint32_t tvgType = 3;
    std::uint32_t saveXtfData = 0;
    std::uint32_t addNmeaDepth = 0;
    std::uint32_t nmeaChannel = 0;

    // The data folder of a model when FilePath is empty.
    static std::string DefaultFolder(SounderModel model);

    // Reads every value under parent\"Store", writing back the default of
    // each one that is missing. A fixed-name recorder takes MaxFileSize from
    // parent\"Store\User" and leaves the rest at the defaults.
    static SStoreSettings Load(HKEY parent, SounderModel model, bool fixedName);
    // Writes every value back; false when any write failed.
    bool Save(HKEY parent) const;
};

}  // namespace zv::recording
