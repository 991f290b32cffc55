#include "engine/ChannelLinks.h"

#include <cstdio>
#include <cstdlib>

void IChannelLinks::FatalError(const char* source, int line, const std::string& text)
{
    std::fprintf(stderr, "Fatal Echosounder Error !!!\n%s (%d): %s\n", source, line, text.c_str());
    std::abort();
}
