#include "transceivers/TrList.h"

#include <cstdio>

void CTrList::FormatDescription(const std::string* text, TransceiverType type)
{
    if (text) {
        description = *text;
        return;
    }
    // "%3.0f" of a number and "%X"/"%d" of integers are locale independent.
    const double kHz = frequency / 1000.0;
    char buf[512];
    switch (type) {
    case TransceiverType::HXU:
        std::snprintf(buf, sizeof buf, "HXU %3.0f kHz %s %d %s", kHz, ethernetAddress.c_str(), channelNo,
                      transducerName.c_str());
        break;
    case TransceiverType::DRU:
        std::snprintf(buf, sizeof buf, "DRU %3.0f kHz A%X-D%d-I%d %d %s", kHz, static_cast<unsigned>(ioAddress),
                      dmaChannel, irq, channelNo, transducerName.c_str());
        break;
    case TransceiverType::NVU:
        std::snprintf(buf, sizeof buf, "NVU %3.0f kHz %s %d %s", kHz, ethernetAddress.c_str(), channelNo,
                      transducerName.c_str());
        break;
    case TransceiverType::QY42:
        std::snprintf(buf, sizeof buf, "QY42 %3.0f kHz %s %d %s", kHz, ethernetAddress.c_str(), channelNo,
                      transducerName.c_str());
        break;
    case TransceiverType::GEO:
        std::snprintf(buf, sizeof buf, "GEO %3.0f kHz %s %d %s", kHz, ethernetAddress.c_str(), channelNo,
                      transducerName.c_str());
        break;
    default:
        return;
    }
    description = buf;
}
