// The water temperature sensor's analog input: a transceiver with a
// thermistor on its analog input hands each reading over under its own name.
// The sensor converts the readings only of the transceiver its settings name.
#pragma once

#include <string>

class IThermistorInput
{
public:
    virtual ~IThermistorInput() = default;
    virtual void SetResistance(const std::string& transceiverName, double ohms) = 0;
};
