// The engine's extras behind "Second Layer", "Exp Calculation" and "Freq
// Sweep", as the application's commands reach them on the user-interface
// thread.
#pragma once

class IEngineExtras
{
public:
    virtual ~IEngineExtras() = default;
    // Whether the extra behind the command exists; its command is greyed
    // otherwise.
    virtual bool HasExtra(unsigned commandId) = 0;
    virtual void SetSecondLayer(bool on) = 0;
    virtual void SetExpCalculation(bool on) = 0;
    virtual void FrequencySweep() = 0;
};
