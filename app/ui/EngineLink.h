// Joins the application object to the engine: operation control and the
// transceiver installation are built here and reached by the application
// through its operation hooks, and operation control reaches the frame, the
// sensors and the power-off through its own hooks.
#pragma once

#include "app/Pelmaris.h"
#include "app/Skjerm.h"

#include <functional>
#include <memory>

class CEnvironment;
class IPingDocuments;
class COperationControl;
class CTransceiver;
class CTransceiverInstallation;
class CReplayFileList;

namespace zv::recording {
class CReplayEnvironmentHost;
}

namespace app {

class CMainFrame;
class CStandardESLayout;

class CEngineLink {
public:
    // Installs the hooks; call before CPelmaris::InitInstance.
    explicit CEngineLink(CPelmaris& app);
    ~CEngineLink();
    CEngineLink(const CEngineLink&) = delete;
    CEngineLink& operator=(const CEngineLink&) = delete;

    COperationControl& Operation() { return *m_operation; }
    CTransceiverInstallation& Installation() { return *m_installation; }
    CEnvironment& Environment() { return *m_environment; }
    // The screen layout of the running sounder; null while none is shown.
    CStandardESLayout* Layout() const { return m_layout.get(); }
    // Makes the channel frames of a layout; the display installs it.
    FrameFactory frameFactory;
    // The display's document list of each new sounder; the program installs
    // it before InitInstance. Empty: pings reach no document.
    std::function<std::unique_ptr<IPingDocuments>()> createDocuments;

private:
    void Init();
    // The live transceiver of an installed unit by its type code; null for a
    // type this build cannot run, which refuses the start.
    std::unique_ptr<CTransceiver> CreateTransceiver(int type, int index, HKEY key);
    std::unique_ptr<CTransceiver> CreateReplay(const CReplayFileList* files);
    CMainFrame* Frame() const;

    struct Commands : ICommandTarget {
        CEngineLink* link = nullptr;
        bool OnCommand(unsigned id) override;
        bool OnUpdateCommand(CCmdUI& ui) override;
    };

    CPelmaris& m_app;
    Commands m_commands;
    std::unique_ptr<CEnvironment> m_environment;
    std::unique_ptr<CTransceiverInstallation> m_installation;
    // Outlives every replay transceiver: operation control deletes the sounder
    // before this link goes.
    std::unique_ptr<zv::recording::CReplayEnvironmentHost> m_replayHost;
    std::unique_ptr<CStandardESLayout> m_layout;
    std::unique_ptr<COperationControl> m_operation;
};

}  // namespace app
