// What the installation hands every transceiver object about the installed
// units and their channels.
#pragma once

#include "base/ModelCodes.h"

#include <cstdint>
#include <string>

struct InstalledTransceiverInfo
{
    TransceiverType type = TransceiverType::HXU;
    std::uint32_t unitAddress = 0;  // IPv4 address as a number
    std::uint16_t cardValue = 0;    // DRU: leading number of the version text
    int channelCount = 0;
    std::string transceiverId;
    std::string localPcIp;
};

struct TransceiverChannelRecord
{
    int channelNo = 0;
    std::string description;
    std::string transducerName;
    double frequency = 0.0;  // Hz
    int frequencyKHz = 0;
    int beamType = 0;
    double txPowerMin = 0.0, txPowerMed = 0.0, txPowerMax = 0.0;
    double txPower = 0.0;
    double txPowerMaxNominal = 0.0;
    double sampleInterval[5] = {};
    double pulseLength[5] = {};
    double gain[5] = {};
    double twoWayBeamAngle = 0.0;
    double angleSensitivityAlongship = 0.0, angleSensitivityAthwartship = 0.0;
    double beamWidthAlongship = 0.0, beamWidthAthwartship = 0.0;
    double offsetAlongship = 0.0, offsetAthwartship = 0.0;
    double bandwidth = 0.0;
    std::string powerTranslationFile;
    std::string slave;
    double transducerImpedance = 0.0;
    double fpaDecimation = 0.0;
    int fpaFilterLength = 0;
};
