// The serial I/O hub's share of what the depth telegram formatter reads:
// whether it sends its depths without heave. The hub, an output above the
// formatter, provides it; the program's sources ask it.
#pragma once

class IDepthTelegramHub
{
public:
    virtual ~IDepthTelegramHub() = default;
    // Its ZelvarWithoutHeave setting.
    virtual bool IsWithoutHeave() const = 0;
};
