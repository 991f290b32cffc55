// What the survey control exchange reaches in the running program: operation
// control's ping mode, the application's stored ping mode, the recorder's
// state and toggle, the network output and the status bar. The exchange's
// worker asks from its own thread; operation control's settings in force and
// the output objects belong to the user-interface thread, so those requests
// are taken there, in the order they came, and dropped when the program goes
// first.
#pragma once

#include "outputs/HBX.h"

#include <memory>

class QObject;

namespace app {

class CProgram;

class CHbxHost final : public IHbxHost
{
public:
    explicit CHbxHost(CProgram& program);
    ~CHbxHost() override;
    CHbxHost(const CHbxHost&) = delete;
    CHbxHost& operator=(const CHbxHost&) = delete;

    void RequestPingMode(int mode, DWORD trigger, int companion, double intervalSeconds, int hbx) override;
    int StoredPingMode() override;
    bool IsRecording() override;
    void PostRecordToggle() override;
    void PointNetworkOutput(std::uint32_t address, std::uint16_t port) override;
    void StatusText(const std::string& text) override;

private:
    CProgram& m_program;
    std::unique_ptr<QObject> m_receiver;
};

}  // namespace app
