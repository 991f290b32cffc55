// What the remote control reaches in the running program: the recorder's
// state and its toggle, operation control's ping mode and the picture
// history. The telegrams come on the decoder's callers' threads (the
// network port's reader, replay's trigger thread), while operation control's
// settings in force and the printing views belong to the user-interface
// thread: those requests are taken there, in the order they came, and are
// dropped when the program goes first.
#pragma once

#include "outputs/RemoteControl.h"

#include <memory>

class QObject;

namespace app {

class CProgram;

class CRemoteControlHost final : public IRemoteControlHost
{
public:
    explicit CRemoteControlHost(CProgram& program);
    ~CRemoteControlHost() override;
    CRemoteControlHost(const CRemoteControlHost&) = delete;
    CRemoteControlHost& operator=(const CRemoteControlHost&) = delete;

    bool IsRecording() override;
    void PostRecordToggle() override;
    void RequestPingMode(int mode, double intervalSeconds, DWORD trigger) override;
    void RequestHistory(bool on) override;

private:
    CProgram& m_program;
    // The requests' receiver on the user-interface thread; what is still
    // queued for it goes with it.
    std::unique_ptr<QObject> m_receiver;
};

}  // namespace app
