// One channel of one transceiver as the installation knows it: where the
// unit is, what it is, which transducer is chosen and the constants of both.
#pragma once

#include "base/ModelCodes.h"
#include "platform/WinTypes.h"

#include <cstdint>
#include <string>
#include <vector>

class CTrList
{
public:
    CTrList() = default;
    virtual ~CTrList() = default;
    CTrList(const CTrList&) = default;
    CTrList& operator=(const CTrList&) = default;

    std::string information;
    std::string description;
    std::string transceiverId;
    std::string transducerName;
    std::uint32_t unitAddress = 0;
    int channelNo = 0;
    int beamType = 0;
    TransceiverType type = TransceiverType::HXU;
    double frequency = 0.0;
    double txPower = 0.0;
    std::string hwVersion;
    int marketSegment = 0;
    std::string ethernetAddress;
    int installed = 0;
    int remove = 0;
    std::vector<std::string> transducerChoices;
    double frequencyKHz = 0.0;
    double bandwidth = 0.0;
    double fpaDec = 0.0;
    int fpaFilterLength = 0;
    std::string sampleInterval;
    std::string minMedMaxTxPower;
    std::string minMedMaxPulseLength;
    std::string gain;
    double twoWayBeamAngle = 0.0;
    double angleSensitivityAlongship = 0.0;
    double angleSensitivityAthwartship = 0.0;
    double offsetAlongship = 0.0;
    double offsetAthwartship = 0.0;
    double beamWidthAlongship = 0.0;
    double beamWidthAthwartship = 0.0;
    double transducerImpedance = 0.0;
    int found = 0;
    int ioAddress = 0;
    int dmaChannel = 0;
    int irq = 0;
    std::string powerTranslationFile;
    std::string transducerSetting;
    std::string slave;
    std::string localPcIp;

    void SetInformation(const std::string* text) { information = text ? *text : std::string(); }
    void SetStringList(const std::vector<std::string>* list)
    {
        if (list)
            transducerChoices = *list;
    }
    void FormatDescription(const std::string* text, TransceiverType type);

    void SetTransceiverId(const std::string& v) { transceiverId = v; }
    void SetTransducerName(const std::string& v) { transducerName = v; }
    void SetUnitAddress(std::uint32_t v) { unitAddress = v; }
    void SetChannelNo(int v) { channelNo = v; }
    void SetBeamType(int v) { beamType = v; }
    void SetType(TransceiverType v) { type = v; }
    void SetFrequency(double v) { frequency = v; }
    void SetTxPower(double v) { txPower = v; }
    void SetHwVersion(const std::string& v) { hwVersion = v; }
    void SetMarketSegment(int v) { marketSegment = v; }
    void SetEthernetAddress(const std::string& v) { ethernetAddress = v; }
    void SetInstalled(int v) { installed = v; }
    void SetRemove(int v) { remove = v; }
    void SetFound(int v) { found = v; }
    void SetFrequencyKHz(double v) { frequencyKHz = v; }
    void SetBandwidth(double v) { bandwidth = v; }
    void SetFpaDec(double v) { fpaDec = v; }
    void SetFpaFilterLength(int v) { fpaFilterLength = v; }
    void SetSampleInterval(const std::string& v) { sampleInterval = v; }
    void SetMinMedMaxTxPower(const std::string& v) { minMedMaxTxPower = v; }
    void SetMinMedMaxPulseLength(const std::string& v) { minMedMaxPulseLength = v; }
    void SetGain(const std::string& v) { gain = v; }
    void SetTwoWayBeamAngle(double v) { twoWayBeamAngle = v; }
    void SetAngleSensitivityAlongship(double v) { angleSensitivityAlongship = v; }
    void SetAngleSensitivityAthwartship(double v) { angleSensitivityAthwartship = v; }
    void SetOffsetAlongship(double v) { offsetAlongship = v; }
    void SetOffsetAthwartship(double v) { offsetAthwartship = v; }
    void SetBeamWidthAlongship(double v) { beamWidthAlongship = v; }
    void SetBeamWidthAthwartship(double v) { beamWidthAthwartship = v; }
    void SetTransducerImpedance(double v) { transducerImpedance = v; }
    void SetIoAddress(int v) { ioAddress = v; }
    void SetDmaChannel(int v) { dmaChannel = v; }
    void SetIrq(int v) { irq = v; }
    void SetPowerTranslationFile(const std::string& v) { powerTranslationFile = v; }
    void SetTransducerSetting(const std::string& v) { transducerSetting = v; }
    void SetSlave(const std::string& v) { slave = v; }
    void SetLocalPcIp(const std::string& v) { localPcIp = v; }
};
