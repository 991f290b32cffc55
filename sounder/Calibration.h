// The interface of the outside calibration component that a channel's
// single targets are handed to: a component in a process of its own, made
// by its class id with CLSCTX_LOCAL_SERVER and reached through a proxy.
#pragma once

#include "platform/LocalServer.h"

inline const CLSID CLSID_Calibration = {0x52CBDAD9, 0xC338, 0x11D3, {0x95, 0x51, 0x00, 0xA0, 0x24, 0xA7, 0x30, 0x38}};
inline const IID IID_ICalibration = {0x52CBDAD8, 0xC338, 0x11D3, {0x95, 0x51, 0x00, 0xA0, 0x24, 0xA7, 0x30, 0x38}};

struct ICalibration : IUnknown
{
    // Four methods of the component that the program does not call; they
    // hold the places of the two it does.
    virtual HRESULT Unused3() = 0;
    virtual HRESULT Unused4() = 0;
    virtual HRESULT Unused5() = 0;
    virtual HRESULT Unused6() = 0;
    // One named value of the channel, its set or its surroundings.
    virtual HRESULT SetParameter(BSTR name, VARIANT value) = 0;
    // A ping's targets: its local time and date, the count (VT_UI2) and
    // count x 6 doubles (VT_ARRAY | VT_R8, one dimension from 0).
    virtual HRESULT AddTargets(BSTR time, BSTR date, VARIANT count, VARIANT values) = 0;

protected:
    ~ICalibration() = default;
};

// Makes the component's proxy known to the runtime; any number of calls.
void RegisterCalibrationProxy();
