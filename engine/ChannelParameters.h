// The acoustic settings of one channel as the channel itself keeps them: the
// part of the transceiver's per-channel record that processing needs. The
// transceiver fills it when it creates the channel and hands a new copy
// through CChannel::SetChannelParameters whenever the operator changes a
// value; the channel applies it at the start of the next ping.
#pragma once

#include <cstdint>
#include <string>

struct ChannelParameters
{
    // Eighteen doubles. Readers elsewhere find the sample distance as the
    // fourteenth value, so the order is fixed.
    double FixedDraft = 0.0;              // m
    double VariableDraft = 0.0;           // m
    double PulseLength = 0.001;           // s
    double TransmitPower = 1000.0;        // W
    double Absorption = 0.01;             // dB/m
    double TransducerZMinusDepth = 0.0;   // m
    double TransducerDepth = 0.0;         // m, the draught used for depths
    double TransducerZ = 0.0;             // m
    double TransducerX = 0.0;             // m
    double TransducerY = 0.0;             // m
    double TransducerRoll = -180.0;       // degrees
    double TransducerPitch = 0.0;         // degrees
    double TransducerAzimuth = 0.0;       // degrees
    double SampleDistance = 0.1;          // m per sample
    double SampleInterval = 0.1 / 750.0;  // s per sample
    double Gain = 26.0;                   // dB
    double Bandwidth = 0.0;               // Hz
    double TwoWayBeamAngle = 0.0;         // dB

    // 1 (passive) keeps the channel out of the depth outputs; the depth and
    // scope views also hold their last picture while it is 1.
    std::int32_t TransceiverMode = 0;
    std::string TransducerLabel;
    std::int32_t FmPulse = 0;
    double FmPulseLength = 0.0;
    double FmResolutionLength = 0.0;
    double ResolutionLength = 1.0;
    double CwResolutionLength = 1.0;
    std::int32_t FilterType = 0;
    std::int32_t DoubleSampleRate = 0;

    bool IsExcludedFromDepthOutputs() const { return TransceiverMode == 1; }
    double Draught() const { return TransducerDepth; }
};
