// The display's Qt dialogs behind the echogram documents' launchers. The
// program hands one to the documents through their context; a test makes
// its own.
#pragma once

#include "display/EchogramDoc.h"

namespace displayui {

class CEchogramDialogs final : public IEchogramDialogs
{
public:
    int RunRange(CEchogramDoc::RangeDialogValues& values, const DialogOpened& opened) override;
    int RunFilter(CEchogramDoc::FilterDialogValues& values, const DialogOpened& opened) override;
    // The settings dialog of the values' template.
    int RunSettings(CEchogramDoc::SettingsDialogValues& values, const DialogOpened& opened) override;
};

}  // namespace displayui
