// Where the single targets of a channel's ping go as an echo-trace telegram
// (the lobe link of the scientific models). Called by the channel that
// detected them, on the requesting thread, under that channel's lock: it
// must not reach any channel.
#pragma once

#include <cstdint>

struct SingleTargetRecord;

class IEchoTraceTelegrams
{
public:
    virtual ~IEchoTraceTelegrams() = default;
    // channelIndex counts from 0 over the sounder; pingTime is a file time.
    virtual void SendTelegram(int channelIndex, std::uint64_t pingTime, const SingleTargetRecord& record) = 0;
};
