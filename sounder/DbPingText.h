// The text "Print dB Ping to file" appends for one channel: a line with the
// sample rate, a line per sample with its range and level in dB, and a
// closing line, each led by the channel's number.
#pragma once

#include "engine/Channel.h"

#include <string>

// channelNumber counts from 1; copy is the channel's locked copy of its ping.
std::string DbPingText(int channelNumber, const CChannel::ParameterCopy& copy);
