// What the telegram decoder and the application object ask of the navigation
// object beside the positions and the speed: its forced clock update, the
// clock pane and the measured speed it shows, and whether it expects
// positions at all. Called on whichever thread decodes, and on the
// user-interface thread; the object locks for itself.
#pragma once

#include "platform/FileTime.h"
#include "sensors/NmeaDecoderHost.h"

#include <string>

class INavigationSteps
{
public:
    virtual ~INavigationSteps() = default;
    // Its "Force Update" flag: the next clock telegram sets the PC's clock.
    virtual bool IsClockRequest() = 0;
    // The PC's clock was set: the forced update ends.
    virtual void EndForceUpdate() = 0;
    // The time of a clock telegram, with the texts of its clock pane.
    virtual void SetClockTime(const SYSTEMTIME& time, const std::string& clockText, const std::string& dateText) = 0;
    // The speed a telegram measured, in knots.
    virtual void SetMeasuredSpeed(double knots) = 0;
    // Positions are its input: the application warns when they stop.
    virtual bool ExpectsPositions() = 0;
    // The settings the decoder reads; false: no navigation object, and
    // nothing is decoded.
    virtual bool GetNavigationSettings(SNavigationSettings& settings) = 0;
};
