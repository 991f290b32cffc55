#include "transceivers/TrList.h"

#include <cstdio>

void CTrList::FormatDescription(const std::string* text, int typeCode)
{
    if (text) {
        description = *text;
        return;
    }
    // "%3.0f" of a number and "%X"/"%d" of integers are locale independent.
    const double kHz = frequency / 1000.0;
    char buf[512];
    switch (typeCode) {
    case kTypeHXU:
        std::snprintf(buf, sizeof buf, "HXU %3.0f kHz %s %d %s", kHz, ethernetAddress.c_str(), channelNo,
                      transducerName.c_str());
        break;
    case kTypeDRU:
        std::snprintf(buf, sizeof buf, "DRU %3.0f kHz A%X-D%d-I%d %d %s", kHz, static_cast<unsigned>(ioAddress),
                      dmaChannel, irq, channelNo, transducerName.c_str());
        break;
    case kTypeNVU:
        std::snprintf(buf, sizeof buf, "NVU %3.0f kHz %s %d %s", kHz, ethernetAddress.c_str(), channelNo,
                      transducerName.c_str());
        break;
    case kTypeQY42:
        std::snprintf(buf, sizeof buf, "QY42 %3.0f kHz %s %d %s", kHz, ethernetAddress.c_str(), channelNo,
                      transducerName.c_str());
        break;
    case kTypeGEO:
        std::snprintf(buf, sizeof buf, "GEO %3.0f kHz %s %d %s", kHz, ethernetAddress.c_str(), channelNo,
                      transducerName.c_str());
        break;
    default:
        return;
    }
    description = buf;
}
