// The sensor and output objects the application object creates at start-up
// and closes at shutdown, kept as data: the creation table (order, models,
// checked set-up, settings key, what follows) and the close order. Each
// engineer who builds one of these objects fills in its row in
// SensorObjects.cpp; until then the row has no factory and the object is
// absent, which every user of it already allows.
#pragma once

#include "app/base/AppIds.h"
#include "platform/Registry.h"

#include <array>
#include <functional>
#include <string>
#include <vector>

namespace app {

class CPelmaris;

enum class SensorId : int {
    Navigation,
    PurseSeine,
    Trawl,
    Heave,
    GeographicInfo,
    Heading,
    Temperature,
    HardwareStatus,
    NmeaDepth,
    Lobe,
    LX750,
    Fish,
    NetworkOutput,
    SerialOutput,
    RemoteDisplay,
    RawDataOutput,
    RemoteControl,
    SvpProbe,
    Count
};
inline constexpr std::size_t kSensorCount = static_cast<std::size_t>(SensorId::Count);

// Model masks.
inline constexpr unsigned ModelBit(SounderType t) { return 1u << static_cast<unsigned>(t); }
inline constexpr unsigned kAllModels = 0x3F;
inline constexpr unsigned kTrawlModels = ModelBit(kRM30) | ModelBit(kTQ30) | ModelBit(kTOTAL);
inline constexpr unsigned kLobeModels = ModelBit(kTQ30) | ModelBit(kTOTAL);
inline constexpr unsigned kFishModels = ModelBit(kRM30) | ModelBit(kTOTAL);
inline constexpr unsigned kQYModels = ModelBit(kQY210) | ModelBit(kQY310) | ModelBit(kQYNVU);

// One object's row. Every function gets the object create() returned.
struct SensorObjectRow {
    SensorId id;
    const char* name;
    unsigned models;
    // Sub-key of Sensors\Installed handed to the object, or null.
    const char* installedKey = nullptr;
    // Builds the object; null: not built yet.
    std::function<void*(CPelmaris&)> create;
    // The checked serial set-up: 0 on success; null: none. A failure closes
    // and deletes the object unless keepOnSetupFailure is set, which only
    // skips the key and what follows.
    std::function<long(void*)> setup;
    bool keepOnSetupFailure = false;
    // Set-up done later in the table (serial output, remote display).
    bool deferredSetup = false;
    std::function<void(void*, HKEY)> takeKey;
    std::function<void(void*, CPelmaris&)> start;
    // Close operation (null: deleted only) and delete.
    std::function<void(void*)> close;
    std::function<void(void*)> destroy;
};

// The creation table, in creation order.
const std::vector<SensorObjectRow>& SensorObjectTable();

// The order in which CloseSensors closes and deletes; objects not listed
// here are deleted by the application's destructor.
const std::vector<SensorId>& SensorCloseOrder();

// The order in which the destructor deletes what is left.
const std::vector<SensorId>& SensorDestroyOrder();

}  // namespace app
