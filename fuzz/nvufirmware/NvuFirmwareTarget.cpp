// A wide-band unit's version answer text as the firmware check reads it:
// the firmware name after "Firmware Filename:", and the date its title
// carries, which must be a real day of a year from 2000 on.
#include "fuzz/support/FuzzEnvironment.h"

#include "transceivers/NvuFirmware.h"

#include <cstdint>
#include <ctime>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CFuzzEnvironment::Get().ForgetMessageBoxes();
    const std::string text(reinterpret_cast<const char*>(data), size);
    for (const auto& title : {CNvuFirmware::UnitFirmwareName(text), std::optional<std::string>(text)}) {
        if (!title)
            continue;
        if (const auto date = CNvuFirmware::TitleDate(*title)) {
            std::tm local{};
            // A real day from 2000 on (its hour may differ where midnight falls in a clock change).
            if (!localtime_r(&*date, &local) || local.tm_year < 100 || local.tm_mday < 1 || local.tm_mday > 31)
                __builtin_trap();
        }
    }
    return 0;
}
