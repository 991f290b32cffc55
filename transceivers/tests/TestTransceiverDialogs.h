// The transceiver dialogs with a runner of the test's own in place of the
// windows: each run hands the values to the test's hook, which edits them
// and answers as the operator would. An owner that ends the dialog while
// the hook runs (the transceiver deleted) makes the run answer as it says.
#pragma once

#include "transceivers/TransceiverDialogs.h"

#include <functional>

class CTestTransceiverDialogs final : public ITransceiverDialogs
{
public:
    struct Handle final : CModalSession::IOpenDialog
    {
        void EndDialog(int result) override { ended = result; }
        int ended = 0;
    };

    std::function<int(TransceiverDialogValues&)> channel;
    std::function<int(GeoTransceiverDialogValues&)> geo;
    std::function<int(const AdvancedTransceiverDialogValues&)> advanced;
    int runs = 0;

    int RunChannel(TransceiverDialogValues& v, const DialogOpened& opened) override
    {
        return Run([&] { return channel ? channel(v) : 0; }, opened);
    }
    int RunGeoChannel(GeoTransceiverDialogValues& v, const DialogOpened& opened) override
    {
        return Run([&] { return geo ? geo(v) : 0; }, opened);
    }
    int RunAdvanced(const AdvancedTransceiverDialogValues& v, const DialogOpened& opened) override
    {
        return Run([&] { return advanced ? advanced(v) : 1; }, opened);
    }

private:
    int Run(const std::function<int()>& answer, const DialogOpened& opened)
    {
        ++runs;
        Handle handle;
        if (opened)
            opened(&handle);
        const int result = answer();
        return handle.ended != 0 ? handle.ended : result;
    }
};
