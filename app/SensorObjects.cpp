#include "app/SensorObjects.h"

#include "app/Pelmaris.h"

namespace app {

const std::vector<SensorObjectRow>& SensorObjectTable()
{
    // Rows without create() are objects of later subsystems that do not
    // exist yet. Add the functions here when the object lands.
    static const std::vector<SensorObjectRow> table = [] {
        std::vector<SensorObjectRow> t;
        auto row = [&t](SensorId id, const char* name, unsigned models, const char* key) -> SensorObjectRow& {
            SensorObjectRow r;
            r.id = id;
            r.name = name;
            r.models = models;
            r.installedKey = key;
            t.push_back(std::move(r));
            return t.back();
        };
        row(SensorId::Navigation, "navigation", kAllModels, "Navigation").sourceList = &CPelmaris::FillChannelList;
        row(SensorId::PurseSeine, "purse seine", kAllModels, "PurseSeine").sourceList =
            &CPelmaris::UpdatePurseSeineChannelList;
        row(SensorId::Trawl, "trawl", kTrawlModels, "Trawl").sourceList = &CPelmaris::UpdateTrawlChannelList;
        row(SensorId::Heave, "heave", kAllModels, "Heave").sourceList = &CPelmaris::UpdateHeaveSourceList;
        row(SensorId::GeographicInfo, "geographic history", kAllModels, nullptr);
        row(SensorId::Heading, "heading", kAllModels, "GyroCompass");
        {
            SensorObjectRow& temperature = row(SensorId::Temperature, "water temperature", kAllModels, "Temperature");
            temperature.keepOnSetupFailure = true;
            temperature.sourceList = &CPelmaris::UpdateTemperatureSourceList;
        }
        row(SensorId::HardwareStatus, "hardware status", kAllModels, nullptr).sourceList =
            &CPelmaris::UpdateHardwareStatusSourceList;
        row(SensorId::NmeaDepth, "NMEA depth", kAllModels, "NMEADepth");
        row(SensorId::Lobe, "lobe interface", kLobeModels, nullptr);
        row(SensorId::LX750, "post-processing output", kTrawlModels, nullptr);
        row(SensorId::Fish, "fish size output", kFishModels, nullptr);
        row(SensorId::NetworkOutput, "network output", kQYModels, nullptr);
        row(SensorId::SerialOutput, "serial output", kQYModels, "SerialIO").deferredSetup = true;
        row(SensorId::RemoteDisplay, "remote display", kQYModels, "RemoteDisplay").deferredSetup = true;
        row(SensorId::RawDataOutput, "raw-data output", kQYModels, nullptr);
        row(SensorId::RemoteControl, "remote control", kQYModels, nullptr);
        row(SensorId::SvpProbe, "sound velocity probe", kQYModels, "SvpProbe");
        return t;
    }();
    return table;
}

const std::vector<SensorId>& SensorCloseOrder()
{
    static const std::vector<SensorId> order{
        SensorId::Navigation,    SensorId::PurseSeine,     SensorId::Trawl,    SensorId::Heave,
        SensorId::Heading,       SensorId::Temperature,    SensorId::Lobe,     SensorId::SerialOutput,
        SensorId::RemoteDisplay, SensorId::GeographicInfo, SensorId::SvpProbe, SensorId::HardwareStatus,
        SensorId::NmeaDepth,
    };
    return order;
}

const std::vector<SensorId>& SensorDestroyOrder()
{
    static const std::vector<SensorId> order{
        SensorId::LX750,         SensorId::Fish,          SensorId::NetworkOutput,
        SensorId::SerialOutput,  SensorId::RemoteDisplay, SensorId::RawDataOutput,
        SensorId::RemoteControl, SensorId::SvpProbe,      SensorId::HardwareStatus,
    };
    return order;
}

}  // namespace app
