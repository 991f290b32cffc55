// The sensor and output objects the application object creates at start-up
// and closes at shutdown, kept as data: the creation table (order, models,
// settings key, deferred set-up) and the close order. The program's
// composition root gives each row whose object exists its factory; a row
// without one is an object not built yet, absent for the run, which every
// user of it already allows.
#pragma once

#include "app/SensorObject.h"
#include "base/AppIds.h"
#include "platform/Registry.h"

#include <array>
#include <functional>
#include <memory>
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
inline constexpr unsigned ModelBit(SounderModel t)
{
    return 1u << static_cast<unsigned>(t);
}
inline constexpr unsigned kAllModels = 0x3F;
inline constexpr unsigned kTrawlModels =
    ModelBit(SounderModel::RM30) | ModelBit(SounderModel::TQ30) | ModelBit(SounderModel::TOTAL);
inline constexpr unsigned kLobeModels = ModelBit(SounderModel::TQ30) | ModelBit(SounderModel::TOTAL);
inline constexpr unsigned kFishModels = ModelBit(SounderModel::RM30) | ModelBit(SounderModel::TOTAL);
inline constexpr unsigned kQYModels =
    ModelBit(SounderModel::QY210) | ModelBit(SounderModel::QY310) | ModelBit(SounderModel::QYNVU);

// One object's row: when it is made and what it is given. What the object
// does at each step is its own (CSensorObject).
struct SensorObjectRow
{
    SensorId id;
    const char* name;
    unsigned models;
    // Sub-key of Sensors\Installed handed to the object, or null.
    const char* installedKey = nullptr;
    // Builds the object; null: not built yet, and the object is absent.
    std::function<std::unique_ptr<CSensorObject>(CPelmaris&)> create;
    // A failed set-up closes and deletes the object unless this is set,
    // which only skips the key and what follows.
    bool keepOnSetupFailure = false;
    // Set-up done later in the table (serial output, remote display).
    bool deferredSetup = false;
    // The application's list builder run once the object has started
    // (CPelmaris::FillChannelList and its twins), or null.
    void (CPelmaris::*sourceList)() = nullptr;
};

// The creation table, in creation order.
const std::vector<SensorObjectRow>& SensorObjectTable();

// The order in which CloseSensors closes and deletes; objects not listed
// here are deleted by the application's destructor.
const std::vector<SensorId>& SensorCloseOrder();

// The order in which the destructor deletes what is left.
const std::vector<SensorId>& SensorDestroyOrder();

}  // namespace app
