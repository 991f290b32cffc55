// The transceivers' Qt settings dialogs behind their channels: the program
// hands one to every unit it makes. Each dialog runs modally on the
// user-interface thread with no parent window, so that a layout torn down
// meanwhile never takes it; its transceiver ends it when it goes.
#pragma once

#include "transceivers/TransceiverDialogs.h"

namespace transceiversui {

class CTransceiverDialogs : public ITransceiverDialogs
{
public:
    int RunChannel(TransceiverDialogValues& values, const DialogOpened& opened) override;
    int RunGeoChannel(GeoTransceiverDialogValues& values, const DialogOpened& opened) override;
    int RunAdvanced(const AdvancedTransceiverDialogValues& values, const DialogOpened& opened) override;
    // The HXU unit's questions while it is made: none off the
    // user-interface thread.
    int RunHxuNoContact(const std::string& transceiverName) override;
    int RunHxuReprogram(const std::string& transceiverName, const std::string& unitVersion,
                        const std::string& fileVersion) override;
    int RunHxuDebug(HxuDebugDialogValues& values, const DialogOpened& opened) override;
    int RunNvuUpgrade(const std::string& unitFirmware, const std::string& newFile,
                      const std::function<bool()>& ended) override;
    std::unique_ptr<INvuDiagnosticWindow> OpenNvuDiagnostic(std::shared_ptr<CNvuDiagnosticLink> link,
                                                            HWND parent) override;
};

}  // namespace transceiversui
