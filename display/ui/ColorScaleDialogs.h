// The display's Qt colour scale dialogs behind the channels' launcher. The
// program hands one to its channels through their links; a test makes its
// own.
#pragma once

#include "engine/ColorScaleDialogs.h"

namespace displayui {

class CColorScaleDialogs final : public IColorScaleDialogs
{
public:
    // The dialog of the values' kind, without a parent window: a frame torn
    // down in its loop never deletes it; the channel's record ends it instead.
    int RunColorScale(ColorScaleDialogValues& values, const DialogOpened& opened) override;
};

}  // namespace displayui
