#include "sounder/DbPingText.h"

#include "engine/RawPower.h"
#include "platform/NumberText.h"

std::string DbPingText(int channelNumber, const CChannel::ParameterCopy& copy)
{
    const ChannelParameters& p = copy.Parameters;
    const double sampleRate = p.SampleInterval > 0.0 ? 1.0 / p.SampleInterval : 0.0;
    std::string text = CNumberText::Format("CH%i\tSAmplerate:\t%f\t\t\n", channelNumber, sampleRate);
    for (std::size_t i = 0; i < copy.Power.size(); ++i)
        text += CNumberText::Format("CH%i\t%f\t%f\t\t\n", channelNumber, double(i) * p.SampleDistance,
                                    rawpower::RawToDb(copy.Power[i]));
    text += CNumberText::Format("CH%i\t\t\t\t\n", channelNumber);
    return text;
}
